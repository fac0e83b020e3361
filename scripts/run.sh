#!/usr/bin/env bash
# Installs what is missing, builds the installer and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="${TZ_BUILD_ROOT:-$root/build}/run"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target morlix-installer
exec "$build/installer/morlix-installer" "$@"

#!/usr/bin/env bash
# Installs every build, test, benchmark and demo dependency from Debian's packages.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libcurl4-openssl-dev libssl-dev zlib1g-dev libjsoncpp-dev
  libboost-thread-dev libboost-date-time-dev
  libsdl2-dev libpng-dev libjpeg-dev libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nginx openssl ca-certificates curl aria2 xvfb xdotool x11-utils xfonts-base
  python3 zip unzip libarchive-tools
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

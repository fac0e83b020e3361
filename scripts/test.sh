#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
#   bash scripts/test.sh              ASan+UBSan build of everything, all tests; a ThreadSanitizer
#                                     build of the threading tests; bounded libFuzzer runs
#   bash scripts/test.sh --quick      the ASan+UBSan build and its tests only
# Environment: TZ_BUILD_ROOT (default build/), TZ_FUZZ_SECONDS (default 30), TZ_JOBS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
  esac
done

bash scripts/install-deps.sh

build_root=${TZ_BUILD_ROOT:-$root/build}
jobs=${TZ_JOBS:-$(nproc)}
fuzz_seconds=${TZ_FUZZ_SECONDS:-30}

configure() {  # configure DIR ARGS...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

status=0
if [[ $quick -eq 0 ]]; then
  echo "== libFuzzer runs (${fuzz_seconds}s each)"
  configure "$build_root/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTZ_FUZZ=ON -DTZ_BUILD_TESTS=OFF -DTZ_FUZZ_SECONDS="$fuzz_seconds"
  cmake --build "$build_root/fuzz" --target tz_fuzzers -j "$jobs"
  (cd "$build_root/fuzz" && ctest -L fuzz -j "$jobs" --output-on-failure) || status=1

  echo "== ThreadSanitizer build of the threading tests"
  configure "$build_root/tsan" -DTZ_SANITIZE=thread
  cmake --build "$build_root/tsan" --target tz_tsan_tests -j "$jobs"
  (cd "$build_root/tsan" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest -L tsan -j "$jobs" --output-on-failure) || status=1
fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build, all tests"
configure "$build_root/asan" -DTZ_SANITIZE=address
cmake --build "$build_root/asan" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$build_root/asan" && ctest -j "$jobs" --output-on-failure) || status=1
exit $status

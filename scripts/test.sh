#!/usr/bin/env bash
# Builds everything twice (plain, and under AddressSanitizer with UndefinedBehaviorSanitizer)
# and runs the whole test suite in both builds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for variant in plain sanitize; do
  build="$top/build/$variant"
  flag=OFF; [[ $variant == sanitize ]] && flag=ON
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFR_SANITIZE=$flag >/dev/null
  cmake --build "$build" -j "$jobs"
  echo "== tests: $variant build =="
  ctest --test-dir "$build" --output-on-failure -j "$jobs"
done

#!/usr/bin/env bash
# Builds everything twice (plain, and under AddressSanitizer with UndefinedBehaviorSanitizer
# and leak detection), runs the whole test suite in both builds, and clang-tidy over the
# program's sources (beside the sanitizer build, which it does not need to wait for); then
# fuzzes every fuzz target for FUZZ_SECONDS each (60 by default) and fails on any finding.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" test
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

tidy_log=$(mktemp)
tidy_pid=
trap 'rm -f "$tidy_log"; [[ -n $tidy_pid ]] && kill "$tidy_pid" 2>/dev/null || true' EXIT
for variant in plain sanitize; do
  build="$top/build/$variant"
  flag=OFF; [[ $variant == sanitize ]] && flag=ON
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFR_WERROR=ON -DFR_SANITIZE=$flag >/dev/null
  cmake --build "$build" -j "$jobs"
  if [[ $variant == plain ]]; then
    "$top/scripts/tidy.sh" "$build" >"$tidy_log" 2>&1 &
    tidy_pid=$!
  fi
  echo "== tests: $variant build =="
  ctest --test-dir "$build" --output-on-failure -j "$jobs"
done
echo "== clang-tidy =="
status=0
wait "$tidy_pid" || status=$?
tidy_pid=
cat "$tidy_log"
echo "== fuzzing =="
"$top/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}" || status=1
exit "$status"

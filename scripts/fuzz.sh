#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS, as many at once as there are cores, from seeds made of the real
# fixture fonts and patches; the corpus grows in build/fuzz/corpus between runs. Fails on any
# finding, whose input libFuzzer leaves in build/fuzz/findings. Prints each target's numbers.
# Usage: fuzz.sh [SECONDS] [TARGET ...]   (targets: patch table-model identity license revision manifest)
# FUZZ_JOBS sets how many run at once (default: the number of cores); FUZZ_BUILD the build
# folder (default build/fuzz), so that a long run can go on beside the short ones.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(patch table-model identity license revision manifest)
build=${FUZZ_BUILD:-$top/build/fuzz}
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFR_WERROR=ON -DFR_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
[[ -f $build/fixtures/complete ]] || bash "$top/tests/fixtures/build_fixture_set.sh" "$build/fixtures"
/usr/bin/python3 "$top/fuzz/make_seeds.py" "$build/fixtures" "$build/seeds"
mkdir -p "$build/findings" "$build/logs"

run() {
  local target=$1
  mkdir -p "$build/corpus/$target"
  "$build/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 \
      -dict="$top/fuzz/fonts.dict" -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      "$build/corpus/$target" "$build/seeds/$target" >"$build/logs/$target.log" 2>&1
}
status=0
pids=()
for target in "${targets[@]}"; do
  run "$target" & pids+=($!)
  if ((${#pids[@]} >= ${FUZZ_JOBS:-$(nproc)})); then wait "${pids[0]}" || status=1; pids=("${pids[@]:1}"); fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -oE '^#[0-9]+.*cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  if grep -qE 'ERROR: (libFuzzer|AddressSanitizer|UndefinedBehaviorSanitizer)|runtime error|deadly signal' "$log"; then
    echo "fuzz-$target: FINDING after $runs runs ($cov); see $log and $build/findings"
    status=1
  else
    echo "fuzz-$target: $runs runs in ${seconds} s, $cov, no finding"
  fi
done
exit "$status"

#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the program's sources; fails on any
# finding. Usage: tidy.sh BUILD_DIR (a build configured with compile commands).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: tidy.sh BUILD_DIR}
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "$tidy" -p "$build" -j "$(nproc)" -quiet "$top/(app|discovery|patch|fonttables|platform|tools)/[^/]*\.cpp\$" >"$log" 2>&1 ||
   grep -qE "(warning|error): " "$log"; then
  grep -E -A3 "(warning|error): " "$log" | head -100
  echo "clang-tidy: findings above"
  exit 1
fi
echo "clang-tidy: no findings"

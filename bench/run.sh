#!/usr/bin/env bash
# Runs every benchmark and prints the program's figures beside its peers', with the ratios:
# the revision of one font (16, 4 and 1 MB) against xdelta3, bspatch, cp and the floor, with
# and without a durable replacement (xdelta3's made durable by bench/durable_peer.cpp), its
# peak memory against the font and against what the patch changes, and the programs' start;
# the search over a desktop-like tree against GNU find and the floor of a walk; the checksum
# against memcpy. As root on Debian 12 it installs what it needs. The data (fonts from
# fonts-noto-cjk and their patches, a tree of 1.4 million files) is built once into
# build/bench-data.
# Usage: bash bench/run.sh [ROUNDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-15}
"$top/scripts/install-deps.sh"
for p in xdelta3 bsdiff time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p" >/dev/null
done
build="$top/build/plain"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target revise-font font-reviser-sample floor-revise durable-peer min-walk checksum-bench
data="$top/build/bench-data"
mkdir -p "$data"
/usr/bin/python3 "$top/bench/make_bench_fonts.py" "$data"
fixtures="$build/test-fixtures"
[[ -f $fixtures/complete ]] || bash "$top/tests/fixtures/build_fixture_set.sh" "$fixtures"
/usr/bin/python3 "$top/bench/make_scan_tree.py" "$data/scan" "$fixtures"

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo), $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 "$top/bench/bench_revision.py" "$build" "$data" --rounds "$rounds"
/usr/bin/python3 "$top/bench/bench_scan.py" "$build" "$data/scan" --rounds "$(( rounds < 11 ? rounds : 11 ))"
echo
"$build/bench/checksum-bench"

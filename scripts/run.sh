#!/usr/bin/env bash
# Builds the program and runs it on bundled sample data inside a scratch tree laid out like a
# desktop disk (nothing outside the tree is touched). With a display the wizard starts. Without
# one the sample is revised from the command line (--revise), every step shown in the
# terminal, and each revised font is then checked with ots-sanitize.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" runtime
# A build of its own without the tests, which need packages the sample run does not.
build="$top/build/sample"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target font-reviser font-reviser-sample
sample=$("$top/scripts/make_sample.sh" "$build")
program="$build/app/font-reviser-sample"

# What an administrator would do first: check the vendor's signature over the manifest.
minisign -V -p "$top/tests/keys/test-only-signing.pub" -m "$sample/Applications/FontReviser/host/patches.manifest"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$program" "$sample"
fi

echo "No display: revising the sample fonts in $sample from the command line:"
echo "  font-reviser-sample $sample --revise"
status=0
"$program" "$sample" --revise | tee "$build/sample-run.txt" || status=${PIPESTATUS[0]}
# The list under its heading, in the locale's language.
mapfile -t revised < <(sed -n '/^\(Revised fonts\|改訂したフォント\):$/,/^[^ ]/s/^  //p' "$build/sample-run.txt")
((${#revised[@]})) || status=1
echo
echo "Each revised font checked with ots-sanitize:"
for font in "${revised[@]}"; do
  if ots-sanitize "$sample$font" >/dev/null 2>&1; then
    echo "  passes  $font"
  else
    echo "  FAILS   $font"
    status=1
  fi
done
exit "$status"

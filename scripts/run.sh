#!/usr/bin/env bash
# Builds the wizard and starts it. With a sample tree builder present, the wizard runs on
# bundled sample data inside a scratch folder instead of the real disk.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build="$top/build/plain"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
display_args=()
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  display_args=(xvfb-run -a -s "-screen 0 1280x800x24")
  echo "no display: running under Xvfb" >&2
fi
if [[ -x "$build/app/font-reviser-sample" && -f "$top/scripts/make_sample.sh" ]]; then
  sample=$("$top/scripts/make_sample.sh" "$build")
  exec "${display_args[@]}" "$build/app/font-reviser-sample" "$sample"
fi
exec "${display_args[@]}" "$build/app/font-reviser"

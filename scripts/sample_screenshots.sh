#!/usr/bin/env bash
# Walks the sample run under Xvfb and saves a picture of every window to docs/sample-run/.
# Needs xdotool, x11-apps and imagemagick besides the project's own packages.
# Usage (as root): bash scripts/sample_screenshots.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [[ ${1:-} != --inside ]]; then
  "$top/scripts/install-deps.sh"
  missing=()
  for p in xdotool x11-apps imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"; fi
  build="$top/build/plain"
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target font-reviser-sample
  root=$("$top/scripts/make_sample.sh" "$build")
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside "$build" "$root"
fi

build=$2 root=$3 out="$top/docs/sample-run"
mkdir -p "$out"
# The newest visible window of the program, and a picture of it.
window() { xdotool search --sync --onlyvisible --name "$1" | tail -n 1; }
shot() {
  local id; id=$(window "$1")
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xwd -root -silent | convert xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$2.png"
  echo "$out/$2.png"
}
# Clicks the bottom-right button of a window (Next, Enter, the restart button).
click_last_button() {
  local id; id=$(window "$1")
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + WIDTH - 60)) $((Y + HEIGHT - 29)) click 1
}

"$build/app/font-reviser-sample" "$root" 2> "$out/../sample-run.log" &
pid=$!
sleep 2;   shot "" 1-start
click_last_button ""
sleep 0.1; shot "" 2-search
sleep 2;   shot "" 3-font-list
click_last_button ""
sleep 1.2; shot "" 4-progress
sleep 5;   shot "" 5-end
click_last_button ""
wait "$pid" || true
rm -f "$out/../sample-run.log"

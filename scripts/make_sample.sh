#!/usr/bin/env bash
# Builds the sample data for a run of the wizard on a scratch tree laid out like a desktop
# disk, and prints the tree's root. Usage: make_sample.sh BUILD_DIR
#
# Inside the root:
#   /Applications/FontReviser/font-reviser   the program's place; "host" beside it holds the patches
#   /Library/Fonts/                           two installed fonts of the old revision
#   /Users/kana/Library/Fonts/                two more, with other License Description strings
#   /home/kana/.local/share/fonts/            the last two, Linux style
#   /Users/kana/Documents/                    a font of the wrong revision and an unrelated file
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: make_sample.sh BUILD_DIR}
root="$build/sample-root"
work="$build/sample-work"
rm -rf "$root" "$work"
mkdir -p "$work"

/usr/bin/python3 "$top/tests/fixtures/make_fonts.py" "$work/fonts" \
    --serial-mac "Licensed to Kana Sato, serial 7731-0042" \
    --serial-win "Licensed to Kana Sato, serial 7731-0042" >/dev/null

host="$root/Applications/FontReviser/host"
mkdir -p "$host" "$root/Library/Fonts" "$root/Users/kana/Library/Fonts" \
         "$root/home/kana/.local/share/fonts" "$root/Users/kana/Documents" "$root/tmp"
: > "$root/Applications/FontReviser/font-reviser"

i=0
for old in "$work/fonts/old/"*.otf; do
  name=$(basename "$old" .otf)
  /usr/bin/python3 "$top/tools/make_patch.py" "$old" "$work/fonts/new/$name.otf" "$host/$name.pa" >/dev/null
  case $((i % 3)) in
    0) dest="$root/Library/Fonts" ;;
    1) dest="$root/Users/kana/Library/Fonts" ;;
    2) dest="$root/home/kana/.local/share/fonts" ;;
  esac
  cp "$old" "$dest/$name.otf"
  chmod 0644 "$dest/$name.otf"
  i=$((i + 1))
done

# Not revised: the newer revision already (wrong fontRevision) and a file no patch is for.
first=$(ls "$work/fonts/new/"*.otf | head -n 1)
cp "$first" "$root/Users/kana/Documents/$(basename "$first")"
printf 'not a font\n' > "$root/Users/kana/Documents/Velmora notes.txt"

echo "$root"

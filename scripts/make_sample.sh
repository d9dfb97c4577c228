#!/usr/bin/env bash
# Builds the sample data for a run of the wizard on a scratch tree laid out like a desktop
# disk, and prints the tree's root. Usage: make_sample.sh BUILD_DIR
#
# Inside the root:
#   /Applications/FontReviser/font-reviser   the program's place; "host" beside it holds the patches
#                                             and their manifest, signed with the test-only key
#   /Library/Fonts/                           an installed font of the old revision
#   /Users/kana/Library/Fonts/                one more, with other License Description strings
#   /home/kana/.local/share/fonts/            one in a user's Linux font folder, its name stored
#                                             decomposed, as fonts copied from other systems are
#   /usr/share/fonts/opentype/velmora/        where Debian's font packages put fonts
#   /usr/local/share/fonts/velmora/           where an administrator installs fonts for everyone
#   /home/kana/.fonts/                        the older per-user font folder
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
folders=("$root/Library/Fonts" "$root/Users/kana/Library/Fonts" "$root/home/kana/.local/share/fonts"
         "$root/usr/share/fonts/opentype/velmora" "$root/usr/local/share/fonts/velmora" "$root/home/kana/.fonts")
mkdir -p "$host" "${folders[@]}" "$root/Users/kana/Documents" "$root/tmp"
: > "$root/Applications/FontReviser/font-reviser"

i=0
for old in "$work/fonts/old/"*.otf; do
  name=$(basename "$old" .otf)
  /usr/bin/python3 "$top/tools/make_patch.py" "$old" "$work/fonts/new/$name.otf" "$host/$name.pa" \
      --manifest "$host/patches.manifest" >/dev/null
  installed="$name.otf"
  # The third font's name as another system would have stored it: decomposed (Form D).
  if ((i == 2)); then
    installed=$(/usr/bin/python3 -c 'import sys, unicodedata; print(unicodedata.normalize("NFD", sys.argv[1]))' "$installed")
  fi
  cp "$old" "${folders[i % ${#folders[@]}]}/$installed"
  chmod 0644 "${folders[i % ${#folders[@]}]}/$installed"
  i=$((i + 1))
done

# The vendor's signature over the manifest (here with the key kept for tests and samples only).
minisign -S -s "$top/tests/keys/test-only-signing.key" -m "$host/patches.manifest" \
    -t "font-reviser sample patches" >/dev/null

# Not revised: the newer revision already (wrong fontRevision) and a file no patch is for.
first=$(ls "$work/fonts/new/"*.otf | head -n 1)
cp "$first" "$root/Users/kana/Documents/$(basename "$first")"
printf 'not a font\n' > "$root/Users/kana/Documents/Velmora notes.txt"

echo "$root"

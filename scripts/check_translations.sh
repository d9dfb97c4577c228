#!/usr/bin/env bash
# Fails when a text of the program (its code and its windows) has no Japanese translation: lupdate, run over the
# program's sources into a copy of app/translations/font-reviser_ja.ts, finds nothing new and
# nothing unfinished. Usage: check_translations.sh LUPDATE
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
lupdate=${1:?usage: check_translations.sh LUPDATE}
copy=$(mktemp --suffix=.ts)
trap 'rm -f "$copy"' EXIT
cp "$top/app/translations/font-reviser_ja.ts" "$copy"
"$lupdate" -no-obsolete -locations none "$top"/app/*.cpp "$top"/app/*.h "$top"/app/*.ui -ts "$copy" >/dev/null 2>&1
if grep -q 'type="unfinished"' "$copy"; then
  echo "texts without a Japanese translation:"
  grep -B2 'type="unfinished"' "$copy" | grep '<source>'
  exit 1
fi
echo "every text of the program is translated"

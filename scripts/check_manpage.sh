#!/usr/bin/env bash
# Checks the manual page docs/font-reviser.1: man renders it without a warning, and it names
# every option and every exit status the program's --help gives.
# Usage: check_manpage.sh PROGRAM (the program, or the sample executable and its root)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
page="$top/docs/font-reviser.1"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
  echo "man warns about $page:"
  echo "$warnings"
  exit 1
fi
help=$(LANG=C "$@" --help)
status=0
for option in $(grep -oE -- '--[a-z][a-z-]+' <<<"$help" | sort -u); do
  grep -qF -- "${option//-/\\-}" "$page" || { echo "the manual lacks $option"; status=1; }
done
for code in $(sed -n '/^Exit status:/,$p' <<<"$help" | grep -oE '^ +[0-9]+' | tr -d ' '); do
  grep -qE "^\.B $code\$" "$page" || { echo "the manual lacks exit status $code"; status=1; }
done
((status == 0)) && echo "the manual names every option and exit status"
exit $status

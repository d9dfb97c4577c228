#!/usr/bin/env bash
# Makes the Debian package (a Release build, warnings as errors, trusting a vendor key made
# for this check) and checks it as a user's machine would meet it: lintian reports no error,
# the desktop entry and the AppStream metainfo validate, the polkit action validates and names
# the packaged program, and the program unpacked into a scratch root runs: --version names the
# key, --list without a "host" folder (status 20), an unsigned "host" refused (20) unless
# --allow-unsigned, and --list of a fixture font in a font folder with a "host" signed with the
# vendor's key beside the program. The package script refuses the test-only key.
# Usage: check_package.sh BUILD_DIR FIXTURE_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: check_package.sh BUILD_DIR FIXTURE_DIR}
fixtures=$(cd "${2:?usage: check_package.sh BUILD_DIR FIXTURE_DIR}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The test-only key is never packaged.
if "$top/scripts/package.sh" "$build" -DFR_TRUSTED_KEY_FILE="$top/tests/keys/test-only-signing.pub" >/dev/null 2>&1; then
  echo "package.sh packaged the test-only key"
  exit 1
fi
# A vendor's key pair, as a vendor makes one (no password), and the fixture manifest signed with it.
minisign -G -W -p "$scratch/vendor.pub" -s "$scratch/vendor.key" >/dev/null
vendor_id=$(sed -n 1p "$scratch/vendor.pub" | grep -oE '[0-9A-F]{16}$')
cp "$fixtures/patches/patches.manifest" "$scratch/patches.manifest"
minisign -S -s "$scratch/vendor.key" -m "$scratch/patches.manifest" >/dev/null

deb=$("$top/scripts/package.sh" "$build" -DFR_WERROR=ON -DFR_TRUSTED_KEY_FILE="$scratch/vendor.pub")
echo "package: $deb"
if ! tags=$(lintian --fail-on error "$deb" 2>&1); then
  echo "$tags"
  echo "lintian reports an error"
  exit 1
fi
grep -v "running with root privileges" <<<"$tags" || true

dpkg-deb -x "$deb" "$scratch/root"
id=org.velmora.FontReviser
desktop-file-validate "$scratch/root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/$id.metainfo.xml"
test -f "$scratch/root/usr/share/icons/hicolor/scalable/apps/$id.svg"
test -x "$scratch/root/usr/lib/font-reviser/font-reviser"
bash "$top/scripts/check_policy.sh" "$scratch/root/usr/share/polkit-1/actions/$id.policy" /usr/lib/font-reviser/font-reviser
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$scratch/root/usr/share/man/man1/font-reviser.1.gz" 2>&1 >/dev/null)
[[ -z $warnings ]] || { echo "$warnings"; exit 1; }

program="$scratch/root/usr/bin/font-reviser"
"$program" --version | grep -q '^font-reviser [0-9]'
LANG=C "$program" --version | grep -q "$vendor_id" || { echo "--version does not name the vendor's key $vendor_id"; exit 1; }
export LANG=C HOME="$scratch/home" XDG_CACHE_HOME="$scratch/cache" TMPDIR="$scratch"
mkdir -p "$HOME"
status=0
"$program" --list >/dev/null 2>&1 || status=$?
[[ $status -eq 20 ]] || { echo "--list without a host folder ended with $status, not 20"; exit 1; }

# One fixture font in a font folder fontconfig names, its signed patch beside the program.
face="Velmora角ゴ StdN W9"
mkdir -p "$scratch/fonts" "$scratch/root/usr/lib/font-reviser/host"
cp "$fixtures/fonts/old/$face.otf" "$scratch/fonts/"
cp "$fixtures/patches/$face.pa" "$scratch/root/usr/lib/font-reviser/host/"
printf '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig><dir>%s</dir></fontconfig>\n' \
   "$scratch/fonts" > "$scratch/fonts.conf"
# Without a manifest a vendor's build takes no patch, unless the administrator says so.
status=0
FONTCONFIG_FILE="$scratch/fonts.conf" "$program" --list --json >"$scratch/unsigned.json" 2>&1 || status=$?
[[ $status -eq 20 ]] && grep -q '"reason":"unsigned-host"' "$scratch/unsigned.json" \
  || { echo "an unsigned host folder was not refused with 20 (status $status)"; cat "$scratch/unsigned.json"; exit 1; }
FONTCONFIG_FILE="$scratch/fonts.conf" "$program" --list --allow-unsigned --json | grep -q '"verified":false' \
  || { echo "--allow-unsigned did not list the font unverified"; exit 1; }
cp "$scratch/patches.manifest" "$scratch/patches.manifest.minisig" "$scratch/root/usr/lib/font-reviser/host/"
listed=$(FONTCONFIG_FILE="$scratch/fonts.conf" "$program" --list --json)
grep -q "\"event\":\"target\",\"path\":\"$scratch/fonts/$face.otf\"" <<<"$listed" \
  || { echo "--list did not find the fixture font:"; echo "$listed"; exit 1; }
grep -q '"verified":true' <<<"$listed" || { echo "the signed host folder was not verified"; exit 1; }
# A vendor's build installs its "host" folder beside the program.
cmake -S "$top" -B "$build" -DFR_HOST_FOLDER="$fixtures/patches" >/dev/null
DESTDIR="$scratch/installed" cmake --install "$build" >/dev/null
cmake -S "$top" -B "$build" -DFR_HOST_FOLDER= >/dev/null
cmp "$fixtures/patches/patches.manifest" "$scratch/installed/usr/lib/font-reviser/host/patches.manifest"
echo "package: lintian, desktop entry, metainfo, polkit action, manual, the program unpacked and a host folder installed all good"

#!/usr/bin/env bash
# Makes the Debian packages (the program from a Release build, warnings as errors, trusting a
# vendor key made for this check; the patches from the fixture's, signed with that key) and
# checks them as a user's machine would meet them: lintian reports no error (none and no
# warning for the patches), the desktop entry and the AppStream metainfo validate, the polkit
# action validates and names the packaged program, and the program unpacked into a scratch root
# runs: --version names the key, --list without a "host" folder (status 20), an unsigned "host"
# refused (20) unless --allow-unsigned, and --list of a fixture font in a font folder with a
# "host" signed with the vendor's key beside the program. The patches' package holds exactly
# the signed set in /usr/share/font-reviser/host, depends on the program, is made the same
# twice, and is refused for a patch the manifest does not vouch for. Both install into a scratch
# dpkg root and purge from it without a warning or a folder left. The package script refuses
# the test-only key and a "host" folder in the program's package; the program's package holds
# none even where the build names one for `cmake --install`.
# Usage: check_package.sh BUILD_DIR FIXTURE_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: check_package.sh BUILD_DIR FIXTURE_DIR}
mkdir -p "$build"
build=$(cd "$build" && pwd)
fixtures=$(cd "${2:?usage: check_package.sh BUILD_DIR FIXTURE_DIR}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The test-only key is never packaged, nor a "host" folder in the program's package.
if "$top/scripts/package.sh" "$build" -DFR_TRUSTED_KEY_FILE="$top/tests/keys/test-only-signing.pub" >/dev/null 2>&1; then
  echo "package.sh packaged the test-only key"
  exit 1
fi
if "$top/scripts/package.sh" "$build" -DFR_HOST_FOLDER="$fixtures/patches" >/dev/null 2>&1; then
  echo "package.sh packaged a host folder with the program"
  exit 1
fi
# A vendor's key pair, as a vendor makes one (no password), and the fixture manifest signed with it.
minisign -G -W -p "$scratch/vendor.pub" -s "$scratch/vendor.key" >/dev/null
# (minisign writes the key's number without leading zeros.)
vendor_id=$(sed -n 1p "$scratch/vendor.pub" | grep -oE '[0-9A-F]+$')
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
version=$(LANG=C "$program" --version)
grep -q '^font-reviser [0-9]' <<<"$version" || { echo "$version"; echo "--version does not name the program"; exit 1; }
grep -qw "$vendor_id" <<<"$version" || { echo "--version does not name the vendor's key $vendor_id"; exit 1; }
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
# (Read whole before grep: grep -q would stop at the first line and leave the program a broken
# pipe where the search finds more.)
listed=$(FONTCONFIG_FILE="$scratch/fonts.conf" "$program" --list --allow-unsigned --json)
grep -q '"verified":false' <<<"$listed" || { echo "--allow-unsigned did not list the font unverified"; exit 1; }
cp "$scratch/patches.manifest" "$scratch/patches.manifest.minisig" "$scratch/root/usr/lib/font-reviser/host/"
listed=$(FONTCONFIG_FILE="$scratch/fonts.conf" "$program" --list --json)
grep -qF "\"path\":\"$scratch/fonts/$face.otf\"" <<<"$(grep '"event":"target"' <<<"$listed")" \
  || { echo "--list did not find the fixture font:"; echo "$listed"; exit 1; }
grep -q '"verified":true' <<<"$listed" || { echo "the signed host folder was not verified"; exit 1; }
# A vendor's build installs its "host" folder beside the program, but its package holds none.
cmake -S "$top" -B "$build" -DFR_HOST_FOLDER="$fixtures/patches" >/dev/null
DESTDIR="$scratch/installed" cmake --install "$build" >/dev/null
(cd "$build" && cpack -G DEB -B "$scratch/cpack" >/dev/null)
cmake -S "$top" -B "$build" -DFR_HOST_FOLDER= >/dev/null
cmp "$fixtures/patches/patches.manifest" "$scratch/installed/usr/lib/font-reviser/host/patches.manifest"
if grep -q '/host/' <<<"$(dpkg-deb -c "$scratch"/cpack/font-reviser_*.deb)"; then
  echo "the program's package holds the host folder the build named"
  exit 1
fi

# The patches' package: the fixture's patches and the manifest the vendor signed.
set_dir="$scratch/patch-set"
mkdir -p "$set_dir"
cp "$fixtures/patches/"*.pa "$scratch/patches.manifest" "$scratch/patches.manifest.minisig" "$set_dir/"
patches=$("$top/scripts/package.sh" --patches "$set_dir" --patches-version 2026.3.1 "$build")
[[ $patches == "$build/font-reviser-patches_2026.3.1_all.deb" ]] || { echo "patches package: $patches"; exit 1; }
echo "package: $patches"
if ! tags=$(lintian --fail-on error,warning "$patches" 2>&1); then
  echo "$tags"
  echo "lintian reports an error or a warning about the patches' package"
  exit 1
fi
grep -v "running with root privileges" <<<"$tags" || true
[[ $(dpkg-deb -f "$patches" Depends) == "font-reviser (>= 1.2.0)" && $(dpkg-deb -f "$patches" Architecture) == all ]] \
  || { dpkg-deb -f "$patches"; echo "the patches' package is not for every architecture with the program"; exit 1; }
dpkg-deb -x "$patches" "$scratch/patches-root"
expected=$( (cd "$set_dir" && printf 'usr/share/font-reviser/host/%s\n' *; \
             printf 'usr/share/doc/font-reviser-patches/%s\n' changelog.gz copyright) | LC_ALL=C sort)
[[ $(cd "$scratch/patches-root" && find . -type f -printf '%P\n' | LC_ALL=C sort) == "$expected" ]] \
  || { dpkg-deb -c "$patches"; echo "the patches' package does not hold exactly the signed set"; exit 1; }
cmp "$set_dir/patches.manifest.minisig" "$scratch/patches-root/usr/share/font-reviser/host/patches.manifest.minisig"
[[ -z $(dpkg-deb -c "$patches" | awk '$2 != "root/root"') ]] || { echo "the patches' files are not root's"; exit 1; }
cp "$patches" "$scratch/patches-first.deb"
"$top/scripts/package.sh" --patches "$set_dir" --patches-version 2026.3.1 "$build" >/dev/null
cmp "$scratch/patches-first.deb" "$patches" || { echo "the same patches and version made another package"; exit 1; }
# Refused: a patch that is not the one listed, a file the manifest does not list, no signature,
# a version Debian would not take.
refused() {  # refused WHAT MESSAGE PACKAGE_OPTION...: package.sh fails, saying MESSAGE
  local out
  if out=$("$top/scripts/package.sh" "${@:3}" "$scratch/refused" 2>&1); then echo "package.sh made a package $1"; exit 1; fi
  grep -q "$2" <<<"$out" || { echo "$out"; echo "package.sh did not say why it refused $1"; exit 1; }
}
for case in damaged unlisted unsigned; do
  cp -r "$set_dir" "$scratch/$case"
done
printf 'x' >> "$(find "$scratch/damaged" -name '*.pa' | head -n 1)"
printf 'notes\n' > "$scratch/unlisted/README"
rm "$scratch/unsigned/patches.manifest.minisig"
refused "of a damaged patch" "SHA-256 differs" --patches "$scratch/damaged" --patches-version 1
refused "with a file the manifest does not list" "README, which the manifest does not list" \
  --patches "$scratch/unlisted" --patches-version 1
refused "without a signature" "no signed manifest" --patches "$scratch/unsigned" --patches-version 1
refused "of version v1" "a Debian version" --patches "$set_dir" --patches-version v1

# Installed into a scratch dpkg root (nothing of the machine's own) and purged from it: no
# warning, no folder of either package left behind.
sys="$scratch/sys"
mkdir -p "$sys/var/lib/dpkg/info" "$sys/var/lib/dpkg/updates" "$sys/var/log"
: > "$sys/var/lib/dpkg/status"
dpkg --root="$sys" --force-depends -i "$deb" "$patches" >"$scratch/dpkg.log" 2>&1 \
  || { cat "$scratch/dpkg.log"; echo "the packages did not install"; exit 1; }
test -f "$sys/usr/share/font-reviser/host/patches.manifest"
dpkg --root="$sys" --purge font-reviser-patches font-reviser >"$scratch/dpkg.log" 2>&1 \
  || { cat "$scratch/dpkg.log"; echo "the packages did not purge"; exit 1; }
if grep -i "warning" "$scratch/dpkg.log" || [[ -n $(find "$sys" -path '*font-reviser*' -print -quit) ]]; then
  find "$sys" -path '*font-reviser*'
  echo "purging the packages left the above"
  exit 1
fi
echo "package: lintian, desktop entry, metainfo, polkit action, manual, the program unpacked, a host folder installed, the patches' package and install and purge all good"

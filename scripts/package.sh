#!/usr/bin/env bash
# Makes the Debian packages. Prints the path of the .deb; everything else goes to standard error.
#
# Usage: package.sh [BUILD_DIR] [CMAKE_OPTION ...]
#   The program: a Release build with Debian's default compiler and linker flags, installed
#   under /usr by CPack's DEB generator (its dependencies from dpkg-shlibdeps), e.g.
#     package.sh build/package -DFR_TRUSTED_KEY_FILE=/path/to/vendor.pub
#   Without FR_TRUSTED_KEY_FILE the package trusts no key; with the test-only key it is refused.
#   It holds no patches: they are a package of their own (below), so that two packages of the
#   program with one version are the same program with the same files.
#
# Usage: package.sh --patches HOST_DIR --patches-version VERSION [BUILD_DIR]
#   The patches: font-reviser-patches_VERSION_all.deb, which installs the signed manifest of a
#   "host" folder, its signature and the patch files it lists into /usr/share/font-reviser/host,
#   where the program looks when it has no "host" folder beside it. Every listed patch must be
#   there with the listed SHA-256, and the folder must hold nothing else. The same folder and
#   version give the same bytes (the files' times are the manifest's, or SOURCE_DATE_EPOCH).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
contact="Velmora Font Reviser maintainers <font-reviser@velmora.example>"

patches_package() {
  local host=$1 version=$2 build=$3
  fail() { echo "package.sh: $*" >&2; exit 1; }
  [[ $version =~ ^[0-9][A-Za-z0-9.+~]*$ ]] || fail "--patches-version takes a Debian version such as 2026.3.1, not '$version'"
  [[ -f $host/patches.manifest && -f $host/patches.manifest.minisig ]] \
    || fail "$host has no signed manifest (patches.manifest and patches.manifest.minisig)"
  local -a listed=()
  local line name='' sum
  while IFS= read -r line; do
    case $line in
      "patch "*) name=${line#patch } ;;
      "sha256 "*)
        [[ -n $name ]] || fail "patches.manifest: a sha256 line without its patch line"
        [[ -f $host/$name ]] || fail "$host lacks $name, which the manifest lists"
        sum=$(sha256sum < "$host/$name" | cut -d' ' -f1)
        [[ $sum == "${line#sha256 }" ]] || fail "$host/$name is not the patch the manifest lists (its SHA-256 differs)"
        listed+=("$name"); name='' ;;
    esac
  done < "$host/patches.manifest"
  ((${#listed[@]})) || fail "patches.manifest lists no patch"
  local file
  for file in "$host"/* "$host"/.[!.]*; do
    [[ -e $file ]] || continue
    name=${file##*/}
    [[ $name == patches.manifest || $name == patches.manifest.minisig ]] && continue
    printf '%s\n' "${listed[@]}" | grep -qxF -- "$name" || fail "$host holds $name, which the manifest does not list"
  done

  # The tree the package installs, owned by root, every time the manifest's (or SOURCE_DATE_EPOCH).
  local stage doc epoch
  mkdir -p "$build"
  build=$(cd "$build" && pwd)
  stage=$(mktemp -d "$build/patches-stage.XXXXXX")
  trap 'rm -rf "$stage"' RETURN
  epoch=${SOURCE_DATE_EPOCH:-$(stat -c %Y "$host/patches.manifest")}
  mkdir -p "$stage/DEBIAN" "$stage/usr/share/font-reviser/host"
  for name in patches.manifest patches.manifest.minisig "${listed[@]}"; do
    install -m 0644 "$host/$name" "$stage/usr/share/font-reviser/host/$name"
  done
  doc="$stage/usr/share/doc/font-reviser-patches"
  mkdir -p "$doc"
  install -m 0644 "$top/packaging/patches-copyright" "$doc/copyright"
  printf '%s (%s) stable; urgency=medium\n\n  * The vendor'"'"'s patches: %d patch files and their signed manifest.\n\n -- %s  %s\n' \
    font-reviser-patches "$version" "${#listed[@]}" "$contact" "$(LC_ALL=C date -u -R -d "@$epoch")" \
    | gzip -9n > "$doc/changelog.gz"
  chmod 0644 "$doc/changelog.gz"
  (cd "$stage" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
  # 1.2.0 is the first program that looks in /usr/share/font-reviser/host.
  cat > "$stage/DEBIAN/control" <<EOF
Package: font-reviser-patches
Version: $version
Architecture: all
Multi-Arch: foreign
Maintainer: $contact
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: font-reviser (>= 1.2.0)
Section: misc
Priority: optional
Homepage: https://velmora.example/font-reviser/
Description: patches that revise the Velmora and Kestrune fonts
 The vendor's patch files for the installed Velmora and Kestrune OpenType
 fonts, with their manifest and its signature, in
 /usr/share/font-reviser/host, where font-reviser finds them. A program
 built with the vendor's key applies a patch only when the signature and
 the patch's digest are right.
EOF
  chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
  find "$stage" -type d -exec chmod 0755 {} +
  find "$stage" -exec touch -h -d "@$epoch" {} +
  local deb="$build/font-reviser-patches_${version}_all.deb"
  rm -f "$deb"
  SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >&2
  echo "$deb"
}

if [[ ${1:-} == --patches ]]; then
  host=${2:?usage: package.sh --patches HOST_DIR --patches-version VERSION [BUILD_DIR]}
  [[ ${3:-} == --patches-version && -n ${4:-} ]] || { echo "usage: package.sh --patches HOST_DIR --patches-version VERSION [BUILD_DIR]" >&2; exit 64; }
  patches_package "$(cd "$host" && pwd)" "$4" "${5:-$top/build/package}"
  exit 0
fi

build=${1:-$top/build/package}
shift || true
"$top/scripts/install-deps.sh" build >&2

# A package must never trust the key kept for tests, whose secret key lies beside it; nor carry
# a "host" folder (see above).
key_id() { sed -n 2p "$1" | base64 -d 2>/dev/null | od -An -tx1 -j2 -N8 | tr -d ' \n'; }
for option in "$@"; do
  if [[ $option == -DFR_TRUSTED_KEY_FILE=?* ]]; then
    key=${option#-DFR_TRUSTED_KEY_FILE=}
    if [[ $(key_id "$key") == "$(key_id "$top/tests/keys/test-only-signing.pub")" ]]; then
      echo "package.sh: $key is the test-only key, whose secret key is public: refusing to package" >&2
      exit 1
    fi
  fi
  if [[ $option == -DFR_HOST_FOLDER=?* ]]; then
    echo "package.sh: the program's package holds no patches; make theirs with --patches HOST_DIR --patches-version VERSION" >&2
    exit 1
  fi
done
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
  "$@" >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/font-reviser_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/font-reviser_*.deb

#!/usr/bin/env bash
# Installs the Debian 12 packages of one set, each set holding the one before it:
#   runtime  what the sample run (scripts/run.sh) needs: the program built without its tests,
#            the sample's fonts and patches made, their signature checked, each revised font
#            checked with ots-sanitize
#   build    and what scripts/package.sh needs to make the Debian package
#   test     and everything scripts/test.sh runs (the default, so that callers without a set,
#            the benchmarks and the screenshots among them, get everything)
# Usage: install-deps.sh [runtime|build|test]
# Run as root; does nothing when the set is already there.
set -euo pipefail
set_name=${1:-test}

runtime=(cmake ninja-build g++ pkg-config                     # the build
         qt6-base-dev qt6-base-dev-tools libgl-dev             # Qt Core, Widgets, DBus, Test; moc, uic
         qt6-tools-dev qt6-l10n-tools                          # Qt's LinguistTools: the translation built in
         libfontconfig-dev libfreetype-dev libsodium-dev libxxhash-dev libsystemd-dev
         python3 python3-fonttools python3-xxhash              # the sample's fonts, patches and manifest
         minisign                                              # its signature made and checked
         opentype-sanitizer)                                   # ots-sanitize on each revised font
build=(dpkg-dev                                                # dpkg-buildflags, dpkg-shlibdeps
       file)                                                   # CPack's DEB generator looks at every file with it
test=(libgtest-dev                                             # the engine's tests
      clang clang-tidy libclang-rt-14-dev                      # clang-tidy and the fuzz targets
      man-db                                                   # the manual page rendered without warnings
      libxml2-utils polkitd pkexec sudo dbus                   # the polkit action; the helper's elevation; the buses
      lintian desktop-file-utils appstream                     # the package checked
      ansible-core ansible-lint openssh-client                 # the Ansible example (a machine out of reach over ssh)
      xvfb xauth                                               # scripts/sample_screenshots.sh
      fonts-noto-cjk)                                          # the benchmarks' large fonts
case $set_name in
  runtime) packages=("${runtime[@]}") ;;
  build) packages=("${runtime[@]}" "${build[@]}") ;;
  test) packages=("${runtime[@]}" "${build[@]}" "${test[@]}") ;;
  *) echo "usage: install-deps.sh [runtime|build|test]" >&2; exit 64 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "missing packages: ${missing[*]} (run this script as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

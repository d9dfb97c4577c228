#!/usr/bin/env bash
# Makes the Debian package of the program: a Release build with Debian's default compiler
# and linker flags, installed under /usr by CPack's DEB generator (its dependencies from
# dpkg-shlibdeps). Prints the path of the .deb; everything else goes to standard error.
# Usage: package.sh [BUILD_DIR] [CMAKE_OPTION ...]
#   e.g. package.sh build/package -DFR_HOST_FOLDER=/path/to/host -DFR_TRUSTED_KEY_FILE=/path/to/vendor.pub
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/package}
shift || true
"$top/scripts/install-deps.sh" >&2
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
  "$@" >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/*.deb

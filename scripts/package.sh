#!/usr/bin/env bash
# Makes the Debian package of the program: a Release build with Debian's default compiler
# and linker flags, installed under /usr by CPack's DEB generator (its dependencies from
# dpkg-shlibdeps). Prints the path of the .deb; everything else goes to standard error.
# Usage: package.sh [BUILD_DIR] [CMAKE_OPTION ...]
#   e.g. package.sh build/package -DFR_HOST_FOLDER=/path/to/host -DFR_TRUSTED_KEY_FILE=/path/to/vendor.pub
# Without FR_TRUSTED_KEY_FILE the package trusts no key; with the test-only key it is refused.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/package}
shift || true
"$top/scripts/install-deps.sh" >&2

# A package must never trust the key kept for tests, whose secret key lies beside it.
key_id() { sed -n 2p "$1" | base64 -d 2>/dev/null | od -An -tx1 -j2 -N8 | tr -d ' \n'; }
for option in "$@"; do
  if [[ $option == -DFR_TRUSTED_KEY_FILE=?* ]]; then
    key=${option#-DFR_TRUSTED_KEY_FILE=}
    if [[ $(key_id "$key") == "$(key_id "$top/tests/keys/test-only-signing.pub")" ]]; then
      echo "package.sh: $key is the test-only key, whose secret key is public: refusing to package" >&2
      exit 1
    fi
  fi
done
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
  "$@" >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/*.deb

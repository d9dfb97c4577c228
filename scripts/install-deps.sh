#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the sample run need.
# Run as root; does nothing when everything is already there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools libgl-dev
          libgtest-dev libfontconfig-dev libfreetype-dev libsodium-dev libxxhash-dev libsystemd-dev minisign python3 python3-fonttools
          python3-xxhash opentype-sanitizer xvfb xauth fonts-noto-cjk dbus ansible-core ansible-lint man-db
          clang-tidy clang libclang-rt-14-dev libxml2-utils polkitd pkexec sudo lintian desktop-file-utils appstream)
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

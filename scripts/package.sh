#!/usr/bin/env bash
# Builds the Debian package: build/mirelink_<version>_<architecture>.deb,
# from a release build of the programs alone (in build-package/).
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for p in g++ cmake ninja-build libssl-dev dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "package: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRELINK_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
ninja -C build-package mirelink mirelink-httpmail mirelink_manual
(cd build-package && cpack -G DEB >/dev/null)
mkdir -p build
deb=$(ls build-package/mirelink_*.deb)
cp "$deb" build/
echo "package: build/$(basename "$deb")"

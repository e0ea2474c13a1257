#!/usr/bin/env bash
# Builds the Debian package: build/mirelink_<version>_<architecture>.deb,
# from a release build of the programs alone (in build-package/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh package g++ cmake ninja-build libssl-dev dpkg-dev
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRELINK_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
ninja -C build-package mirelink mirelink-httpmail mirelink_manual
(cd build-package && cpack -G DEB >/dev/null)
mkdir -p build
deb=$(ls build-package/mirelink_*.deb)
cp "$deb" build/
echo "package: build/$(basename "$deb")"

#!/usr/bin/env bash
# Builds the Debian packages from a release build of the programs alone (in
# build-package/), with Debian's hardening flags (stack protector,
# _FORTIFY_SOURCE, RELRO and BIND_NOW; PIE is the compiler's default), and
# the stack clash and control flow protections this dpkg does not add yet
# (the latter takes effect only once the C library's start files carry it):
#   build/mirelink_<version>_<architecture>.deb          the gateway
#   build/mirelink-httpmail_<version>_<architecture>.deb the local HTTPMail service
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh package g++ cmake ninja-build libssl-dev dpkg-dev
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags=$(dpkg-buildflags --get CPPFLAGS)
flags+=" -fstack-clash-protection"
case $(dpkg --print-architecture) in
  amd64 | i386) flags+=" -fcf-protection" ;;
  arm64) flags+=" -mbranch-protection=standard" ;;
esac
rm -f build-package/*.deb
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRELINK_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $flags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
ninja -C build-package mirelink mirelink-httpmail mirelink_manual
(cd build-package && cpack -G DEB >/dev/null)
mkdir -p build
for deb in build-package/mirelink*.deb; do
  cp "$deb" build/
  echo "package: build/$(basename "$deb")"
done

#!/usr/bin/env bash
# Builds the Windows program (mirelink.exe) and its tests into build-win/ (or
# the folder given): installs the cross toolchain and Wine, cross-builds
# OpenSSL once into a cache outside the checkout, then configures and builds.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
shift || true
step=$(date +%s)
took() { local now; now=$(date +%s); echo "build-windows: $1 in $(( now - step )) s"; step=$now; }
bash scripts/setup.sh
bash scripts/setup-windows.sh
took "toolchain and Wine ready"
openssl=$(bash scripts/openssl-mingw.sh)
took "OpenSSL ready"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DOPENSSL_ROOT_DIR="$openssl" "$@" >/dev/null
ninja -C "$dir"
took "built"

#!/usr/bin/env bash
# Installs the Windows cross toolchain and Wine (with a virtual display for the
# dialogs). Idempotent.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb xdotool imagemagick dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup-windows: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup-windows: done"

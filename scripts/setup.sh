#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the quick start need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config libssl-dev openssl dpkg-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev
  python3 clang libclang-rt-14-dev
  # real peers and clients used by the tests
  curl fetchmail swaks apache2 apache2-utils tinyproxy procps
  # IMAP peers: a real server to compare with, and real clients
  dovecot-imapd isync offlineimap3 mutt
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# Package scripts must not start the daemons (apache2, tinyproxy, dovecot): the tests start their own.
created_policy=0
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod +x /usr/sbin/policy-rc.d
  created_policy=1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
[ $created_policy -eq 1 ] && $SUDO rm -f /usr/sbin/policy-rc.d
echo "setup: done"

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
  dovecot-imapd isync offlineimap3 mutt neomutt python3-imap-tools
)

bash "$(dirname "$0")/install-packages.sh" setup "${packages[@]}"

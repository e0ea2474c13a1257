#!/usr/bin/env bash
# Cross-builds OpenSSL 3 for 64-bit Windows from Debian's own source package,
# static and with the legacy provider built into libcrypto (no-module), so that
# Blowfish works in a static program. The result is cached outside the
# checkout, keyed by the source version and the options; a stamp file written
# last marks a complete build. Prints the install prefix.
set -euo pipefail
cache_root=${MIRELINK_CACHE:-/var/cache/mirelink}
options="mingw64 no-shared no-module no-tests"
work=$(mktemp -d)
chmod 755 "$work"  # apt fetches as its own user
trap 'rm -rf "$work"' EXIT

# Debian's source package through a private sources list, leaving the
# machine's own apt configuration alone.
mkdir -p "$work/apt/lists/partial"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
echo "deb-src http://deb.debian.org/debian $codename main" > "$work/apt/sources.list"
apt_opts=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o Dir::State::Lists="$work/apt/lists" -o APT::Get::List-Cleanup=0)
apt-get "${apt_opts[@]}" update -qq >/dev/null
(cd "$work" && apt-get "${apt_opts[@]}" source --download-only -qq openssl >/dev/null 2>&1)
dsc=$(ls "$work"/openssl_*.dsc | head -n 1)
version=$(basename "$dsc" .dsc | sed 's/^openssl_//')
key=$(echo "$version $options" | sha1sum | cut -c1-12)
prefix="$cache_root/openssl-mingw64-$version-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
echo "openssl-mingw: building OpenSSL $version for mingw64 (a few minutes)" >&2
(cd "$work" && dpkg-source -x --skip-patches "$dsc" src >/dev/null 2>&1)
rm -rf "$prefix"
mkdir -p "$prefix"
(cd "$work/src" &&
  ./Configure $options --cross-compile-prefix=x86_64-w64-mingw32- --prefix="$prefix" --libdir=lib >/dev/null &&
  make -j"$(nproc)" build_libs >/dev/null 2>&1 &&
  make install_dev >/dev/null 2>&1)
touch "$prefix/.complete"
echo "$prefix"

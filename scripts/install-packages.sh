#!/usr/bin/env bash
# Installs those of the named Debian packages that are missing; silent when
# every one is there. Package scripts do not start daemons (apache2,
# tinyproxy): the tests start their own.
#   bash scripts/install-packages.sh <who is asking> <package>...
set -euo pipefail
who=$1
shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "$who: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
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
echo "$who: done"

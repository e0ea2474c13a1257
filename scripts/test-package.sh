#!/usr/bin/env bash
# The Debian packages as a user meets them: builds them, checks them with
# lintian (an error or a warning fails) and the programs with hardening-check,
# installs the real .debs with apt, sets the ports with --set, starts the
# installed gateway in front of the installed local HTTPMail service
# (directly: CI has no user session manager for the systemd unit), reads and
# sends mail through it with curl, stops it and removes the packages again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh test-package lintian devscripts
bash scripts/package.sh
arch=$(dpkg --print-architecture)
deb=$(ls build/mirelink_*_"$arch".deb)
httpmail_deb=$(ls build/mirelink-httpmail_*_"$arch".deb)
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

home=$(mktemp -d "${TMPDIR:-/tmp}/mirelink-package-XXXXXX")
service=""
gateway=""
cleanup() {
  [ -n "$gateway" ] && kill "$gateway" 2>/dev/null
  [ -n "$service" ] && kill "$service" 2>/dev/null
  wait 2>/dev/null || true
  $SUDO apt-get remove -y -qq mirelink mirelink-httpmail >/dev/null 2>&1 || true
  rm -rf "$home"
}
trap cleanup EXIT
fail() {
  echo "test-package: $*" >&2
  for f in "$home"/*.out "$home"/state/Palisandre/mirelink.log; do [ -f "$f" ] && { echo "== $f"; cat "$f"; } >&2; done
  exit 1
}
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

echo "test-package: lintian --pedantic $deb $httpmail_deb"
lintian --pedantic --fail-on error,warning "$deb" "$httpmail_deb" || fail "lintian found errors or warnings"
for package in "$deb" "$httpmail_deb"; do
  dpkg-deb -x "$package" "$home/unpacked"
done
# Control flow protection cannot be had on Debian 12: the C library's start
# files carry no IBT/SHSTK marks, so the linker drops them from any program.
hardening-check --quiet --nocfprotection "$home"/unpacked/usr/bin/mirelink "$home"/unpacked/usr/bin/mirelink-httpmail \
  || fail "hardening-check found a protection missing"
dpkg-deb -c "$deb" | grep -q "mirelink-httpmail" && fail "the gateway's package carries the local service"

echo "test-package: installing $deb $httpmail_deb"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "./$deb" "./$httpmail_deb" >/dev/null
for file in /usr/bin/mirelink /usr/bin/mirelink-httpmail /usr/share/man/man1/mirelink.1.gz \
            /usr/share/man/man1/mirelink-httpmail.1.gz /usr/lib/systemd/user/mirelink.service \
            /usr/share/bash-completion/completions/mirelink /usr/share/doc/mirelink/examples/Mirelink.reg \
            /usr/share/doc/mirelink/copyright /usr/share/doc/mirelink-httpmail/copyright; do
  [ -f "$file" ] || fail "the packages did not install $file"
done
grep -qx "ExecStart=/usr/bin/mirelink --log -" /usr/lib/systemd/user/mirelink.service \
  || fail "the unit does not start /usr/bin/mirelink"

export HOME=$home XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state XDG_RUNTIME_DIR=$home/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
mirelink-httpmail --port 0 >"$home/service.out" 2>&1 &
service=$!
for _ in $(seq 100); do [ -s "$home/service.out" ] && break; sleep 0.05; done
service_port=$(head -n 1 "$home/service.out")
pop=$(free_port)
smtp=$(free_port)
mirelink --set Port="$pop" PortSmtp="$smtp" PortImap=0 Delay=0 ProxyAddress=127.0.0.1 \
  ProxyPort="$service_port" || fail "--set failed"

mirelink >"$home/gateway.out" 2>&1 &
gateway=$!
for _ in $(seq 200); do grep -q "^SMTP on " "$home/gateway.out" && break; sleep 0.05; done
grep -q "^POP3 on 127.0.0.1:$pop$" "$home/gateway.out" || fail "the gateway does not listen on $pop"

list=$(curl -s "pop3://127.0.0.1:$pop/" -u alice:wonderland) || fail "curl could not list the mailbox"
[ -n "$list" ] || fail "an empty mailbox"
curl -s "pop3://127.0.0.1:$pop/1" -u alice:wonderland | grep -q "^X-Mirelink-Folder: " \
  || fail "message 1 did not come through the gateway"
printf 'Subject: from the package test\r\n\r\nHello\r\n' | curl -s "smtp://127.0.0.1:$smtp" \
  -u alice:wonderland --mail-from alice@example.com --mail-rcpt bob@example.com -T - \
  || fail "curl could not send through the gateway"

kill -TERM "$gateway"
wait "$gateway" || fail "the gateway ended with $?"
gateway=""
tail -n 1 "$home/gateway.out" | grep -qx "Stopped" || fail "no stop line"

DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq mirelink mirelink-httpmail >/dev/null
[ ! -e /usr/bin/mirelink ] || fail "the package left /usr/bin/mirelink"
echo "test-package: installed, served, removed"

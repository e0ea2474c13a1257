#!/usr/bin/env bash
# Quick start: installs what the demo needs (compiler, CMake, Ninja, OpenSSL
# headers), builds only the gateway and the local HTTPMail service, starts the
# service with its sample mailbox and the gateway in front of it, and tells
# how to read and send mail. Ctrl-C stops both.
#
#   bash scripts/demo.sh [POP3 port] [SMTP port] [IMAP port]   (1110 1025 1143)
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "demo: $*"; }
refuse() { echo "demo: $*" >&2; exit 2; }

ports=("${1:-1110}" "${2:-1025}" "${3:-1143}")
[ $# -le 3 ] || refuse "usage: bash scripts/demo.sh [POP3 port] [SMTP port] [IMAP port]"
for port in "${ports[@]}"; do
  [[ $port =~ ^[0-9]{1,5}$ ]] && [ "$port" -ge 1 ] && [ "$port" -le 65535 ] \
    || refuse "a port is a number from 1 to 65535, not '$port'"
  if [ "$port" -lt 1024 ] && [ "$(id -u)" -ne 0 ]; then
    refuse "port $port needs root; take one from 1024 up"
  fi
done
[ "${ports[0]}" != "${ports[1]}" ] && [ "${ports[0]}" != "${ports[2]}" ] && [ "${ports[1]}" != "${ports[2]}" ] \
  || refuse "the three ports must differ"
pop_port=${ports[0]} smtp_port=${ports[1]} imap_port=${ports[2]}

build=$PWD/build-demo
demo=$build/demo
mkdir -p "$build"
# One demo at a time: a second one must not wipe the folder of the first.
exec 9>"$build/demo.lock"
flock -n 9 || refuse "a demo already runs from this checkout (stop it with Ctrl-C first)"

bash scripts/install-packages.sh demo g++ cmake ninja-build libssl-dev

say "configuring the build in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRELINK_TESTS=OFF >"$build/cmake.log" \
  || { cat "$build/cmake.log" >&2; exit 1; }
say "building the gateway and the local HTTPMail service"
# Ninja's own status line on a terminal; elsewhere one line in ten of its count.
if [ -t 1 ]; then
  ninja -C "$build" mirelink mirelink-httpmail
else
  ninja -C "$build" mirelink mirelink-httpmail | awk '/^\[/ { gsub(/[][]/, "", $1); split($1, n, "/"); if (n[1] % 10 == 0 || n[1] == n[2]) print "demo: built " n[1] " of " n[2] }'
fi

rm -rf "$demo"
mkdir -p "$demo/service" "$demo/state"
mkdir -m 700 "$demo/run"
export XDG_CONFIG_HOME=$demo/config XDG_STATE_HOME=$demo/state XDG_RUNTIME_DIR=$demo/run
gateway=""
service=""
stop() {
  [ -n "$gateway" ] && kill "$gateway" 2>/dev/null && wait "$gateway" 2>/dev/null
  [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  echo
  say "stopped. The gateway's log is $demo/state/Palisandre/mirelink.log"
}
trap stop EXIT
trap 'exit 0' INT TERM

say "starting the local HTTPMail service with its sample accounts"
# The service prints its port on its first line of output. Every method is
# on (PUT and the folder changes are by default; COPY and DELETE of messages
# on request), as the README's IMAP section describes the gateway; it files a
# copy of each submission in the sent folder, as the web mail service does.
"$build/tools/httpmail/mirelink-httpmail" --port 0 --state-dir "$demo/service" --copy-to-sent \
  --copy-and-delete >"$demo/service.port" 2>"$demo/service.log" &
service=$!
for _ in $(seq 100); do
  [ -s "$demo/service.port" ] && break
  sleep 0.05
done
service_port=$(head -n 1 "$demo/service.port")
[ -n "$service_port" ] || { cat "$demo/service.log" >&2; exit 1; }

# The gateway's own settings, kept apart from any the user has: it reaches the
# service through its proxy settings.
mirelink=$build/app/mirelink
"$mirelink" --set Port="$pop_port" PortSmtp="$smtp_port" PortImap="$imap_port" Timeout=30 Delay=0 \
  CheckOtherFolders=1 CheckBulkFolder=1 ProxyAddress=127.0.0.1 ProxyPort="$service_port"

say "starting the gateway"
"$mirelink" >"$demo/gateway.out" 2>&1 &
gateway=$!
listening() { awk -v want="$(printf '0100007F:%04X' "$1")" '$2 == want && $4 == "0A" { found = 1 } END { exit !found }' /proc/net/tcp; }
for _ in $(seq 200); do
  if ! kill -0 "$gateway" 2>/dev/null || grep -q "could not listen" "$demo/gateway.out"; then break; fi
  listening "$pop_port" && listening "$smtp_port" && break
  sleep 0.05
done
if ! listening "$pop_port" || ! listening "$smtp_port"; then
  cat "$demo/gateway.out" >&2
  echo "demo: the gateway does not listen on $pop_port and $smtp_port (is a port taken?)" >&2
  exit 1
fi
sed 's/^/  /' "$demo/gateway.out"
imap=""
if grep -q "^IMAP on " "$demo/gateway.out"; then
  imap="
Read mail by IMAP (a mail client: IMAP server 127.0.0.1 port $imap_port, no TLS):
  curl -s imap://127.0.0.1:$imap_port/INBOX -u alice:wonderland -X 'FETCH 1:* (FLAGS)'"
fi

cat <<INFO

Mirelink is running in front of the local HTTPMail service on 127.0.0.1:$service_port.

Sample accounts:  alice / wonderland      bob@msn.com / builder

Read mail:
  curl -s pop3://127.0.0.1:$pop_port/ -u alice:wonderland          # list
  curl -s pop3://127.0.0.1:$pop_port/1 -u alice:wonderland         # message 1
Send mail:
  printf 'Subject: hello\r\n\r\nHi Bob\r\n' | curl -s smtp://127.0.0.1:$smtp_port \\
    -u alice:wonderland --mail-from alice@example.com --mail-rcpt bob@example.com -T -$imap
A mail client: POP3 server 127.0.0.1 port $pop_port, SMTP server 127.0.0.1 port
$smtp_port with authentication, user alice, password wonderland, no TLS.

Settings: $demo/config/Palisandre/Mirelink.reg   Log: $demo/state/Palisandre/mirelink.log
Submitted mail: $demo/service/sent/
Press Ctrl-C to stop.
INFO
wait "$gateway"

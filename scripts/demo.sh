#!/usr/bin/env bash
# Quick start: installs what the demo needs (compiler, CMake, Ninja, OpenSSL
# headers), builds only the gateway and the local HTTPMail service, starts the
# service with its sample mailbox and the gateway in front of it, and tells
# how to read and send mail. Ctrl-C stops both.
#
#   bash scripts/demo.sh [POP3 port] [SMTP port] [IMAP port]   (1110 1025 1143)
#
# MIRELINK_DEMO_BUILD names a build folder to use instead of build-demo/;
# one that is configured already is not configured again, only the two
# programs are built there (the end-to-end test of the demo uses its own).
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "demo: $*"; }
refuse() { echo "demo: $*" >&2; exit 2; }

ports=("${1:-1110}" "${2:-1025}" "${3:-1143}")
[ $# -le 3 ] || refuse "usage: bash scripts/demo.sh [POP3 port] [SMTP port] [IMAP port]"
for i in 0 1 2; do
  port=${ports[$i]}
  [[ $port =~ ^0*[0-9]{1,5}$ ]] || refuse "a port is a number from 1 to 65535, not '$port'"
  # Decimal, also with leading zeros (bash and printf would read 01110 as octal).
  port=$((10#$port))
  [ "$port" -ge 1 ] && [ "$port" -le 65535 ] || refuse "a port is a number from 1 to 65535, not '${ports[$i]}'"
  if [ "$port" -lt 1024 ] && [ "$(id -u)" -ne 0 ]; then
    refuse "port $port needs root; take one from 1024 up"
  fi
  ports[$i]=$port
done
[ "${ports[0]}" != "${ports[1]}" ] && [ "${ports[0]}" != "${ports[2]}" ] && [ "${ports[1]}" != "${ports[2]}" ] \
  || refuse "the three ports must differ"
pop_port=${ports[0]} smtp_port=${ports[1]} imap_port=${ports[2]}

build=${MIRELINK_DEMO_BUILD:-$PWD/build-demo}
demo=$build/demo
mkdir -p "$build"
# One demo at a time: a second one must not wipe the folder of the first.
exec 9>"$build/demo.lock"
flock -n 9 || refuse "a demo already runs from this checkout (stop it with Ctrl-C first)"

bash scripts/install-packages.sh demo g++ cmake ninja-build libssl-dev

if [ -z "${MIRELINK_DEMO_BUILD:-}" ] || [ ! -f "$build/CMakeCache.txt" ]; then
  say "configuring the build in $build"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRELINK_TESTS=OFF >"$build/cmake.log" \
    || { cat "$build/cmake.log" >&2; exit 1; }
fi
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
# The gateway's own start lines say where each service listens: a port that
# another program listens on is one the gateway reports it could not have
# (a look at the system's table of listening sockets cannot tell the two apart).
names=(POP3 SMTP IMAP)
reported() { grep -cE '^(POP3|SMTP|IMAP) ' "$demo/gateway.out" || true; }
for _ in $(seq 400); do
  kill -0 "$gateway" 2>/dev/null && [ "$(reported)" -lt 3 ] || break
  sleep 0.05
done
failed=()
for i in 0 1 2; do
  grep -qx "${names[$i]} on 127.0.0.1:${ports[$i]}" "$demo/gateway.out" || failed+=("$i")
done
if [ ${#failed[@]} -gt 0 ]; then
  sed 's/^/  /' "$demo/gateway.out" >&2
  for i in "${failed[@]}"; do
    echo "demo: ${names[$i]} could not listen on 127.0.0.1:${ports[$i]} (is another program using the port?)" >&2
  done
  echo "demo: choose free ports: bash scripts/demo.sh <POP3 port> <SMTP port> <IMAP port>," \
    "e.g. bash scripts/demo.sh 2110 2025 2143" >&2
  exit 1
fi
sed 's/^/  /' "$demo/gateway.out"

cat <<INFO

Mirelink is running in front of the local HTTPMail service on 127.0.0.1:$service_port.

Sample accounts:  alice / wonderland      bob@msn.com / builder

Read mail:
  curl -s pop3://127.0.0.1:$pop_port/ -u alice:wonderland          # list
  curl -s pop3://127.0.0.1:$pop_port/1 -u alice:wonderland         # message 1
Send mail:
  printf 'Subject: hello\r\n\r\nHi Bob\r\n' | curl -s smtp://127.0.0.1:$smtp_port \\
    -u alice:wonderland --mail-from alice@example.com --mail-rcpt bob@example.com -T -
Read mail by IMAP:
  curl -s imap://127.0.0.1:$imap_port/INBOX -u alice:wonderland -X 'FETCH 1:* (FLAGS)'
A mail client: POP3 server 127.0.0.1 port $pop_port or IMAP server 127.0.0.1 port
$imap_port, SMTP server 127.0.0.1 port $smtp_port with authentication, user alice,
password wonderland, no TLS.

Settings: $demo/config/Palisandre/Mirelink.reg   Log: $demo/state/Palisandre/mirelink.log
Submitted mail: $demo/service/sent/
Press Ctrl-C to stop.
INFO
wait "$gateway"

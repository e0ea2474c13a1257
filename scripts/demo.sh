#!/usr/bin/env bash
# Quick start: installs what is needed, builds, starts the local HTTPMail
# service with its sample mailbox and the gateway in front of it, and tells
# how to read and send mail. Ctrl-C stops both.
#
#   bash scripts/demo.sh [POP3 port] [SMTP port]      (default 1110 and 1025)
set -euo pipefail
cd "$(dirname "$0")/.."
pop_port=${1:-1110}
smtp_port=${2:-1025}

bash scripts/setup.sh
bash scripts/build.sh build >/dev/null

demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo/config/Palisandre" "$demo/run" "$demo/state"
chmod 700 "$demo/run"

# The service prints its port on its first line of output.
build/tools/httpmail/mirelink-httpmail --port 0 --state-dir "$demo/state" --copy-to-sent \
  >"$demo/service.port" 2>"$demo/service.log" &
service=$!
gateway=""
stop() {
  [ -n "$gateway" ] && kill "$gateway" 2>/dev/null && wait "$gateway" 2>/dev/null
  kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  echo
  echo "Stopped. The gateway's log is $demo/home-state/Palisandre/mirelink.log"
}
trap stop EXIT
trap 'exit 0' INT TERM
for _ in $(seq 50); do
  [ -s "$demo/service.port" ] && break
  sleep 0.1
done
service_port=$(head -n 1 "$demo/service.port")
[ -n "$service_port" ] || { cat "$demo/service.log" >&2; exit 1; }

# The gateway's own settings, kept apart from any the user has: it reaches the
# service through its proxy settings.
printf '%s\r\n' \
  'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Palisandre\Mirelink]' \
  '"Address"="127.0.0.1"' \
  "\"Port\"=dword:$(printf '%08x' "$pop_port")" \
  "\"PortSmtp\"=dword:$(printf '%08x' "$smtp_port")" \
  '"Timeout"=dword:0000001e' \
  '"Delay"=dword:00000000' \
  '"CheckOtherFolders"=dword:00000001' \
  '"CheckBulkFolder"=dword:00000001' \
  '"CheckSentFolder"=dword:00000000' \
  '"ProxyAddress"="127.0.0.1"' \
  "\"ProxyPort\"=dword:$(printf '%08x' "$service_port")" \
  > "$demo/config/Palisandre/Mirelink.reg"

XDG_CONFIG_HOME=$demo/config XDG_RUNTIME_DIR=$demo/run XDG_STATE_HOME=$demo/home-state build/app/mirelink &
gateway=$!
sleep 0.5
kill -0 "$gateway" 2>/dev/null || { echo "The gateway did not start; see $demo/home-state/Palisandre/mirelink.log" >&2; exit 1; }

cat <<INFO

Mirelink is running: POP3 on 127.0.0.1:$pop_port, SMTP on 127.0.0.1:$smtp_port,
in front of the local HTTPMail service on 127.0.0.1:$service_port.

Sample accounts:  alice / wonderland      bob@msn.com / builder

Read mail:
  curl -s pop3://127.0.0.1:$pop_port/ -u alice:wonderland          # list
  curl -s pop3://127.0.0.1:$pop_port/1 -u alice:wonderland         # message 1
Send mail:
  printf 'Subject: hello\r\n\r\nHi Bob\r\n' | curl -s smtp://127.0.0.1:$smtp_port \\
    -u alice:wonderland --mail-from alice@example.com --mail-rcpt bob@example.com -T -
A mail client: POP3 server 127.0.0.1 port $pop_port, SMTP server 127.0.0.1 port
$smtp_port with authentication, user alice, password wonderland.

Settings: $demo/config/Palisandre/Mirelink.reg   Log: $demo/home-state/Palisandre/mirelink.log
Submitted mail: $demo/state/sent/
Press Ctrl-C to stop.
INFO
wait "$gateway"

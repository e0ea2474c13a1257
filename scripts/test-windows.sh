#!/usr/bin/env bash
# The Windows leg of the test suite: builds mirelink.exe and its tests into
# build-win/ (or the folder given) and the Linux programs that the end-to-end
# tests use into build/, then runs every Windows test under Wine in a fresh
# Wine prefix, removed afterwards. Extra arguments go to ctest.
# Wine's output is never piped: its background processes would keep the pipe open.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
shift || true
bash scripts/build-windows.sh "$dir"
bash scripts/build.sh build

prefix=$(mktemp -d "${TMPDIR:-/tmp}/mirelink-wine-XXXXXX")
boot_log="$prefix.boot.log"
# No Gecko or Mono prompts: nothing here needs them.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix" "$boot_log"
}
trap cleanup EXIT
start=$(date +%s)
# mirelink.exe is a window program and there is no X display here: Wine's null
# graphics driver lets it run with its windows unseen. Wine's desktop process
# picks its driver when it starts, so the setting is in the new prefix's user
# registry before Wine first runs there. (The UI tests bring a display and a
# prefix of their own.)
printf '%s\n' 'WINE REGISTRY Version 2' '' '#arch=win64' '' '[Software\\Wine\\Drivers]' \
  '"Graphics"="null"' >"$prefix/user.reg"
# The test discovery runs each test program under Wine: a cold prefix first
# would make it slow enough to time out.
# One Wine server for the whole run: otherwise it ends whenever no Wine
# process is left for a moment, and the next test program waits for a new
# one to start (or meets the old one going).
wineserver -p
wine wineboot -i >"$boot_log" 2>&1 || { cat "$boot_log"; exit 1; }
echo "test-windows: Wine prefix ready in $(( $(date +%s) - start )) s"
ctest --test-dir "$dir" -j2 --output-on-failure "$@"

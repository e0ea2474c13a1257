#!/usr/bin/env bash
# Runs the Windows test programs of build-win/ (or the folder given) under
# Wine, in a fresh Wine prefix that is removed afterwards. Wine's output is
# never piped: its background processes would keep the pipe open.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
shift || true
prefix=$(mktemp -d "${TMPDIR:-/tmp}/mirelink-wine-XXXXXX")
log="$prefix.boot.log"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix" "$log"
}
trap cleanup EXIT
start=$(date +%s)
wine wineboot -i >"$log" 2>&1 || { cat "$log"; exit 1; }
echo "test-windows: Wine prefix ready in $(( $(date +%s) - start )) s"
ctest --test-dir "$dir" -j2 --output-on-failure "$@"

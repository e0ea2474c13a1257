#!/usr/bin/env bash
# Builds the benchmarks in release mode (into build-bench/, or the folder
# given) and prints one table of every figure beside its baseline from the
# same run, the ratio and the target. The programs' own reports are kept in
# <folder>/bench/*.out.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-bench}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRELINK_BENCH=ON -DMIRELINK_TESTS=OFF >/dev/null
ninja -C "$dir" >/dev/null
# The programs save settings and write a log: never the user's own.
home=$(cd "$dir" && pwd)/bench-home
export XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state
python3 bench/table.py "$dir"

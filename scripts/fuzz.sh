#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each in turn. Fails when any target
# finds a crash, a hang, a leak or a broken check.
#
#   bash scripts/fuzz.sh --fixed [TARGET...]        # what CI runs: the same runs on every machine
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]      # random seeds, SECONDS (default 30) each,
#                                                   # e.g. bash scripts/fuzz.sh 600 xml_fuzzer
#
# --fixed replays each target's committed corpus, then fuzzes from seed 1 for
# MIRELINK_FUZZ_RUNS runs (default 50000) with a working corpus that starts
# empty: a number of runs, not a time, so a slow or busy machine does the
# same work. Otherwise each target starts from its committed corpus
# (fuzz/<subsystem>/corpus/<name>/, never written to) and a working corpus
# kept in build-fuzz/fuzz-corpus/<name>, so later runs go on where earlier ones
# stopped, with a new random seed each time. A finding is saved in
# build-fuzz/fuzz-findings/<name>/ and the run's output in build-fuzz/fuzz-logs/.
# MIRELINK_FUZZ_BUILD names another build folder, for a long run beside work
# in build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
fixed=0
if [ "${1:-}" = "--fixed" ]; then
  fixed=1
  shift
  seconds=0
else
  seconds=${1:-30}
  shift || true
fi
runs=${MIRELINK_FUZZ_RUNS:-50000}
build=${MIRELINK_FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIRELINK_FUZZ=ON -DMIRELINK_TESTS=OFF >/dev/null
ninja -C "$build" mirelink_fuzzers >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in "$build"/fuzzbin/*/; do targets+=("$(basename "$dir")"); done
fi

root=$(pwd)
failed=()
for target in "${targets[@]}"; do
  name=${target%_fuzzer}
  program="$root/$build/fuzzbin/${name}_fuzzer/${name}_fuzzer"
  [ -x "$program" ] || { echo "fuzz: no target ${name}_fuzzer" >&2; exit 2; }
  findings="$root/$build/fuzz-findings/$name"
  log="$root/$build/fuzz-logs/$name.log"
  options=(-max_len=16384 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/")
  if [ $fixed -eq 1 ]; then
    work="$root/$build/fuzz-fixed/$name"
    rm -rf "$work"
    # A hang is a finding too, but a busy machine must not make one.
    options+=(-seed=1 -runs="$runs" -timeout=30)
  else
    work="$root/$build/fuzz-corpus/$name"
    options+=(-max_total_time="$seconds" -timeout=10)
  fi
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  seeds=()
  for dir in fuzz/*/corpus/"$name"; do [ -d "$dir" ] && seeds+=("$root/$dir"); done
  for dict in fuzz/*/"$name".dict; do [ -f "$dict" ] && options+=(-dict="$root/$dict"); done

  start=$(date +%s)
  status=0
  # From the program's folder: its log file and any scratch files stay there.
  (cd "$(dirname "$program")" && "$program" "${options[@]}" "$work" "${seeds[@]}") >"$log" 2>&1 ||
    status=$?
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # Coverage and features at the end: how near two fixed runs of one commit came.
  reached=$(sed -n 's/^#[0-9]*[[:space:]]*DONE[[:space:]]*\(cov: [0-9]* ft: [0-9]*\).*/\1/p' "$log" | tail -n 1)
  echo "fuzz: ${name}_fuzzer $(( $(date +%s) - start )) s, ${done_runs:-0} runs${reached:+, $reached}, exit $status"
  if [ "$status" -ne 0 ]; then
    grep -E -A 30 'ERROR:|check failed|SUMMARY' "$log" | head -n 60 >&2 || tail -n 40 "$log" >&2
    failed+=("${name}_fuzzer")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]} (see $build/fuzz-findings/)" >&2
  exit 1
fi

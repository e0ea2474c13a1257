#!/usr/bin/env bash
# The whole test suite, as CI runs it: installs what is needed, then
#   1. builds and runs every Linux test (unit, real peers, end to end),
#   2. builds the Debian package, installs it, serves mail with the installed
#      programs and removes it again,
#   3. runs the Linux tests again under AddressSanitizer with
#      UndefinedBehaviorSanitizer, and under ThreadSanitizer,
#   4. replays each fuzz target's corpus and fuzzes it from a fixed seed for
#      a fixed number of runs (MIRELINK_FUZZ_RUNS, 50000), the same on every
#      machine,
#   5. builds mirelink.exe and runs the Windows tests and the user interface
#      tests under Wine.
# MIRELINK_TEST_LEGS picks legs by name, e.g. "linux windows"; all by default.
set -euo pipefail
cd "$(dirname "$0")/.."
legs=${MIRELINK_TEST_LEGS:-linux package sanitizers fuzz windows}
bash scripts/setup.sh

timings=()
run_leg() {
  local name=$1
  shift
  case " $legs " in *" $name "*) ;; *) return 0 ;; esac
  local start
  start=$(date +%s)
  echo "test: == $name =="
  "$@"
  timings+=("$name $(( $(date +%s) - start )) s")
}

linux() {
  bash scripts/build.sh build
  # Dovecot's imaptest, where its source lies beside the repository.
  local imaptest=../shared/tools/imaptest
  if [ -d "$imaptest" ]; then
    MIRELINK_IMAPTEST_SOURCE=$(cd "$imaptest" && pwd) ctest --test-dir build -j2 --output-on-failure
  else
    ctest --test-dir build -j2 --output-on-failure
  fi
}

run_leg linux linux
run_leg package bash scripts/test-package.sh
run_leg sanitizers bash scripts/test-sanitizers.sh
run_leg fuzz bash scripts/fuzz.sh --fixed
run_leg windows bash scripts/test-windows.sh
echo "test: all passed (${timings[*]/%/;})"

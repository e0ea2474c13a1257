#!/usr/bin/env bash
# The whole test suite again under AddressSanitizer with UndefinedBehaviorSanitizer,
# and under ThreadSanitizer. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
which=${1:-all}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
if [ "$which" = all ] || [ "$which" = address ]; then
  bash scripts/build.sh build-asan -DMIRELINK_SANITIZE=address
  ctest --test-dir build-asan -j2 --output-on-failure
fi
if [ "$which" = all ] || [ "$which" = thread ]; then
  bash scripts/build.sh build-tsan -DMIRELINK_SANITIZE=thread
  ctest --test-dir build-tsan -j2 --output-on-failure
fi

#!/usr/bin/env bash
# The whole test suite: installs what is needed, builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
ctest --test-dir build -j2 --output-on-failure

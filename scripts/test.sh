#!/bin/sh
# Builds the test configuration (sanitizers on) and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/check_layers.sh
scripts/setup.sh test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/test --output-on-failure -j "$(nproc)" --timeout 300
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh short
fi

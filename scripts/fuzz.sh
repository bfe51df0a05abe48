#!/bin/sh
# Builds the fuzz configuration and runs the RAR fuzz target on a copy of
# the RAR fixtures, failing on a finding (its input lands in
# build/fuzz/artifacts/).
#   scripts/fuzz.sh short           about 60 seconds (CI)
#   scripts/fuzz.sh long [seconds]  longer (default 1200), keeping the grown
#                                   corpus in build/fuzz/corpus-rar
set -eu
cd "$(dirname "$0")/.."
mode="${1:-short}"
case "$mode" in
  short) seconds=60 ;;
  long) seconds="${2:-1200}" ;;
  *) echo "usage: $0 short | long [seconds]" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
# Only the fuzz target: it compiles its own few sources.
cmake --build build/fuzz --target rar_fuzzer

if [ "$mode" = long ]; then
  corpus=build/fuzz/corpus-rar
  mkdir -p "$corpus"
else
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT INT TERM
fi
cp tests/fixtures/archives/rar/*.rar tests/fixtures/archives/rar/*.cbr "$corpus"/
mkdir -p build/fuzz/artifacts

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
build/fuzz/fuzz/rar_fuzzer -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ "$corpus"

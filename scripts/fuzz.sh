#!/bin/sh
# Builds the fuzz configuration and runs every fuzz target on a copy of its
# seeds (the fixtures, the embedded resources and fuzz/seeds/), failing on
# the first finding (its input lands in build/fuzz/artifacts/).
#   scripts/fuzz.sh short           each target 9 seconds (RAR 30), about
#                                   two minutes in all (CI)
#   scripts/fuzz.sh long [seconds]  each target for `seconds` (default 600),
#                                   keeping the grown corpora in
#                                   build/fuzz/corpus-<target>
#   scripts/fuzz.sh short zip cud   some targets only
set -eu
cd "$(dirname "$0")/.."
mode="${1:-short}"
[ $# -gt 0 ] && shift
case "$mode" in
  short) seconds=9 ;;
  long) seconds=600
        case "${1:-}" in
          [0-9]*) seconds=$1; shift ;;
        esac ;;
  *) echo "usage: $0 short | long [seconds] [target...]" >&2; exit 2 ;;
esac
targets="${*:-rar zip manifest xml_path config theme cud language maintenance bus_records command_line download_task}"

cmake --preset fuzz >/dev/null
build_targets=""
for t in $targets; do build_targets="$build_targets ${t}_fuzzer"; done
# Only the fuzz targets: they compile their own few sources.
# shellcheck disable=SC2086
cmake --build build/fuzz --target $build_targets

shared=../shared/fixtures/archives
# Copies the seeds of target $1 into folder $2.
seed() {
  case "$1" in
    rar) cp tests/fixtures/archives/rar/*.rar tests/fixtures/archives/rar/*.cbr "$2"/
         [ -d "$shared/rar" ] && cp "$shared"/rar/*.rar "$shared"/rar/*.cbr "$2"/ 2>/dev/null || true ;;
    zip) cp tests/fixtures/archives/zip/*.zip "$2"/ ;;
    manifest) cp tests/fixtures/archives/zip/stored.zip "$2"/ ;;
    config) cp resources/zip/config.xml "$2"/config.xml
            { cat resources/zip/config.xml; printf '\000'; cat resources/zip/theme_kvxm/config.xml; } >"$2"/both.xml ;;
    theme) cp resources/zip/theme_kvxm/config.xml "$2"/theme.xml ;;
    language) cp resources/strings/stringtable_launcher_en_english.txt resources/strings/stringtable_launcher_el_greek.txt "$2"/ ;;
  esac
  if [ -d "fuzz/seeds/$1" ]; then cp fuzz/seeds/"$1"/* "$2"/; fi
}

mkdir -p build/fuzz/artifacts
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for t in $targets; do
  if [ "$mode" = long ]; then
    corpus=build/fuzz/corpus-$t
  else
    corpus=$scratch/$t
  fi
  mkdir -p "$corpus"
  seed "$t" "$corpus"
  time=$seconds
  # The RAR target decodes its large seeds slowly: the short run gives it more.
  [ "$mode" = short ] && [ "$t" = rar ] && time=30
  echo "== $t (${time}s)"
  build/fuzz/fuzz/${t}_fuzzer -max_total_time="$time" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$t"- "$corpus" 2>"$scratch/$t.log" || {
    tail -n 60 "$scratch/$t.log"
    exit 1
  }
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov: ' "$scratch/$t.log" | tail -n 3
done

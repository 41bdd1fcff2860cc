#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with Clang in build-fuzz and runs each
# in turn, starting from its committed seeds; stops with a failure at the
# first crash, leak, sanitizer report or failed check, and leaves the input
# that caused it in build-fuzz/crashes/.
#
#   scripts/fuzz.sh            each target for 10 minutes (local runs)
#   scripts/fuzz.sh --smoke    each target for 30 seconds (scripts/test.sh)
#   scripts/fuzz.sh SECONDS    each target for that long
#
# What the runs find is kept in build-fuzz/corpus/ and used again next time.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
if [[ ${1:-} == --smoke ]]; then
  seconds=30
elif [[ -n ${1:-} ]]; then
  seconds=$1
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DSCANBRIDGE_FUZZ=ON -DSCANBRIDGE_TESTS=OFF -DSCANBRIDGE_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p build-fuzz/crashes
for target in websocket_reader http_request command_parse; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  echo "fuzz: ${target}_fuzz for ${seconds} s"
  log=build-fuzz/$target.log
  # -timeout: an input that takes this long counts as a hang, i.e. a fault.
  if ! build-fuzz/fuzz/${target}_fuzz -max_total_time="$seconds" -timeout=10 \
      -artifact_prefix="build-fuzz/crashes/$target-" -print_final_stats=1 \
      "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: ${target}_fuzz failed (whole output in $log)" >&2
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
done

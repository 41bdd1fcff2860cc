#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them all (or those matching the
# filter given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCANBRIDGE_TESTS=OFF \
    -DSCANBRIDGE_BENCH=ON >/dev/null
cmake --build build-bench
for program in $(find build-bench/bench -type f -executable -name "bench_*" | sort); do
    [[ -x "$program" ]] || continue
    echo "== $program"
    "$program" --benchmark_filter="${1:-.}"
done

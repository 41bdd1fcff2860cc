#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them all; arguments are passed to
# every Google Benchmark program (e.g. --benchmark_filter=Base64).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCANBRIDGE_SANITIZE=OFF \
    -DSCANBRIDGE_TESTS=ON -DSCANBRIDGE_BENCH=ON >/dev/null
cmake --build build-bench --target benchmarks
for program in $(find build-bench/bench -type f -executable -not -path '*/CMakeFiles/*' | sort); do
    echo "== $program"
    "$program" "$@"
done

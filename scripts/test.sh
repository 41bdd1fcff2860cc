#!/usr/bin/env bash
# Installs what is missing, builds everything with Clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the build also checks the lock annotations:
# -Wthread-safety, any finding an error), and runs every test with CTest.
# Then runs the tests that involve threads once more under ThreadSanitizer
# (scripts/tsan-tests.sh), runs the fuzz targets briefly, and builds the
# Debian package and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
export CC=clang CXX=clang++
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DSCANBRIDGE_SANITIZE=ON -DSCANBRIDGE_TESTS=ON -DSCANBRIDGE_BENCH=ON >/dev/null
cmake --build build-test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-test --output-on-failure -j "$(nproc)" "$@"
unset ASAN_OPTIONS UBSAN_OPTIONS

scripts/tsan-tests.sh

# The fuzz targets, built with Clang in their own tree, each for a short
# run from its seeds; a crash or failed check fails the run.
scripts/fuzz.sh --smoke

# The package comes from its own Release build without sanitizers (a
# sanitized binary would pull the sanitizer runtimes into its dependencies),
# so it is checked here, after CTest, rather than as a CTest test of the
# sanitized tree: only the service's targets are built, once per run.
unset CC CXX
scripts/package.sh
python3 tests/package/package_test.py build/scanbridge_*.deb build

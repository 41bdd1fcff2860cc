#!/usr/bin/env bash
# Runs the tests that involve threads under ThreadSanitizer: the pump, locks
# and sockets, scans of the virtual and the SANE driver, the generation-2 and
# generation-1 back ends' scan paths, and the service's connections and scans
# end to end (the service itself built with ThreadSanitizer). Any report fails
# the run. Only the targets these tests need are built, in build-tsan.
set -euo pipefail
cd "$(dirname "$0")/.."

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DSCANBRIDGE_TSAN=ON -DSCANBRIDGE_TESTS=ON \
    -DSCANBRIDGE_BENCH=OFF >/dev/null

# binary (under build-tsan/tests) and the tests of it that run here
runs=(
  "platform/base/platform_base_tests:*"
  "platform/driver/platform_driver_tests:*"
  "platform/driver/sane/platform_sane_driver_tests:*"
  "ver_1/ver_1_unit_tests:ManagerV1Test.*"
  "ver_2/ver_2_unit_tests:ScanPipeline.*:OrderedPipeline.*"
  "ver_2/ver_2_e2e_tests:*"
  "service/service_e2e_tests:WebSocketEndpoint.*:ServiceProcessTest.*"
)
targets=(scanbridge)
for run in "${runs[@]}"; do
  binary=${run%%:*}
  targets+=("${binary##*/}")
done
cmake --build build-tsan --target "${targets[@]}"

# halt_on_error stops a process at its first report and exitcode makes that
# a failure even where a report comes at exit; the services the end-to-end
# tests start inherit the options, and the tests require their exit status 0.
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
failed=0
for run in "${runs[@]}"; do
  binary=${run%%:*}
  filter=${run#*:}
  echo "== ThreadSanitizer: $binary --gtest_filter=$filter"
  if ! "build-tsan/tests/$binary" --gtest_filter="$filter" --gtest_brief=1; then
    echo "FAILED under ThreadSanitizer: $binary"
    failed=1
  fi
done
exit "$failed"

#!/usr/bin/env bash
# Builds the Debian package build/scanbridge_<version>_<arch>.deb: a Release
# build of the service (and its SANE worker) installed under /usr, with the
# systemd user unit and the shared files. Install it with
#   apt-get install ./build/scanbridge_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCANBRIDGE_TESTS=OFF \
    -DSCANBRIDGE_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
# Without tests and benchmarks, everything left is the service's own targets.
cmake --build build
rm -f build/scanbridge_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/scanbridge_*.deb

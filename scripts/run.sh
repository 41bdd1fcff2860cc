#!/usr/bin/env bash
# Installs what is missing, builds a Release binary and runs the service in
# the foreground with the virtual scanner (SCANBRIDGE_DRIVER=virtual; with a
# real scanner run SCANBRIDGE_DRIVER=sane build/scanbridge instead). Stop it
# with Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCANBRIDGE_TESTS=OFF >/dev/null
cmake --build build --target scanbridge scanbridge-sane

config_dir="${SCANBRIDGE_CONFIG_DIR:-${XDG_CONFIG_HOME:-$HOME/.config}/scanbridge}"
echo "ScanBridge: configuration in $config_dir/; scanner driver: the virtual scanner (SCANBRIDGE_DRIVER=virtual)."
echo "ScanBridge: with a real scanner, run SCANBRIDGE_DRIVER=sane build/scanbridge instead (see README)."
echo "ScanBridge: listening on every IPv4 interface; generation 2 (default) serves ws://127.0.0.1:38999/"
echo "ScanBridge: (generation 1 serves http://127.0.0.1:18999/VevIzer/ and Socket.IO on 28999)."
echo "ScanBridge: each port it opens is logged below as 'open webserver success, port=N'."
export SCANBRIDGE_DRIVER=virtual
exec build/scanbridge

#!/usr/bin/env bash
# Installs what is missing, builds a Release binary and runs the service in
# the foreground with the virtual scanner. Stop it with Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCANBRIDGE_TESTS=OFF >/dev/null
cmake --build build --target scanbridge

config_dir="${SCANBRIDGE_CONFIG_DIR:-${XDG_CONFIG_HOME:-$HOME/.config}/scanbridge}"
echo "ScanBridge: configuration in $config_dir/, virtual scanner unless config.ini [driver] name says otherwise."
port=$(sed -n '/^\[connect\]/,/^\[/s/^port *= *\([0-9]*\).*/\1/p' "$config_dir/config2.ini" 2>/dev/null | head -n 1 || true)
port="${port:-38999}"
echo "ScanBridge: listening on this machine's loopback addresses; generation 2 (default) serves ws://127.0.0.1:$port/"
echo "ScanBridge: demo page: open http://127.0.0.1:$port/ in a browser on this machine."
echo "ScanBridge: (generation 1 serves http://127.0.0.1:18999/VevIzer/ and Socket.IO on 28999)."
echo "ScanBridge: each port it opens is logged below as 'open webserver success, port=N'."
exec build/scanbridge

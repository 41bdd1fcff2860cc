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
port=$(sed -n '/^\[connect\]/,/^\[/s/^port *= *\([0-9]*\).*/\1/p' "$config_dir/config2.ini" 2>/dev/null | head -n 1 || true)
port="${port:-38999}"
echo "ScanBridge: demo page (generation 2): open http://127.0.0.1:$port/ in a browser on this machine."
# The service itself says where it listens (config.ini and config2.ini decide).
echo "ScanBridge: the addresses it serves are in its start-up line below:"
echo "ScanBridge:   'scanbridge <version> generation <N> driver <name> listening on <address>:<port>'"
export SCANBRIDGE_DRIVER=virtual
exec build/scanbridge

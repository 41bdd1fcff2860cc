#!/usr/bin/env bash
# The client's checks, run by CTest: the locked dev dependencies (TypeScript,
# the ws WebSocket for Node), the type declarations, then the tests against
# the service named by SCANBRIDGE_EXE.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ! -d node_modules ]] || ! npm ls --silent >/dev/null 2>&1; then
  npm ci --no-audit --no-fund --prefer-offline
fi
npx --no-install tsc --noEmit -p .
node --test test/scanbridge.test.mjs test/demo.test.mjs

#!/usr/bin/env bash
# The browser room's tests: the page's types, the wasm core against the native quillan-cli
# (build/ must hold the native build), then the page in headless Chromium.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup-web.sh"
"$here/build-web.sh"
cd "$here/.."
# The page's TypeScript, type-checked strictly (esbuild only strips types).
(cd web && npx tsc --noEmit -p .)
node web/test/core_vs_native.mjs build/cli/quillan-cli build-wasm/web/quillan-web.js "${QUILLAN_WEB_COMPARE_COUNT:-300}"
cd web
QUILLAN_CLI=../build/cli/quillan-cli npx playwright test

#!/usr/bin/env bash
# Builds the browser site into web/dist: the core compiled to WebAssembly
# (the "wasm" preset, build-wasm/) and the page bundled by esbuild (npm ci).
set -euo pipefail
cd "$(dirname "$0")/.."
# The emscripten package's tools need Debian's node modules (acorn).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "$(nproc)"
cd web
[ -d node_modules ] || npm ci --no-audit --no-fund
node build.mjs ../build-wasm/web

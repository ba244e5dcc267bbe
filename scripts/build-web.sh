#!/usr/bin/env bash
# Builds the browser site into web/dist: the core compiled to WebAssembly
# (the "wasm" preset, build-wasm/), the desktop's cell pictures as one strip
# (a native tool of the default preset) and the page bundled by esbuild (npm ci).
set -euo pipefail
cd "$(dirname "$0")/.."
# The emscripten package's tools need Debian's node modules (acorn).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "$(nproc)"
# The matrix and LED pictures, drawn by the desktop's own code (native, Qt)
# into one strip the page shows them from.
(
  . scripts/ccache-env.sh
  cmake --preset default >/dev/null
  cmake --build --preset default --target quillan-picture-strip >/dev/null
)
QT_QPA_PLATFORM=offscreen build/app/quillan-picture-strip build-wasm/web/pictures.png 32
cd web
# Installed again when the lock file changed since the last install.
[ node_modules/.package-lock.json -nt package-lock.json ] || npm ci --no-audit --no-fund
node build.mjs ../build-wasm/web

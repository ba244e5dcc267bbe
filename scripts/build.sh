#!/usr/bin/env bash
# Configures and builds Quillan in build/ (the "default" preset). With ccache
# on the machine, compiles go through it; paths are taken relative to the
# checkout so that several checkouts share one cache.
set -euo pipefail
cd "$(dirname "$0")/.."
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

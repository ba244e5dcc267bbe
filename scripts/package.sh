#!/usr/bin/env bash
# Installs what is missing, builds the two programs in Release (build-release/,
# no tests, no benchmarks) and makes the Debian package
# build-release/quillan_<version>_<arch>.deb; prints its path last.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
cd "$here/.."
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
fi
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
rm -f build-release/quillan_*.deb
(cd build-release && cpack -G DEB >/dev/null)
ls build-release/quillan_*.deb

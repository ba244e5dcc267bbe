#!/usr/bin/env bash
# Installs what is missing, builds the two programs in Release (build-release/,
# no tests, no benchmarks) and makes the Debian package
# build-release/quillan_<version>_<arch>.deb; prints its path last.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
cd "$here/.."
. scripts/ccache-env.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
rm -f build-release/quillan_*.deb
(cd build-release && cpack -G DEB >/dev/null)
ls build-release/quillan_*.deb

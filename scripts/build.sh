#!/usr/bin/env bash
# Configures and builds Quillan in build/ (the "default" preset), through
# ccache where it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ccache-env.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

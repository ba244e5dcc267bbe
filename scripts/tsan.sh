#!/usr/bin/env bash
# Builds the core under ThreadSanitizer (build-tsan/, the "tsan" preset) and
# runs the tests labelled "parallel": the production stations, whose
# workers program several simulated keyboards at once.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ccache-env.sh
cmake --preset tsan >/dev/null
targets=$(ctest --test-dir build-tsan -L parallel -N | sed -n 's/^ *Test *#[0-9]*: //p')
cmake --build --preset tsan -j "$(nproc)" --target ${targets}
ctest --preset tsan -j "$(nproc)"

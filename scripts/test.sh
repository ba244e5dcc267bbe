#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and GUI
# tests (CTest, offscreen Qt), the parallel tests under ThreadSanitizer
# (only their targets are built), the browser room's tests (the WebAssembly
# core against the native build, the page in headless Chromium), the fuzzers
# for a bounded time, the
# real-kernel HID test, and the Debian package's checks.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
"$here/build.sh"
cd "$here/.."
QT_QPA_PLATFORM=offscreen ctest --preset default -j "$(nproc)"
"$here/tsan.sh"
"$here/test-web.sh"
"$here/fuzz.sh"
if [ -x tests/kernel/run.sh ]; then
  tests/kernel/run.sh
fi
"$here/package-check.sh"

#!/usr/bin/env bash
# Installs the Debian 12 packages the browser build needs: the emscripten
# toolchain for the WebAssembly core, nodejs (which carries npm) for the
# page's bundler and browser tests, and chromium for those tests. Debian's
# separate npm package conflicts with nodejs and is never installed. Safe to
# run again.
set -euo pipefail
. "$(dirname "$0")/install-missing.sh"
packages=(emscripten chromium)
command -v node >/dev/null 2>&1 || packages+=(nodejs)
install_missing "${packages[@]}"

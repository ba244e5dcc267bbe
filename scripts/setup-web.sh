#!/usr/bin/env bash
# Installs the Debian 12 packages the browser build needs: the emscripten
# toolchain for the WebAssembly core, node (which carries npm here) for the
# page's bundler and browser tests, and chromium for those tests. Debian's
# separate npm package conflicts with the nodejs build on some machines, so
# it is installed only when no npm is present at all. Safe to run again.
set -euo pipefail
packages=(emscripten chromium)
command -v node >/dev/null 2>&1 || packages+=(nodejs)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends npm
fi

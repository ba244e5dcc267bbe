#!/usr/bin/env bash
# Installs the Debian 12 packages Quillan needs to build, test and run.
# Installs only what is missing; safe to run again.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libhidapi-dev libgtest-dev libgmock-dev
          clang libclang-rt-14-dev xvfb xauth
          ccache dpkg-dev file lintian desktop-file-utils appstream man-db groff-base
          nlohmann-json3-dev)
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

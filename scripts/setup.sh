#!/usr/bin/env bash
# Installs the Debian 12 packages Quillan needs to build, test and run.
# Installs only what is missing; safe to run again.
set -euo pipefail
. "$(dirname "$0")/install-missing.sh"
install_missing cmake g++ make pkg-config qt6-base-dev libhidapi-dev libgtest-dev libgmock-dev \
  clang libclang-rt-14-dev xvfb xauth \
  ccache dpkg-dev file lintian desktop-file-utils appstream man-db groff-base \
  nlohmann-json3-dev

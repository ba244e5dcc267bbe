#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application. Without a
# display it runs under Xvfb. Extra arguments go to quillan (for example
# --simulate keyboard-100B to try every command without a keyboard).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
"$here/build.sh"
cd "$here/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a build/app/quillan "$@"
fi
exec build/app/quillan "$@"

#!/usr/bin/env bash
# Builds the browser site and serves it on http://localhost:8080 (WebHID
# needs a secure context: localhost is one; elsewhere host it over HTTPS).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup-web.sh"
"$here/build-web.sh"
exec node "$here/../web/serve.mjs" "$here/../web/dist" "${PORT:-8080}"

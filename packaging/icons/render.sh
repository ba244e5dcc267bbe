#!/usr/bin/env bash
# Renders the committed PNG icons from io.github.quillan.Quillan.svg; run it
# after changing the SVG. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" io.github.quillan.Quillan.svg \
    -o "${size}x${size}/io.github.quillan.Quillan.png"
done

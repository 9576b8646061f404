#!/usr/bin/env bash
# Renders the PNG sizes of the icon from tamberlin.svg; run it after changing the SVG and commit
# the PNGs (the build does not need an SVG renderer). Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tamberlin.svg -o "tamberlin-$size.png"
done

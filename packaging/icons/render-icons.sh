#!/bin/sh
# Renders the committed PNG icons from tessara.svg (needs rsvg-convert, package librsvg2-bin).
# Run after changing the drawing; the build installs the committed files and needs no renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tessara.svg -o "tessara-$size.png"
done

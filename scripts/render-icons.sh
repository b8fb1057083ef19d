#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG. The PNGs are
# committed; run this after changing the SVG (needs rsvg-convert, librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 22 24 32 48 64 128 256 512; do
  rsvg-convert --width "$size" --height "$size" org.pellora.Pellora.svg --output "org.pellora.Pellora-$size.png"
done

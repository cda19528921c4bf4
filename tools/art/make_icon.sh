#!/usr/bin/env bash
# Renders the program's icon (data/icons/vidora3gp.svg) into the PNG sizes the
# desktop's icon theme takes: data/icons/48/, 128/ and 256/vidora3gp.png.
# The PNGs are kept in the repository, so an ordinary build needs no SVG tool.
# Needs rsvg-convert (Debian: librsvg2-bin).
# Usage: tools/art/make_icon.sh
set -euo pipefail
icons=$(cd "$(dirname "$0")/../../data/icons" && pwd)
for size in 48 128 256; do
  mkdir -p "$icons/$size"
  rsvg-convert --width "$size" --height "$size" "$icons/vidora3gp.svg" --output "$icons/$size/vidora3gp.png"
done

#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the 32 px PNG from the SVG. The PNG is kept in the tree so that a
# build needs no SVG renderer; run this again after editing the SVG.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
svg="$here/orva-control.svg"
png="$here/orva-control-32.png"

if command -v rsvg-convert >/dev/null 2>&1; then
    # librsvg draws the SVG itself, so edges come out as in a browser.
    rsvg-convert --width 32 --height 32 --keep-aspect-ratio --output "$png.tmp" "$svg"
elif command -v convert >/dev/null 2>&1; then
    # ImageMagick rasterises at a high density first, then scales down, so
    # thin shapes don't vanish.
    convert -background none -density 384 "$svg" -resize 32x32 -strip "PNG32:$png.tmp"
else
    echo "render.sh: needs rsvg-convert (librsvg2-bin) or convert (imagemagick)" >&2
    exit 1
fi
mv "$png.tmp" "$png"
echo "wrote $png"

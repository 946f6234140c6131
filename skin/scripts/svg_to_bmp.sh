#!/usr/bin/env bash
# Draws an SVG into a 24-bit BMP (the skin's image format): rsvg-convert renders
# it, ImageMagick writes it without alpha. With --mask the result is made purely
# black and white, since only pure white is outside a window's shape.
set -euo pipefail
mask=0
if [ "${1:-}" = "--mask" ]; then mask=1; shift; fi
[ $# -eq 2 ] || { echo "usage: svg_to_bmp.sh [--mask] IN.svg OUT.bmp" >&2; exit 2; }
in=$1 out=$2
tmp=$(mktemp --suffix=.png)
trap 'rm -f "$tmp"' EXIT
rsvg-convert -o "$tmp" "$in"
if [ $mask -eq 1 ]; then
  convert "$tmp" -background white -alpha remove -alpha off -colorspace gray -threshold 50% \
          -colorspace sRGB -type TrueColor "BMP3:$out"
else
  convert "$tmp" -background black -alpha remove -alpha off -type TrueColor "BMP3:$out"
fi

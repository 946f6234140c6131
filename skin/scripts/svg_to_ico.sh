#!/usr/bin/env bash
# Draws an SVG into a Windows icon file with 16, 32 and 48 pixel images:
# rsvg-convert renders each size, ImageMagick joins them.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: svg_to_ico.sh IN.svg OUT.ico" >&2; exit 2; }
in=$1 out=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 32 48; do
  rsvg-convert -w $size -h $size -o "$tmp/$size.png" "$in"
done
convert "$tmp/16.png" "$tmp/32.png" "$tmp/48.png" "$out"

#!/usr/bin/env bash
# Draws the program icon for the desktop's icon theme, packaging/icons/<size>.png:
# picture 153 of scripts/draw-pictures.sh (same drawing, same colours) drawn at
# 256 px and scaled down from there, since a 64 px drawing blown up to 256 would
# be blurred. Run by hand after changing that drawing; the PNGs are committed.
set -euo pipefail
out=$(dirname "$0")/icons
mkdir -p "$out"
navy='#1f4f8f'
light='#5c9be0'
S=4
sc="scale $S,$S"
big="$out/256.png"
convert -size 256x256 gradient:"$light"-"$navy" \
  \( -size 256x256 xc:black -fill white -draw "$sc roundrectangle 2,2 61,61 12,12" \) \
  -alpha off -compose CopyOpacity -composite -compose Over \
  -fill white -draw "$sc roundrectangle 10,20 40,46 5,5" \
  -draw "$sc polygon 40,28 54,20 54,46 40,38" \
  -fill "$navy" -draw "$sc circle 25,33 25,27" \
  -fill '#9fd0ff' -draw "$sc circle 25,33 25,30" \
  -strip "PNG32:$big"
for size in 16 24 32 48 64 128; do
  convert "$big" -filter Lanczos -resize "${size}x${size}" -strip "PNG32:$out/$size.png"
done

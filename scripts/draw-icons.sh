#!/usr/bin/env bash
# Draws the program's icons with ImageMagick: MAINICON, a teal shield with a
# white tick, and WORKICON, the same shield in amber with a sweeping broom
# stroke, shown while a clean-up runs. Sizes 16, 32 and 48.
set -eu
out=$(cd "$(dirname "$0")/../resources/images" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
draw() {  # name fill mark [filled-shape]
  local name=$1 fill=$2 mark=$3
  convert -size 256x256 xc:none \
    -fill "$fill" -stroke '#0b2f3a' -strokewidth 10 \
    -draw "path 'M 128,14 L 228,52 C 228,140 196,206 128,242 C 60,206 28,140 28,52 Z'" \
    -fill none -stroke white -strokewidth 26 -draw "$mark" \
    -fill white -stroke white -strokewidth 4 -draw "${4:-point 0,0}" \
    "$tmp/$name.png"
  for s in 16 32 48; do convert "$tmp/$name.png" -resize ${s}x${s} "$tmp/$name-$s.png"; done
  convert "$tmp/$name-16.png" "$tmp/$name-32.png" "$tmp/$name-48.png" "$out/$name.ico"
}
draw mainicon '#1a9c8f' "stroke-linecap round stroke-linejoin round polyline 78,128 114,166 182,90"
# A broom: the handle, and the bristles as a filled fan.
draw workicon '#e0a020' "stroke-linecap round line 178,62 124,140" "polygon 104,128 146,158 122,204 66,190 70,176"
# The toolbar button (BUTTON): the main icon's 16-pixel image on the toolbar's
# grey, as a 24-bit bitmap.
convert "$out/mainicon.ico[0]" -background '#f0f0f0' -flatten -type TrueColor BMP3:"$out/button.bmp"

#!/usr/bin/env bash
# Draws the four question-dialog banners with ImageMagick: 460 x 140 JPEGs
# with the product's teal shield, a sign for the question, the product name
# and a headline. Written to resources/banners/ (resource type 23 in
# resources/dialog_resources.rc).
set -eu
out=$(cd "$(dirname "$0")/../resources/banners" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

bold=DejaVu-Sans-Bold
regular=DejaVu-Sans
teal='#1a9c8f'

# The backdrop shared by all four: a dark teal gradient, a soft light from
# the upper left, a faint grid of the product's shield line, a teal rule.
convert -size 140x460 gradient:'#0a2630-#13656a' -rotate -90 "$tmp/grad.png"
convert -size 460x140 xc:none -fill 'rgba(255,255,255,0.10)' \
  -draw "ellipse 90,10 230,120 0,360" -blur 0x18 "$tmp/glow.png"
convert -size 460x140 xc:none -stroke 'rgba(255,255,255,0.05)' -strokewidth 1 \
  -draw "line 300,0 460,110" -draw "line 330,0 460,90" -draw "line 360,0 460,70" \
  -draw "line 270,140 460,10" "$tmp/lines.png"
convert "$tmp/grad.png" "$tmp/glow.png" -composite "$tmp/lines.png" -composite \
  -fill "$teal" -draw "rectangle 0,135 460,140" \
  -fill 'rgba(255,255,255,0.25)' -draw "rectangle 0,134 460,134" "$tmp/back.png"

# The shield (the product icon's outline) at the left, 96 px high.
shield="path 'M 70,18 L 114,34 C 114,78 100,108 70,124 C 40,108 26,78 26,34 Z'"
convert -size 460x140 xc:none \
  -fill 'rgba(0,0,0,0.35)' -draw "translate 3,4 $shield" -blur 0x3 \
  "$tmp/shadow.png"
convert -size 460x140 xc:none \
  -fill "$teal" -stroke '#e8fbf8' -strokewidth 3 -draw "$shield" \
  -stroke none -fill 'rgba(255,255,255,0.18)' \
  -draw "path 'M 70,22 L 110,37 C 110,56 107,70 101,82 L 70,82 Z'" \
  "$tmp/shield.png"

banner() {  # name headline subline sign-drawing-arguments...
  local name=$1 headline=$2 subline=$3
  shift 3
  convert "$tmp/back.png" "$tmp/shadow.png" -composite "$tmp/shield.png" -composite \
    -fill none -stroke white -strokewidth 6 \
    -draw "stroke-linecap round stroke-linejoin round" "$@" \
    -stroke none -fill '#7fe0d4' -font "$bold" -pointsize 12 -kerning 3 \
    -annotate +142+38 'SENTROVA' \
    -fill white -font "$bold" -pointsize 21 -kerning 0 -annotate +142+72 "$headline" \
    -fill '#cfeeea' -font "$regular" -pointsize 12 -annotate +142+98 "$subline" \
    -quality 92 -sampling-factor 4:2:0 -strip "$out/$name.jpg"
}

lines='stroke-linecap round stroke-linejoin round'
# Restore: a circular arrow.
banner askrestore 'Security settings alert' 'Put back the browser settings you trusted.' \
  -draw "$lines path 'M 59,58 A 19,19 0 1 0 86,64'" \
  -stroke none -fill white -draw "polygon 48,52 66,50 58,66" -fill none -stroke white
# Home page: a house.
banner askhomepage 'Home page guard' 'Keep the start page you chose.' \
  -draw "$lines polyline 46,74 70,52 94,74" -draw "$lines polyline 54,68 54,96 86,96 86,68" \
  -draw "$lines line 70,96 70,82"
# Close the browser: a browser window with a cross.
banner askcloseie 'Close the browser' 'Locked items are freed when the browser closes.' \
  -strokewidth 5 -draw "$lines roundrectangle 46,52 94,94 4,4" -draw "$lines line 46,63 94,63" \
  -draw "$lines line 62,71 78,87" -draw "$lines line 78,71 62,87"
# Clean up after restart: a clock.
banner askschedule 'Clean up after restart' 'Finish the clean-up when Windows starts again.' \
  -draw "$lines circle 70,74 70,52" -draw "$lines polyline 70,60 70,74 81,81"

identify "$out"/*.jpg

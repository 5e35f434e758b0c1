#!/usr/bin/env bash
# Draws the three tree-line images of the security settings page with
# ImageMagick, as small transparent GIFs in resources/pages/:
#   tree_loop.gif      a branch that goes on below (vertical line, branch to the right)
#   tree_lastdots.gif  the last branch of a group (line from the top, branch to the right)
#   dots_of_tree.gif   one tile of the vertical line, repeated down beside a wrapped label
# A row of the tree is 20 pixels high; the line runs at x = 7 in a 16-pixel column
# and the branch at y = 9, the middle of the label's first line.
set -eu
out=$(cd "$(dirname "$0")/../resources/pages" && pwd)
line='#9aa7b4'
# Dotted lines: every other pixel, like the tree of a Windows settings list.
dots_v() {  # x y0 y1: one drawing text of points down a column
  local y; for ((y = $2; y <= $3; y += 2)); do printf 'point %d,%d ' "$1" "$y"; done
}
dots_h() {  # y x0 x1: the same along a row
  local x; for ((x = $2; x <= $3; x += 2)); do printf 'point %d,%d ' "$x" "$1"; done
}
convert -size 16x20 xc:none -fill "$line" -draw "$(dots_v 7 1 19) $(dots_h 9 9 15)" "$out/tree_loop.gif"
convert -size 16x20 xc:none -fill "$line" -draw "$(dots_v 7 1 9) $(dots_h 9 9 15)" "$out/tree_lastdots.gif"
convert -size 16x2 xc:none -fill "$line" -draw "$(dots_v 7 1 1)" "$out/dots_of_tree.gif"

#!/usr/bin/env bash
# Screenshots of the product's four question dialogs as Wine draws them:
# runs build/win64/bin/ask_showcase.exe for each question on a private Xvfb
# display and prefix, grabs the screen with ImageMagick's `import` once the
# window is up and cuts the window out. Writes docs/screenshots/ask-*.png.
# Then the three settings pages at 450 x 470 in headless Chromium, read from
# the built sentrova.exe: docs/screenshots/settings-*.png.
#   scripts/take-screenshots.sh        (after scripts/build win64)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/win64/bin
out=$top/docs/screenshots
root=$top/build/win64/wine-shots
[ -x "$bin/ask_showcase.exe" ] || { echo "build first: scripts/build win64" >&2; exit 1; }
mkdir -p "$out" "$root"

fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 num <"$fifo"; rm -f "$fifo"
export DISPLAY=:$num
finish() {
  WINEPREFIX=$root/prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true
}
trap finish EXIT

# The launcher sets the prefix up with Wine's own fonts.
"$top/scripts/wine-run" --root "$root" --timeout 120 cmd /c exit >/dev/null 2>&1 || true

shoot() {  # question caption
  local which=$1 caption=$2 geometry= i
  "$top/scripts/wine-run" --root "$root" --timeout 120 "$bin/ask_showcase.exe" "$which" 8 \
    >/dev/null 2>&1 &
  local run=$!
  for i in $(seq 1 150); do
    # The X window exists before it gets its size: wait for the dialog's
    # width of 530 pixels.
    geometry=$(xwininfo -root -tree | grep -F "\"$caption\"" |
               sed -nE 's/.* (530x[0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1+\2+\3/p' | head -n 1)
    [ -n "$geometry" ] && break
    sleep 0.2
  done
  if [ -z "$geometry" ]; then echo "no window for $which" >&2; wait "$run" || true; return 1; fi
  sleep 1.5  # let it paint
  import -window root "$out/.full.png"
  convert "$out/.full.png" -crop "$geometry" +repage "$out/ask-$which.png"
  rm -f "$out/.full.png"
  wait "$run" || true
  echo "$out/ask-$which.png ($geometry)"
}

shoot restore "Sentrova - Security Settings Changed"
shoot homepage "Sentrova - Homepage Change Alert!"
shoot closeie "Sentrova - Clean Up"
shoot schedule "Sentrova - Clean Up"

/usr/bin/python3 "$top/tests/web/settings_pages_test.py" "$bin/sentrova.exe" --shots "$out"
ls "$out"/settings-*.png

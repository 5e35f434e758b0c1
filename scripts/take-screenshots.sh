#!/usr/bin/env bash
# Screenshots of the product's four question dialogs and of the Customize
# Cookies dialog and the Clean Up Preview as Wine draws them: runs
# build/win64/bin/ask_showcase.exe for each question (cookies_showcase.exe for
# the cookies, preview_showcase.exe for the preview) on a private Xvfb
# display and prefix, grabs the screen with ImageMagick's `import` once the
# window is up and cuts the window out. Writes docs/screenshots/ask-*.png (one
# of them with the focus moved to "No"), docs/screenshots/cookies.png and
# docs/screenshots/preview.png. Then the three settings pages at 450 x 470 in
# headless Chromium, read from the built sentrova.exe:
# docs/screenshots/settings-*.png.
#   scripts/take-screenshots.sh        (after scripts/build win64)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/win64/bin
out=$top/docs/screenshots
root=$top/build/win64/wine-shots
for p in ask_showcase cookies_showcase preview_showcase; do
  [ -x "$bin/$p.exe" ] || { echo "build first: scripts/build win64" >&2; exit 1; }
done
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
  capture "ask-$1" "$2" 530 "$bin/ask_showcase.exe" "$1" 8
}

capture() {  # name caption width program args...
  local name=$1 caption=$2 width=$3 geometry= i
  shift 3
  "$top/scripts/wine-run" --root "$root" --timeout 120 "$@" >/dev/null 2>&1 &
  local run=$!
  for i in $(seq 1 150); do
    # The X window exists before it gets its size: wait for the dialog's
    # width.
    geometry=$(xwininfo -root -tree | grep -F "\"$caption\"" |
               sed -nE "s/.* (${width}x[0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1+\2+\3/p" | head -n 1)
    [ -n "$geometry" ] && break
    sleep 0.2
  done
  if [ -z "$geometry" ]; then echo "no window for $name" >&2; wait "$run" || true; return 1; fi
  sleep 1.5  # let it paint
  import -window root "$out/.full.png"
  convert "$out/.full.png" -crop "$geometry" +repage "$out/$name.png"
  rm -f "$out/.full.png"
  wait "$run" || true
  echo "$out/$name.png ($geometry)"
}

shoot restore "Sentrova - Security Settings Changed"
shoot homepage "Sentrova - Homepage Change Alert!"
shoot closeie "Sentrova - Clean Up"
# The default-button look goes with the focus: here on "No".
capture ask-closeie-focus-no "Sentrova - Clean Up" 530 "$bin/ask_showcase.exe" closeie 8 No
shoot schedule "Sentrova - Clean Up"
capture cookies "Sentrova - Customize Cookies" 450 "$bin/cookies_showcase.exe" 8
capture preview "Sentrova - Clean Up Preview" 500 "$bin/preview_showcase.exe" 8

/usr/bin/python3 "$top/tests/web/settings_pages_test.py" "$bin/sentrova.exe" --shots "$out"
ls "$out"/settings-*.png

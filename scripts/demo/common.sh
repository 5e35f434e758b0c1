# Shared by the parts of ./scripts/run: one Xvfb display and one Wine server
# for the whole run, the private prefix, and small helpers. Sourced, not run.
top=${top:?}
bin=$top/build/win64/bin
root=$top/build/win64/wine
# Pictures taken on the way.
shots=${SENTROVA_SHOTS:-$top/build/demo}
mkdir -p "$shots"

xvfb_pid=
demo_finish() {
  WINEPREFIX="$root/prefix" timeout 20 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap demo_finish EXIT
if [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 20 num <"$fifo"; rm -f "$fifo"
  export DISPLAY=:$num
fi

# Runs a Windows program of the build in the private prefix.
run() { "$top/scripts/wine-run" --root "$root" --timeout 120 "$@"; }
# A step heading.
step() { echo; echo "== $*"; }
# Summary lines: each is recorded only where the run observed it.
summary=()
observed() { summary+=("ok    $*"); }
missed() { summary+=("MISSED $*"); }
print_summary() {
  echo; echo "== What this run checked"
  local line; for line in "${summary[@]}"; do echo "$line"; done
  echo "Pictures: $shots"
}

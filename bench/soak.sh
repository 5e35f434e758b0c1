#!/usr/bin/env bash
# Benchmark: weeks of use squeezed into one run. The program runs under the
# stand-in host while devhost's soak.exe does 500 clean-up passes (toolbar menu
# "Clean Up Now" and the settings button, in turn), 200 monitored zone changes
# answered through the alert window ("Yes" and "No" in turn), 500
# configuration reloads, 100 tray shows and hides, 50 rounds of two browser
# windows opening and closing, and 20 host restarts, and reads the program's
# handles, USER and GDI objects, windows, private bytes, working set and
# threads from another process before the work and after each tenth.
# Goal: after the first tenth nothing grows beyond noise (handles and objects
# a few at most over the run, memory within 1 MB). Takes long: run it in the
# background, output to a file. Uses the prefix of the other benchmarks
# (build/win64/bench-wine).
#   bench/soak.sh            (SENTROVA_SOAK_COUNTS="50 20 50 10 5 2" for a quick look)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${SENTROVA_SOAK_BIN:-$top/build/win64/bin}  # a copy lets the tree be rebuilt meanwhile
root=$top/build/win64/bench-wine
[ -f "$bin/soak.exe" ] || { echo "build first: scripts/build win64" >&2; exit 2; }
counts=${SENTROVA_SOAK_COUNTS:-500 200 500 100 50 20}
run() { "$top/scripts/wine-run" --root "$root" --timeout 14400 "$@"; }

run "$bin/qbhost.exe" register >/dev/null
run "$bin/sentrova.exe" /regserver
out=$(mktemp)
rc=0
# shellcheck disable=SC2086
run "$bin/soak.exe" $counts >"$out" 2>&1 || rc=$?
tr -d '\r' <"$out"
echo "soak.exe exit code $rc"

# Growth after the first tenth, per measure: the end against tenth 1, and
# the highest reading of tenths 1-10 against tenth 1.
tr -d '\r' <"$out" | awk -F'|' -v counts="$counts" '
  $1 == "SAMPLE" { for (i = 3; i <= 9; i++) v[$2, i] = $i; last = $2 }
  END {
    if (last != 10) { print "RESULT|soak|incomplete|see the log"; exit }
    split("handles|USER objects|GDI objects|windows|private bytes|working set|threads", name, "|")
    for (i = 3; i <= 9; i++) {
      first = v[1, i]; top = first
      for (t = 1; t <= 10; t++) if (v[t, i] > top) top = v[t, i]
      if (i == 7 || i == 8) {
        printf "RESULT|soak (%s): %s, after tenth 1 -> end|%+.2f MB (highest %+.2f)|start %.1f MB; goal within 1 MB\n",
          counts, name[i - 2], (v[10, i] - first) / 1048576, (top - first) / 1048576, v[0, i] / 1048576
      } else {
        printf "RESULT|soak (%s): %s, after tenth 1 -> end|%+d (highest %+d)|start %d; goal a few at most\n",
          counts, name[i - 2], v[10, i] - first, top - first, v[0, i]
      }
    }
  }'
rm -f "$out"
exit $rc

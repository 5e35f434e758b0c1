#!/usr/bin/env bash
# Endurance of the security monitor under Wine: 200 changes answered in turn
# Yes, No and through Detected Changes, 50 reloads; handles, USER and GDI
# objects, private bytes and threads after the first 10 changes against the
# end (about ten minutes). Prints a table and RESULT lines for
# bench/run-all.sh. Run after `scripts/build win64`.
#   bench/monitor_soak.sh [changes]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$top/build/win64/bin/bench_monitor_soak.exe
[ -f "$exe" ] || { echo "build first: scripts/build win64" >&2; exit 2; }
out=$("$top/scripts/wine-run" --root "$top/build/win64/wine" --timeout 3600 "$exe" "${1:-200}" | tr -d '\r')
echo "$out"
awk -F' [|] ' '/^[|] (handles|USER|GDI|private|threads)/ { gsub(/^[|] | [|]$/, ""); print "RESULT|monitor soak: " $1 " after 10 / at end|" $2 " / " $3 "|growth " $4 }' <<<"$out"

#!/usr/bin/env bash
# Benchmark of the security monitor under Wine: alert latency over 20 zone
# changes written by another process (median and worst, against the 2.0 s
# pause before every scan; goal <= 2.2 s) and the scanner's idle processor
# time over 60 s. Prints a table. A measurement, not a test: run it by hand
# after `scripts/build win64` (about three minutes). Also prints RESULT lines
# for bench/run-all.sh.
#   bench/monitor.sh [changes] [idle-seconds]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$top/build/win64/bin/bench_monitor.exe
[ -f "$exe" ] || { echo "build first: scripts/build win64" >&2; exit 2; }
out=$("$top/scripts/wine-run" --root "$top/build/win64/wine" --timeout 900 "$exe" "${1:-20}" "${2:-60}" | tr -d '\r')
echo "$out"
# The same figures as lines of bench/run-all.sh's table.
awk -F' [|] ' '/^[|] (alert|scanner)/ { gsub(/^[|] | [|]$/, ""); print "RESULT|" $1 "|" $2 "|" $3 }' <<<"$out"

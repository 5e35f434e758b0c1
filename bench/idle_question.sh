#!/usr/bin/env bash
# Benchmark: the processor time an open question dialog costs while nobody
# answers it. Shows the close-browser question (ask_showcase.exe, which closes
# it by itself at the end) under Wine and reads the Wine process's user and
# system time from /proc over a quiet stretch, as a share of one core. A
# measurement, not a test: run it by hand after `scripts/build win64`.
#   bench/idle_question.sh [seconds]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
span=${1:-20}
exe=$top/build/win64/bin/ask_showcase.exe
[ -f "$exe" ] || { echo "build first: scripts/build win64" >&2; exit 2; }
ticks=$(getconf CLK_TCK)

"$top/scripts/wine-run" --root "$top/build/win64/wine" --timeout $((span + 60)) \
  "$exe" closeie $((span + 15)) >/dev/null 2>&1 &
launcher=$!
# The Wine process of the question: its command line begins with the program.
pid=
for _ in $(seq 1 120); do
  for f in /proc/[0-9]*/cmdline; do
    first=$( { tr '\0' '\n' <"$f" | head -n 1; } 2>/dev/null) || continue
    case "$first" in *ask_showcase.exe) pid=${f#/proc/}; pid=${pid%/cmdline}; break ;; esac
  done
  [ -n "$pid" ] && break
  sleep 0.5
done
[ -n "$pid" ] || { echo "the question did not start" >&2; exit 1; }
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
sleep 8  # start-up, the window appearing
before=$(cpu)
sleep "$span"
after=$(cpu)
wait "$launcher" || true
awk -v t=$((after - before)) -v hz="$ticks" -v s="$span" \
  'BEGIN { printf "open question, idle for %d s: %.2f s of processor time, %.3f %% of one core\n", s, t / hz, 100 * t / hz / s }'

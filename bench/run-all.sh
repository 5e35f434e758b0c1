#!/usr/bin/env bash
# Runs every benchmark script in bench/ and prints one table of what they
# measured. A script joins the table by printing lines
#   RESULT|<what>|<figure>|<goal or note>
# (its other output goes to build/bench/<script>.log); bench/cleanup*.sh and
# bench/alert*.sh are picked up like any other. Run after `scripts/build win64`.
#   bench/run-all.sh [script-name-pattern]
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
logs=$top/build/bench
mkdir -p "$logs"
pattern=${1:-*}
results=()
for script in "$top"/bench/$pattern.sh; do
  name=${script##*/}
  [ "$name" = run-all.sh ] && continue
  [ -f "$script" ] || continue
  echo "== $name (log: build/bench/${name%.sh}.log)" >&2
  rc=0
  bash "$script" >"$logs/${name%.sh}.log" 2>&1 || rc=$?
  found=0
  while IFS='|' read -r tag what figure note; do
    [ "$tag" = RESULT ] || continue
    results+=("${name%.sh}|$what|$figure|$note")
    found=1
  done <"$logs/${name%.sh}.log"
  if [ $found -eq 0 ]; then
    # An older script without RESULT lines: its last line stands for it.
    results+=("${name%.sh}|(output)|$(tail -n 1 "$logs/${name%.sh}.log")|exit code $rc")
  elif [ $rc -ne 0 ]; then
    results+=("${name%.sh}|(exit code)|$rc|see the log")
  fi
done
printf '\n%-20s %-66s %-18s %s\n' benchmark measure figure goal/note
printf '%s\n' "$(printf '%.0s-' {1..140})"
for line in "${results[@]}"; do
  IFS='|' read -r bench what figure note <<<"$line"
  printf '%-20s %-66s %-18s %s\n' "$bench" "$what" "$figure" "$note"
done

#!/usr/bin/env bash
# Benchmark: a whole clean-up pass with only WIN_TEMP selected (and, as
# "empty", its Temp step alone, without the pass's fixed costs), against Wine's
# own `cmd /c rd /s /q`, a bare list-then-DeleteFileA loop and `rm -rf` on the
# Linux side, on two shapes of the Temp folder:
#   tree: 20,000 files in 200 folders of 100
#   flat: 20,000 files in one folder, 5 of them with renames pending at restart
# Each cell is the median of three runs. A measurement, not a test: run it by
# hand after `scripts/build win64`. It uses a prefix of its own
# (build/win64/bench-wine) and forgets what a run leaves pending there.
#   bench/clean_pass.sh [files]
# SENTROVA_BENCH_METHODS="pass loop" measures only some of the methods (rd
# takes minutes on the flat folder).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
files=${1:-20000}
bin=$top/build/win64/bin
root=$top/build/win64/bench-wine
[ -f "$bin/bench_clean_pass.exe" ] || { echo "build first: scripts/build win64" >&2; exit 2; }
methods=${SENTROVA_BENCH_METHODS:-pass empty loop rd rm}
run() { "$top/scripts/wine-run" --root "$root" --timeout 900 "$@"; }

# A Wine server that stays for the whole run, so that no timing pays a start.
run "$bin/qbhost.exe" register >/dev/null
"$top/scripts/wine-run" --root "$root" --persist >/dev/null 2>&1 || true
run "$bin/bench_clean_pass.exe" settings
temp_unix=$(ls -d "$root"/prefix/drive_c/users/*/Temp | grep -v Public | head -1)
temp_win='C:\users\'"$(basename "$(dirname "$temp_unix")")"'\Temp'

make_shape() {  # shape folder
  python3 - "$1" "$2" "$files" <<'PY'
import os, shutil, sys
shape, root, files = sys.argv[1], sys.argv[2], int(sys.argv[3])
shutil.rmtree(root, ignore_errors=True)
folders = 200 if shape == "tree" else 1
for d in range(folders):
    folder = os.path.join(root, "dir%d" % d) if shape == "tree" else root
    os.makedirs(folder, exist_ok=True)
    for f in range(files // folders):
        with open(os.path.join(folder, "f%d.tmp" % f), "w") as out:
            out.write("sentrova %d/%d\n" % (d, f))
PY
}
now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

# The methods take turns within each round, so that a change in the
# machine's load touches them alike.
declare -A runs
for shape in tree flat; do
  for i in 1 2 3; do
    for method in $methods; do
      rm -rf "$temp_unix"/*
      if [ "$method" = rm ]; then
        make_shape "$shape" "$top/build/bench-linux/bench"
        t0=$(now); rm -rf "$top/build/bench-linux/bench"; t1=$(now)
        s=$(echo "$t1 - $t0" | bc -l)
      else
        make_shape "$shape" "$temp_unix/bench"
        [ "$shape" = flat ] && run "$bin/bench_clean_pass.exe" pend "$temp_win\\bench" 5
        case $method in
          pass) out=$(run "$bin/bench_clean_pass.exe" pass) ;;
          loop) out=$(run "$bin/bench_clean_pass.exe" loop "$temp_win\\bench") ;;
          empty) out=$(run "$bin/bench_clean_pass.exe" empty "$temp_win\\bench") ;;
          rd)
            t0=$(now); run cmd /c rd /s /q "$temp_win\\bench" >/dev/null 2>&1 || true; t1=$(now)
            out="seconds=$(echo "$t1 - $t0" | bc -l)" ;;
        esac
        run "$bin/bench_clean_pass.exe" unpend
        left=$(find "$temp_unix/bench" -type f 2>/dev/null | wc -l)
        [ "$left" -gt 5 ] && echo "note: $method on $shape left $left files" >&2
        s=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$out" | tr -d '\r')
      fi
      echo "$shape $method run $i: $s s" >&2
      runs[$shape.$method]+="$s "
    done
  done
done
declare -A result
for key in "${!runs[@]}"; do
  # shellcheck disable=SC2086
  result[$key]=$(median ${runs[$key]})
done
rm -rf "$temp_unix"/* "$top/build/bench-linux"
"$top/scripts/wine-run" --root "$root" --timeout 60 "$bin/bench_clean_pass.exe" unpend
WINEPREFIX=$root/prefix timeout 20 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true

printf '\n%-6s %-28s %9s %10s %14s\n' shape method seconds files/s 'x bare loop'
declare -A names=([pass]='clean-up pass (WIN_TEMP)' [empty]='its Temp step alone' [loop]='bare DeleteFileA loop' [rd]='cmd /c rd /s /q' [rm]='rm -rf (Linux)')
for shape in tree flat; do
  for method in $methods; do
    s=${result[$shape.$method]}
    printf '%-6s %-28s %9.3f %10.0f %14.2f\n' "$shape" "${names[$method]}" "$s" \
      "$(echo "$files / $s" | bc -l)" "$(echo "$s / ${result[$shape.loop]}" | bc -l)"
  done
done
echo "(rd is timed from outside and includes one process start)"
# The pass against the bare loop, as lines of bench/run-all.sh's table.
declare -A shapes=([tree]='20,000 files in 200 folders' [flat]='20,000 files in one folder')
for shape in tree flat; do
  s=${result[$shape.pass]:-}
  [ -n "$s" ] && [ -n "${result[$shape.loop]:-}" ] || continue
  printf 'RESULT|clean-up pass (WIN_TEMP), %s|%.2f s, %.0f files/s|%.2f x the bare DeleteFileA loop (goal <= 1.3)\n' \
    "${shapes[$shape]}" "$s" "$(echo "$files / $s" | bc -l)" "$(echo "$s / ${result[$shape.loop]}" | bc -l)"
done

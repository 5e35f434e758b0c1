#!/usr/bin/env bash
# Benchmark: empty a Temp-like tree (20,000 files in 200 folders) with the
# clean-up's DeleteFolderContents under Wine, and the same tree with rm -rf on
# the Linux side, in the same run. A measurement, not a test: run it by hand
# after `scripts/build win64`.
#   bench/delete_folder.sh [folders] [files-per-folder]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
folders=${1:-200}
per_folder=${2:-100}
wine_root=$top/build/win64/wine
exe=$top/build/win64/bin/bench_delete_folder.exe
[ -x "$exe" ] || [ -f "$exe" ] || { echo "build first: scripts/build win64" >&2; exit 2; }

# The same tree each time: numbered folders of numbered small files.
make_tree() {
  local root=$1 d f
  rm -rf "$root"
  mkdir -p "$root"
  for ((d = 0; d < folders; d++)); do
    mkdir "$root/dir$d"
    for ((f = 0; f < per_folder; f++)); do
      printf 'sentrova benchmark file %d/%d\n' "$d" "$f" >"$root/dir$d/file$f.tmp"
    done
  done
}

now() { date +%s.%N; }
total=$((folders * per_folder))

# Linux side: rm -rf of the tree, timed.
linux_tree=$top/build/bench/linux_tree
make_tree "$linux_tree"
t0=$(now)
rm -rf "$linux_tree"
t1=$(now)
linux_s=$(echo "$t1 - $t0" | bc -l)

# Wine side: the tree inside the prefix's drive C:, emptied by the program.
# The first run creates the prefix when needed.
"$top/scripts/wine-run" --root "$wine_root" --timeout 120 "$exe" 'C:\sentrova_bench_missing\*.*' \
  >/dev/null 2>&1 || true
wine_tree=$wine_root/prefix/drive_c/sentrova_bench
make_tree "$wine_tree"
rc=0
out=$("$top/scripts/wine-run" --root "$wine_root" --timeout 900 "$exe" 'C:\sentrova_bench\*.*') || rc=$?
echo "wine:  $out"
rm -rf "$wine_tree"
wine_s=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$out")

printf 'files: %d in %d folders\n' "$total" "$folders"
printf 'DeleteFolderContents under Wine: %.3f s, %.0f files/s\n' "$wine_s" "$(echo "$total / $wine_s" | bc -l)"
printf 'rm -rf on Linux:                 %.3f s, %.0f files/s\n' "$linux_s" "$(echo "$total / $linux_s" | bc -l)"
printf 'ratio (Wine time / rm time):     %.1f\n' "$(echo "$wine_s / $linux_s" | bc -l)"
exit $rc

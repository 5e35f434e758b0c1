#!/usr/bin/env bash
# scripts/wine-run must keep Wine away from the caller's home folder and
# trash: a program that writes to its Desktop and Documents folders and sends
# a file to the recycle bin leaves the caller's HOME and XDG data folder
# untouched, and its files land in the launcher's private folders instead.
#   wine_run_private_home.sh WINE_RUN ROOT PROBE_EXE
set -u
wine_run=$1 root=$2 probe=$3
fake_home=$(mktemp -d)
fake_data=$(mktemp -d)
trap 'rm -rf "$fake_home" "$fake_data"' EXIT
name="wine-run-check-$$.txt"

HOME=$fake_home XDG_DATA_HOME=$fake_data "$wine_run" --root "$root" --timeout 120 \
  "$probe" shell-folders "$name"
rc=$?
fail=0
[ $rc -eq 0 ] || { echo "probe failed with exit code $rc"; fail=1; }
if [ -n "$(find "$fake_home" "$fake_data" -mindepth 1 -print -quit)" ]; then
  echo "the caller's folders were touched:"; find "$fake_home" "$fake_data" -mindepth 1; fail=1
fi
# Wine maps Desktop and Documents to HOME: the launcher's private one.
for f in "$name.desktop" "$name.documents"; do
  [ -f "$root/home/$f" ] || { echo "$f is not in the private home folder"; fail=1; }
done
trashed=$(find "$root/xdg/data/Trash" -name "$name.deleted*" 2>/dev/null | wc -l)
[ "$trashed" -ge 1 ] || { echo "the deleted file is not in the private trash"; fail=1; }
find "$root" -name "$name*" -exec rm -f {} + 2>/dev/null
[ $fail -eq 0 ] && echo "private home: ok"
exit $fail

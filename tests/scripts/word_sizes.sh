#!/usr/bin/env bash
# One Windows set-up end to end: the stand-in host of one word size drives the
# program of another, in a prefix of its own. The host registers, the program
# registers, a browser window's plug-in object pushes its button and menu,
# "Clean Up Now" from the menu empties Temp, and a zone setting changed by
# another process brings the security alert, whose "Yes" puts it back. The
# host then stops the program as it does when the browser ends.
# Given the installer instead of the program, the installer puts the program
# that fits the machine in place and registers it, and its uninstaller removes
# it at the end.
#   word_sizes.sh WINE_RUN ARCH ROOT HOST_DIR PROGRAM_EXE|INSTALLER_EXE
#     ARCH       win64 (64-bit Windows) or win32 (32-bit Windows)
#     HOST_DIR   folder of qbhost.exe, qbhost.dll, qbxcomm.dll, windriver.exe
set -u
wine_run=$1 arch=$2 root=$3 host=$4 program=$5
run() { "$wine_run" --root "$root" --arch "$arch" --timeout 120 "$@"; }
qb() { run "$host/qbhost.exe" "$@" | tr -d '\r'; }
drive() { run "$host/windriver.exe" "$@"; }
passed=0 failed=0
check() {  # description, then a command that must succeed
  local what=$1; shift
  if "$@"; then echo "ok     $what"; passed=$((passed + 1))
  else echo "FAILED $what"; failed=$((failed + 1)); fi
}
done_event=WordSizesDone$$
zones='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Zones\3'
alert="Sentrova - Security Settings Changed"
zone_value() {
  run reg query "$zones" /v 1A02 2>/dev/null | tr -d '\r' | awk '$1 == "1A02" { print $3 }'
}

# The machine type of a Windows program: 8664 (64-bit) or 014c (32-bit).
machine() {
  local pe; pe=$(od -An -j 60 -N 4 -t u4 "$1" | tr -d ' ')
  od -An -j $((pe + 4)) -N 2 -t x2 "$1" | tr -d ' '
}
check "the host registers" run "$host/qbhost.exe" register
# On 64-bit Windows the host's service is there for programs of both word
# sizes: a 64-bit program loads the 64-bit build of it, beside the program's.
service64=$(dirname "$program")/qbhost.exe
if [ "$arch" = win64 ] && [ "$(machine "$program")" = 8664 ] && [ -f "$service64" ]; then
  check "the host's 64-bit service registers" run "$service64" register
fi
installed=
case "$program" in
  *-installer.exe)
    check "the installer installs silently" run "$program" /S
    installed=$root/prefix/drive_c/Program\ Files/Sentrova
    want=8664; [ "$arch" = win32 ] && want=014c
    check "it installed the program that fits the machine ($want)" \
      test "$(machine "$installed/sentrova.exe" 2>/dev/null)" = "$want"
    program=$installed/sentrova.exe ;;
  *)
    check "the program registers (/regserver exits 0)" run "$program" /regserver ;;
esac
qb clear >/dev/null
for v in "VRX_ALL bool 1" "WIN_TEMP bool 1" "HOME_MON bool 0"; do
  # shellcheck disable=SC2086
  qb set VRX $v >/dev/null
done
run reg add "$zones" /v 1A02 /t REG_DWORD /d 0 /f >/dev/null
user_dir=$(ls -d "$root"/prefix/drive_c/users/*/ | grep -v Public | head -1)
planted=${user_dir}Temp/word-sizes-$$.tmp
mkdir -p "$(dirname "$planted")" && echo "a temporary file" >"$planted"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$wine_run" --root "$root" --arch "$arch" --timeout 600 \
  "$host/qbhost.exe" session 1 buttoninfo menu CLEAN await "$done_event" shutdown >"$log" 2>&1 &
session=$!

pushed() { qb toolbar VRX | grep -q '^Visible=1'; }
planted_gone() { [ ! -e "$planted" ]; }
until_true() {  # tries, command: retries every half second
  local n=$1; shift
  for _ in $(seq 1 "$n"); do "$@" && return 0; sleep 0.5; done
  return 1
}
check "the program pushes its button to the host, shown" until_true 240 pushed
check "\"Clean Up Now\" from the toolbar menu empties Temp" until_true 240 planted_gone

# The scanner takes its snapshot when the session connects; a change made
# before that would be its starting point, so one more change is made if the
# first brings no alert.
alerted=
for value in 3 1; do
  run reg add "$zones" /v 1A02 /t REG_DWORD /d "$value" /f >/dev/null
  if drive wait "$alert" 30000 >/dev/null; then alerted=$value; break; fi
done
check "a changed zone setting brings the security alert" test -n "$alerted"
if [ -n "$alerted" ]; then
  drive click "$alert" Yes >/dev/null
  drive gone "$alert" 10000 >/dev/null
  restored() { local v; v=$(zone_value); [ -n "$v" ] && [ "$((v))" -ne "$alerted" ]; }
  check "\"Yes\" puts the setting back" until_true 40 restored
fi

qb signal "$done_event" >/dev/null
wait "$session"
check "the session's menu is Clean Up Now, Settings, Help, About" \
  grep -q 'menu: Clean Up Now=CLEAN\\n-\\nSettings=OPT\\nHelp=HELP\\nAbout=ABOUT' "$log"
if [ -n "$installed" ]; then
  run "$installed/uninstall.exe" /S
  # The uninstaller goes on from a copy of itself.
  uninstalled() { [ ! -e "$installed" ]; }
  check "the uninstaller removes the program" until_true 120 uninstalled
fi
[ $failed -eq 0 ] || { echo "-- the session said:"; cat "$log"; }
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]

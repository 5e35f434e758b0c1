# The security monitor at work. With Sentrova running under the stand-in
# host, another process (Wine's reg) changes three zone settings and the
# browser's start page. The program asks about the start page, then shows
# the security alert; its "Details..." lists the three changes, one is
# unticked, and "Yes" restores the other two. windriver.exe plays the user.
# Sourced by ./scripts/run.
zones='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Zones'
main='HKCU\Software\Microsoft\Internet Explorer\Main'
alert="Sentrova - Security Settings Changed"
details="Sentrova - Detected Changes"
homeq="Sentrova - Homepage Change Alert!"
monitored=(3:1A02 3:1A03 1:1406)
drive() { run "$bin/windriver.exe" "$@"; }
value() {  # zone:name -> data of the value (or "missing")
  local v
  v=$(run reg query "$zones\\${1%%:*}" /v "${1#*:}" 2>/dev/null | tr -d '\r' |
      awk -v n="${1#*:}" '$1 == n { print $3 }') || true
  echo "${v:-missing}"
}
start_page() { run reg query "$main" /v "Start Page" 2>/dev/null | tr -d '\r' |
               sed -nE 's/^ *Start Page +REG_SZ +//p'; }
show_values() {
  step "$1"
  local m; for m in "${monitored[@]}"; do echo "zone ${m%%:*} value ${m#*:} = $(value "$m")"; done
  echo "Start Page = $(start_page)"
}
# The window (and, when given, a second one over it) cut out of the screen.
shoot() {  # name caption [caption]
  local g x0 y0 x1 y1 c
  x0=99999 y0=99999 x1=0 y1=0
  sleep 1.5
  for c in "${@:2}"; do
    g=$(drive rect "$c" | tr -d '\r') || continue
    read -r w h x y < <(sed -E 's/([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)/\1 \2 \3 \4/' <<<"$g")
    ((x < x0)) && x0=$x; ((y < y0)) && y0=$y
    ((x + w > x1)) && x1=$((x + w)); ((y + h > y1)) && y1=$((y + h))
  done
  import -window root "$shots/.full.png"
  convert "$shots/.full.png" -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$shots/monitor-$1.png"
  rm -f "$shots/.full.png"
  echo "picture: $shots/monitor-$1.png"
}

step "monitor: the host is set up, the plug-in on, the start page monitored"
run "$bin/qbhost.exe" register >/dev/null
run "$bin/sentrova.exe" /regserver
for m in "${monitored[@]}"; do
  run reg add "$zones\\${m%%:*}" /v "${m#*:}" /t REG_DWORD /d 0 /f >/dev/null
done
home=https://www.winehq.org/
run reg add "$main" /v "Start Page" /t REG_SZ /d "$home" /f >/dev/null
run "$bin/qbhost.exe" set VRX VRX_ALL bool 1 >/dev/null
run "$bin/qbhost.exe" set VRX HOME_MON bool 1 >/dev/null
run "$bin/qbhost.exe" set VRX HOME_SET bool 0 >/dev/null
run "$bin/qbhost.exe" set VRX HOME_URL str "$home" >/dev/null
echo "HOME_URL = $home; TBR AFA_DONE = $(run "$bin/qbhost.exe" get TBR AFA_DONE bool | tr -d '\r')"
monitor_log=$(mktemp)
run "$bin/qbhost.exe" session 1 wait 120000 >"$monitor_log" 2>&1 &
monitor_session=$!
for _ in $(seq 1 300); do grep -q "help address" "$monitor_log" && break; sleep 0.1; done
sleep 5  # the scanner starts on Connect and takes its snapshot
show_values "monitor: values before"

step "monitor: another process changes three zone settings and the start page"
run reg add "$zones\\3" /v 1A02 /t REG_DWORD /d 3 /f >/dev/null
run reg add "$zones\\3" /v 1A03 /t REG_DWORD /d 1 /f >/dev/null
run reg add "$zones\\1" /v 1406 /t REG_DWORD /d 3 /f >/dev/null
run reg add "$main" /v "Start Page" /t REG_SZ /d "http://changed.example/" /f >/dev/null
show_values "monitor: values after the change"

if drive wait "$homeq" 30000; then
  observed "monitor: the start page change brought the homepage alert"
  shoot homepage "$homeq"
  drive click "$homeq" Yes
  drive gone "$homeq" 10000 || true
else
  missed "monitor: the start page change brought the homepage alert"
fi

if drive wait "$alert" 30000; then
  observed "monitor: the zone changes brought one security alert"
  shoot alert "$alert"
  drive click "$alert" "Details..."
  drive wait "$details" 10000 || true
  step "monitor: Detected Changes"
  rows=$(drive rows "$details" | tr -d '\r') || true
  echo "$rows"
  if [ "$(grep -c . <<<"$rows")" -eq 3 ]; then
    observed "monitor: Detected Changes listed the three changes"
  else
    missed "monitor: Detected Changes listed the three changes"
  fi
  drive untick "$details" 1
  shoot details "$alert" "$details"
  echo "the second row (zone 3, 1A02) unticked; OK; then Yes"
  drive click "$details" OK
  drive gone "$details" 10000 || true
  drive click "$alert" Yes
  drive gone "$alert" 10000 || true
  sleep 1
else
  missed "monitor: the zone changes brought one security alert"
fi
show_values "monitor: values after the answers"
if [ "$(value 1:1406)" = 0x0 ] && [ "$(value 3:1A03)" = 0x0 ] && [ "$(value 3:1A02)" = 0x3 ]; then
  observed "monitor: Yes restored the ticked changes and kept the unticked one"
else
  missed "monitor: Yes restored the ticked changes and kept the unticked one"
fi
if [ "$(start_page)" = "$home" ]; then
  observed "monitor: the start page was set back to the monitored address"
else
  missed "monitor: the start page was set back to the monitored address"
fi
if ! drive wait "$alert" 6000; then
  observed "monitor: no second alert for the answered changes"
else
  missed "monitor: no second alert for the answered changes"
  drive click "$alert" No || true
fi
run "$bin/qbhost.exe" signal TB4Shutdown_VRX >/dev/null
wait "$monitor_session" || true
rm -f "$monitor_log"

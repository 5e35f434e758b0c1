# The host link at its simplest: registration, plug-in objects for two browser
# windows released again, a third one served by the same process, the host's
# stop event; then the main loop's schedule at work. Sourced by ./scripts/run.
echo "== qbhost register"
run "$bin/qbhost.exe" register
echo "== sentrova.exe /regserver"
run "$bin/sentrova.exe" /regserver && echo "exit code 0"
echo "== qbhost session 2 release all processes new stop"
run "$bin/qbhost.exe" session 2 release all processes new stop

# --- The main loop at work: configuration reload and automatic clean-up ---
# The host holds an overdue schedule (RUN_AUTO on, every 30 minutes, the last
# clean-up an hour ago) while the plug-in is switched off: the program leaves
# LAST_SCAN alone. The host then switches the plug-in on and signals the
# changed settings; the program reloads them and stamps LAST_SCAN with the
# start of the clean-up it runs.
ole_now() { awk -v s="$(date +%s)" -v z="$(date +%z)" 'BEGIN {
  o = (substr(z,1,1)=="-" ? -1 : 1) * (substr(z,2,2)*3600 + substr(z,4,2)*60);
  printf "%.6f\n", 25569 + (s + o) / 86400 }'; }
show_last_scan() {
  v=$(run "$bin/qbhost.exe" get VRX LAST_SCAN date | tr -d '\r') || true
  t=$(awk -v v="$v" 'BEGIN { printf "%d", (v - 25569) * 86400 }')
  echo "LAST_SCAN = $v ($(date -u -d "@$t" '+%Y-%m-%d %H:%M:%S'))"
}
echo
echo "== the schedule: RUN_AUTO on, every 30 minutes, last clean-up an hour ago; VRX_ALL off"
run "$bin/qbhost.exe" set VRX VRX_ALL bool 0
run "$bin/qbhost.exe" set VRX RUN_AUTO bool 1
run "$bin/qbhost.exe" set VRX RUN_DELAY str 30
run "$bin/qbhost.exe" set VRX RUN_PERIOD str m
run "$bin/qbhost.exe" set VRX LAST_SCAN date "$(awk -v n="$(ole_now)" 'BEGIN { printf "%.6f", n - 1/24 }')"
show_last_scan
session_log=$(mktemp)
run "$bin/qbhost.exe" session 1 wait 6000 >"$session_log" 2>&1 &
session_pid=$!
for _ in $(seq 1 300); do grep -q "help address" "$session_log" && break; sleep 0.1; done
echo "== the host has started Sentrova and announced itself; after a second:"
sleep 1
show_last_scan
echo "== the host switches the plug-in on: VRX_ALL = 1, then sets VRX4_Refresh_Cfg"
before=$(run "$bin/qbhost.exe" get VRX LAST_SCAN date | tr -d '\r') || true
run "$bin/qbhost.exe" set VRX VRX_ALL bool 1
run "$bin/qbhost.exe" signal VRX4_Refresh_Cfg
for _ in $(seq 1 100); do
  now_v=$(run "$bin/qbhost.exe" get VRX LAST_SCAN date | tr -d '\r') || true
  [ "$now_v" != "$before" ] && break
  sleep 0.1
done
echo "== the program reloaded its configuration and started the due clean-up:"
show_last_scan
echo "== qbhost signal TB4Shutdown_VRX"
run "$bin/qbhost.exe" signal TB4Shutdown_VRX
wait "$session_pid" || true
rm -f "$session_log"
# --- end of the main loop demonstration ---

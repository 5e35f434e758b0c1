#!/usr/bin/env bash
# Idle CPU, memory and start-up of sentrova.exe under Wine, each next to a
# baseline run under the same Wine, in a benchmark prefix of its own
# (build/win64/wine-bench) so that its Wine server serves nobody else:
#   idle    CPU of sentrova.exe and of the Wine server over BENCH_IDLE_SECONDS
#           (default 60) while the stand-in host holds a plug-in object,
#           against bare_idle.exe, which only sleeps in GetMessage
#   memory  working set (resident) and private memory after start while a
#           client holds an object, against bare_com_server.exe, a COM local
#           server that loads the same DLLs as sentrova.exe
#   start   see startup_probe.cpp
# Figures come from Linux's /proc: CPU from the scheduler's per-thread run
# time, memory from status (VmRSS) and smaps_rollup (Private_*).
# Prints RESULT lines for bench/run-all.sh.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/win64/bin
root=$top/build/win64/wine-bench
prefix=$root/prefix
seconds=${BENCH_IDLE_SECONDS:-60}
for f in sentrova.exe qbhost.exe bare_idle.exe bare_com_server.exe startup_probe.exe; do
  [ -f "$bin/$f" ] || { echo "build first: scripts/build win64 (missing $f)" >&2; exit 2; }
done
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

# One display and one Wine server for every run below.
mkdir -p "$root/xdg/runtime"
fifo=$(mktemp -u "$root/xdg/runtime/display.XXXXXX")
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 num <"$fifo" || num=
rm -f "$fifo"
[ -n "$num" ] || { echo "Xvfb did not start" >&2; kill $xvfb_pid; exit 1; }
export DISPLAY=:$num
finish() {
  WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
}
trap finish EXIT
run() { "$top/scripts/wine-run" --root "$root" "$@"; }

# Linux processes of this prefix whose name (as Wine sets it: the program's
# file name, cut to 15 characters) begins like $1; launchers and shells that
# merely name the program on their command line do not count.
pids_of() {
  local p
  for p in $(pgrep -- "^${1:0:14}"); do
    { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$prefix" && echo "$p"
  done
}
wait_pid() {  # name -> first pid, waiting up to 60 s
  local i p
  for ((i = 0; i < 600; i++)); do
    p=$(pids_of "$1" | head -n 1)
    [ -n "$p" ] && { echo "$p"; return 0; }
    sleep 0.1
  done
  return 1
}
# Nanoseconds on a CPU, summed over the threads of the given processes.
cpu_ns() {
  local p sum=0 t
  for p in "$@"; do
    for t in /proc/"$p"/task/*/schedstat; do
      [ -r "$t" ] && sum=$((sum + $(cut -d' ' -f1 "$t" 2>/dev/null || echo 0)))
    done
  done
  echo "$sum"
}
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
private_kb() { awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s}' "/proc/$1/smaps_rollup"; }
mb() { awk -v k="$1" 'BEGIN {printf "%.1f MB", k / 1024}'; }
share() { awk -v ns="$1" -v s="$seconds" 'BEGIN {printf "%.3f", ns / (s * 1e9) * 100}'; }

# CPU share (% of one core) of the program $1 and of the Wine server over
# $seconds; prints "program server".
idle_of() {
  local pid server a b c d
  pid=$1
  server=$(pids_of wineserver | head -n 1)
  a=$(cpu_ns "$pid"); b=$(cpu_ns "$server")
  sleep "$seconds"
  c=$(cpu_ns "$pid"); d=$(cpu_ns "$server")
  echo "process $pid: $a -> $c ns on a CPU; Wine server $server: $b -> $d ns" >&2
  echo "$(share $((c - a))) $(share $((d - b)))"
}

echo "setting up the prefix and registrations"
run "$bin/sentrova.exe" /regserver
run "$bin/qbhost.exe" register >/dev/null
dlls=$(x86_64-w64-mingw32-objdump -p "$bin/sentrova.exe" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')
echo "sentrova.exe imports: $dlls"
run "$bin/bare_com_server.exe" /regserver $dlls
WINEPREFIX=$prefix "$wineserver" -p >/dev/null 2>&1 </dev/null

# Start-up inside the process: from the loader mapping the executable to
# the moment a client can create an object, read off Wine's time-stamped
# trace, for the program and for the bare COM server (same tracing, same warm
# server). The bare server offers its class with CoRegisterClassObject; the
# program registers its class objects suspended and offers them with
# CoResumeClassObjects once its start-up is complete.
# -> milliseconds
traced_registration() {  # exe class-id-lower-case offered-marker -> ms
  local exe=$1 clsid=$2 marker=$3 trace=$root/trace.txt
  SENTROVA_WINEDEBUG=+timestamp,+loaddll,+ole run --timeout 30 "$exe" -Embedding >/dev/null 2>"$trace" &
  local job=$!
  for ((i = 0; i < 300; i++)); do
    grep -q "CoRegisterClassObject {$clsid" "$trace" 2>/dev/null && break
    sleep 0.1
  done
  sleep 1
  case $exe in
    *sentrova.exe) run "$bin/qbhost.exe" signal TB4Stop >/dev/null ;;
    *) kill "$(pids_of "${exe##*/}" | head -n 1)" 2>/dev/null ;;
  esac
  wait "$job"
  awk -v name="${exe##*/}" -v clsid="$clsid" -v marker="$marker" -F: '
    index($0, "Loaded") && index($0, name) && !t0 {t0 = $1}
    index($0, "CoRegisterClassObject {" clsid) && !t1 {t1 = $1}
    t1 && index($0, marker) && !t2 {t2 = $1}
    END {if (t0 && t2) printf "%.0f", (t2 - t0) * 1000; else print "?"}' "$trace"
}
echo "start-up inside the process (traced)"
traced_registration "$bin/sentrova.exe" 8a22dfaf CoResumeClassObjects >/dev/null  # the first start pays for Wine's own
reg_prog=$(traced_registration "$bin/sentrova.exe" 8a22dfaf CoResumeClassObjects)
reg_bare=$(traced_registration "$bin/bare_com_server.exe" 5e1c4f0a "CoRegisterClassObject {")
echo "class objects offered after: sentrova.exe $reg_prog ms, bare server $reg_bare ms"

echo "idle: bare_idle.exe for $seconds s"
run --timeout $((seconds + 60)) "$bin/bare_idle.exe" >/dev/null 2>&1 &
bare_run=$!
bare=$(wait_pid bare_idle.exe) || { echo "bare_idle.exe did not start"; exit 1; }
sleep 5
read -r bare_cpu bare_server <<<"$(idle_of "$bare")"
kill "$bare" 2>/dev/null
wait "$bare_run"

echo "idle: sentrova.exe under a host session for $seconds s"
session_ms=$(( (seconds + 30) * 1000 ))
run --timeout $((seconds + 120)) "$bin/qbhost.exe" session 1 wait "$session_ms" stop \
  >"$root/session.log" 2>&1 &
session=$!
program=$(wait_pid sentrova.exe) || { echo "sentrova.exe did not start"; exit 1; }
# Past the first configuration load and the scanner's start request.
sleep 10
read -r prog_cpu prog_server <<<"$(idle_of "$program")"
wait "$session"
cat "$root/session.log"

echo "start-up and memory: startup_probe.exe"
rm -f "$prefix/drive_c/probe.txt"
run --timeout 120 "$bin/startup_probe.exe" 'C:\probe.txt' 20 >/dev/null 2>&1 &
probe=$!
for ((i = 0; i < 900; i++)); do
  grep -q holding "$prefix/drive_c/probe.txt" 2>/dev/null && break
  sleep 0.1
done
cat "$prefix/drive_c/probe.txt"
sleep 3
program=$(pids_of sentrova.exe | head -n 1)
server=$(pids_of bare_com_server.exe | head -n 1)
if [ -n "$program" ] && [ -n "$server" ]; then
  prog_rss=$(rss_kb "$program"); prog_priv=$(private_kb "$program")
  bare_rss=$(rss_kb "$server"); bare_priv=$(private_kb "$server")
fi
wait "$probe"
val() { sed -n "s/^$1=//p" "$prefix/drive_c/probe.txt" | tr -d '\r'; }

total() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a + b}'; }
above=$(awk -v a="$(total "$prog_cpu" "$prog_server")" -v b="$(total "$bare_cpu" "$bare_server")" \
  'BEGIN {printf "%.3f", a - b}')
echo "RESULT|idle CPU, bare GetMessage program: program + Wine server|$bare_cpu + $bare_server %|baseline, $seconds s"
echo "RESULT|idle CPU, sentrova.exe, host connected: program + Wine server|$prog_cpu + $prog_server %|goal: <= 0.1 % together ($(total "$prog_cpu" "$prog_server") %)"
# The Wine server also serves Wine's own background processes (services,
# explorer, device manager); their share shows in the bare program's row.
echo "RESULT|idle CPU, sentrova.exe above the bare program (both together)|$above %|the program's own share"
if [ -n "${prog_rss:-}" ]; then
  echo "RESULT|working set after start: sentrova.exe / bare COM server|$(mb "$prog_rss") / $(mb "$bare_rss")|goal: within 4 MB ($(mb $((prog_rss - bare_rss))) more)"
  echo "RESULT|private memory after start: sentrova.exe / bare COM server|$(mb "$prog_priv") / $(mb "$bare_priv")|goal: within 4 MB ($(mb $((prog_priv - bare_priv))) more)"
else
  echo "RESULT|memory after start|not measured|a server did not start"
fi
echo "RESULT|start-up: Wine process start and end (bare program)|$(val wine_process_ms) ms|Wine's own cost"
echo "RESULT|start-up: COM activation of the bare server|$(val bare_com_ms) ms|Wine's own COM start-up cost"
act=$(val activation_ms); bare_act=$(val bare_com_ms)
echo "RESULT|start-up: process start -> class objects registered (client view)|$act ms|$((act - bare_act)) ms more than the bare server (Wine looks for the class once a second)"
ratio=$(awk -v a="$reg_prog" -v b="$reg_bare" 'BEGIN {if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "?"}')
echo "RESULT|start-up: executable mapped -> class objects offered to clients (Wine trace)|$reg_prog ms|bare COM server: $reg_bare ms (${ratio}x; goal <= 1.5x)"
echo "RESULT|start-up: -> first Connect answered|$(val connect_ms) ms|after the object arrived"

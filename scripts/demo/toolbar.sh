# The toolbar link: the button and menu the program pushes to the host, a
# clean-up started from the toolbar menu, and the tray icon's menu opened with
# a right-click and used to remove the icon. Sourced by ./scripts/run.
probe=$bin/sentrova_probe.exe
step "toolbar: registration"
run "$bin/qbhost.exe" register
run "$bin/sentrova.exe" /regserver && echo "exit code 0"
run "$bin/qbhost.exe" clear
run "$bin/qbhost.exe" set VRX VRX_ALL bool 1
run "$bin/qbhost.exe" set VRX SHOW_TRAY bool 1

step "toolbar: a browser window opens; the host asks for the button and picks \"Clean Up Now\""
# A file in the user's Temp folder, which the clean-up empties.
user_dir=$(ls -d "$root"/prefix/drive_c/users/*/ | grep -v Public | head -1)
planted=${user_dir}Temp/toolbar-demo.tmp
mkdir -p "$(dirname "$planted")"; echo "a temporary file" >"$planted"
log=$(mktemp)
# The session keeps its browser window open until the demonstration sets
# QbhostToolbarDemo, then stops the program as the host does.
run "$bin/qbhost.exe" session 1 buttoninfo menu CLEAN info ALLOW_EXIT await QbhostToolbarDemo \
  shutdown >"$log" 2>&1 &
session_pid=$!
# The session's answers come when it ends (wine-run passes output on then);
# the program's first push to the button tells that it has connected.
for _ in $(seq 1 100); do
  run "$bin/qbhost.exe" toolbar VRX | grep -q '^Visible=' && break
  sleep 0.2
done
# The clean-up started from the menu empties Temp: the planted file goes.
clean_seen=
for _ in $(seq 1 100); do
  if [ ! -e "$planted" ]; then clean_seen=1; break; fi
  sleep 0.2
done
step "toolbar: what the program pushed to the host's button (qbhost toolbar VRX)"
records=$(run "$bin/qbhost.exe" toolbar VRX | tr -d '\r')
echo "$records" | cut -c1-100
hex=$(echo "$records" | sed -n 's/^SET_BMP=//p')
if [ -n "$hex" ]; then
  echo "$hex" | xxd -r -p >"$shots/button.bmp"
  convert "$shots/button.bmp" "$shots/button.png"
  size=$(identify -format '%wx%h %m' "$shots/button.bmp" 2>/dev/null || true)
  echo "button image: $size, saved as $shots/button.png"
  [ "${size%% BMP*}" = "16x16" ] && observed "the pushed button image decodes as a 16 x 16 BMP" ||
    missed "the pushed button image as a 16 x 16 BMP ($size)"
else
  missed "a button image pushed to the host"
fi

step "toolbar: right-click on the tray icon"
if run "$probe" tray-click VRXWndClass; then
  sleep 0.5
  import -window root "$shots/tray-menu-screen.png"
  convert "$shots/tray-menu-screen.png" -trim +repage "$shots/tray-menu.png"
  echo "the tray menu, captured: $shots/tray-menu.png"
  observed "the tray icon's menu opens on a right-click (picture: tray-menu.png)"
  echo "== choose \"Remove Icon\""
  run "$probe" menu-pick 5
  shown=
  for _ in $(seq 1 50); do
    shown=$(run "$bin/qbhost.exe" get VRX SHOW_TRAY bool | tr -d '\r') || true
    [ "$shown" = "0" ] && break
    sleep 0.1
  done
  echo "SHOW_TRAY = $shown"
  [ "$shown" = "0" ] && observed "\"Remove Icon\" stored SHOW_TRAY = false" ||
    missed "SHOW_TRAY = false after \"Remove Icon\""
else
  missed "the tray icon's menu on a right-click"
fi
run "$bin/qbhost.exe" signal QbhostToolbarDemo
wait "$session_pid" || true
step "toolbar: the session's answers (button information, \"Clean Up Now\", ALLOW_EXIT)"
sed -n '/button info/,$p' "$log"
if grep -q "menu: Clean Up Now=CLEAN\\\\n-\\\\nSettings=OPT\\\\nHelp=HELP\\\\nAbout=ABOUT" "$log"; then
  observed "the toolbar button's menu: Clean Up Now, Settings, Help, About"
else
  missed "the toolbar button's menu"
fi
if [ -n "$clean_seen" ]; then
  observed "\"Clean Up Now\" from the toolbar menu ran a clean-up (a planted Temp file is gone)"
else
  missed "a clean-up started from the toolbar menu (the planted Temp file is still there)"
fi

rm -f "$log"

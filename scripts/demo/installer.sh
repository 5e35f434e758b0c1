# The installer: a silent install for all users, the program started by the
# stand-in host from Program Files, a silent uninstall. Sourced by
# ./scripts/run (./scripts/run installer).
step "sentrova-installer.exe /S: install for all users"
installed='C:\Program Files\Sentrova'
drive_dir=$root/prefix/drive_c/Program\ Files/Sentrova
if [ ! -f "$bin/sentrova-installer.exe" ]; then
  missed "the installer was built (install Debian's nsis)"
else
  run "$bin/qbhost.exe" register >/dev/null
  run "$bin/sentrova-installer.exe" /S && ls "$drive_dir"
  server=$(run reg query 'HKCR\CLSID\{8A22DFAF-353B-4627-833C-B943F4B11814}\LocalServer32' /ve \
           2>/dev/null | tr -d '\r' | awk '/REG_SZ/ {$1 = $2 = ""; print substr($0, 3)}')
  echo "COM server registered as: $server"
  [ -f "$drive_dir/sentrova.exe" ] && [ -n "$server" ] &&
    observed "the installer put sentrova.exe under $installed and registered it" ||
    missed "the installer put sentrova.exe under $installed and registered it"
  step "the stand-in host starts the installed program and stops it"
  out=$(run "$bin/qbhost.exe" session 1 stop 2>&1) || true
  echo "$out" | grep -E "plug-in object created|ended after"
  echo "$out" | grep -q "with exit code 0" &&
    observed "the host started the installed program, which ended with code 0" ||
    missed "the host started the installed program, which ended with code 0"
  step "uninstall.exe /S"
  run "$installed\\uninstall.exe" /S
  # It works from a copy of itself in Temp; its last step removes the folder.
  for _ in $(seq 1 300); do [ -d "$drive_dir" ] || break; sleep 0.2; done
  registered=yes
  run reg query 'HKCR\CLSID\{8A22DFAF-353B-4627-833C-B943F4B11814}' >/dev/null 2>&1 || registered=no
  echo "program folder left: $([ -d "$drive_dir" ] && echo yes || echo no); COM class registered: $registered"
  [ ! -d "$drive_dir" ] && [ $registered = no ] &&
    observed "the uninstaller removed the files and the COM registration" ||
    missed "the uninstaller removed the files and the COM registration"
  # The build's own program serves the other parts again.
  run "$bin/sentrova.exe" /regserver
fi

# The end of the story: the host disables the plug-in, as the user's "Disable"
# in the toolbar's add-on list does; the program hides its button and tray
# icon, leaves its loop and ends with exit code 0. Sourced by ./scripts/run.
step "the end: the host disables the plug-in and the program ends by itself"
run "$bin/qbhost.exe" set VRX VRX_ALL bool 1 >/dev/null
finish_log=$(mktemp)
run "$bin/qbhost.exe" session 1 disable end >"$finish_log" 2>&1 || true
finish_out=$(tr -d '\r' <"$finish_log"); rm -f "$finish_log"
grep -E 'disable|ended|still runs' <<<"$finish_out" || true
echo "VRX_ALL = $(run "$bin/qbhost.exe" get VRX VRX_ALL bool | tr -d '\r')"
if grep -q 'ended after .* with exit code 0' <<<"$finish_out"; then
  observed "after \"disable\" the program ended by itself with exit code 0"
else
  missed "the program ending with exit code 0 after \"disable\""
fi

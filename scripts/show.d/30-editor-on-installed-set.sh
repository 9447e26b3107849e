# Edictor on the installed rule set: started from where the installer put it, looked at,
# pictured and closed. Sourced by show.sh, after 10-install-and-decide.sh has installed the system.

echo
echo "== Edictor, the rule editor, on the installed rule set"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
start_and_wait "Edictor's window" 60 "window_is_up 'Tarnwall Edictor'" "$INSTALLED\\edictor.exe"
editor_pid=$STARTED_PID
shot_path=$(winepath -w "$TARNWALL_BUILD/screenshots/edictor_main.bmp" 2>/dev/null)
wine "$BIN/editor_shot.exe" "$shot_path" --close | tr -d '\r' | sed 's/^/  /' || echo "  (Edictor could not be shown)"
wait_for_end "Edictor" 60 "$editor_pid" || true

# Edictor on the installed rule set: started from where the installer put it, looked at,
# pictured and closed. Sourced by show.sh, after the store's piece has installed the system.

echo
echo "== Edictor, the rule editor, on the installed rule set"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
wine "$INSTALLED\\edictor.exe" >/dev/null 2>&1 &
editor_pid=$!
shot_path=$(winepath -w "$TARNWALL_BUILD/screenshots/edictor_main.bmp" 2>/dev/null)
wine "$BIN/editor_shot.exe" "$shot_path" --close | tr -d '\r' | sed 's/^/  /' || echo "  (Edictor could not be shown)"
wait "$editor_pid" 2>/dev/null || true

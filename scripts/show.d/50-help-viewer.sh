# The help file, installed into the Windows directory by 10-store.sh, opened in the
# system's help viewer as the programs open it. Sourced by show.sh.

echo
echo "== the help file in the Windows directory, shown by the help viewer"
HELP_FILE='C:\windows\Tarnwall.hlp'
if wine cmd.exe /c dir /b "$HELP_FILE" >/dev/null 2>&1; then
  echo "  $HELP_FILE is installed"
  start_and_wait "the help viewer's window" 60 "window_is_up Tarnwall" winhlp32.exe "$HELP_FILE"
  viewer=$STARTED_PID
  wine "$BIN/window_shot.exe" Tarnwall --shot "$(winepath -w "$TARNWALL_BUILD/screenshots/main-help.bmp")"
  echo "  picture: screenshots/main-help.png"
  kill "$viewer" 2>/dev/null || true
  wait "$viewer" 2>/dev/null || true
else
  echo "  no help file was installed"
fi

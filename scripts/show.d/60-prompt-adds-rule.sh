# Asking the user: an Ask rule governs a connection, the interceptor asks through the
# monitor, and the prompt is answered by window messages, as a user's clicks would be.
# Sourced by show.sh, after the monitor's piece has shown and ended it.

echo
echo "== asking the user: the outbound default rule says Ask"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
SHOTS="$TARNWALL_BUILD/screenshots"
mkdir -p "$SHOTS"
start_and_wait "the monitor" 60 monitor_is_up "$INSTALLED\\wayguard.exe"
MONITOR_PID=$STARTED_PID
echo "  FTP.EXE reaches out for the first time; the interceptor asks and waits for the answer:"
wine "$INSTALLED\\interceptor.exe" --ask-ms 60000 "out tcp 21 198.51.100.20 FTP.EXE" | tr -d '\r' | sed 's/^/  /' &
ASKED=$!
wine "$BIN/prompt_ctl.exe" --shot "$(winepath -w "$SHOTS/main-prompt.bmp")" \
  --rule-shot "$(winepath -w "$SHOTS/main-prompt-new-rule.bmp")" allow --add-rule | tr -d '\r' | sed 's/^/  /'
wait_for_end "the interceptor's asked attempt" 120 "$ASKED"
echo "  the rule the prompt added decides the next attempts without asking:"
wine "$INSTALLED\\interceptor.exe" --ask-ms 5000 "out tcp 21 198.51.100.20 FTP.EXE" "out tcp 21 198.51.100.20 FTP.EXE" \
  | tr -d '\r' | sed 's/^/  /'
wine "$INSTALLED\\interceptor.exe" --rules | tr -d '\r' | grep FTP | sed 's/^/  /'
wine "$BIN/wayguard_ctl.exe" end
wait_for_end "the monitor" 60 "$MONITOR_PID"

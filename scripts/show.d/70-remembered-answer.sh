# A remembered answer: the prompt's answer given "For 15 minutes" answers the next
# connections of the same program to the same place at once, without a prompt, and the
# interceptor's lines say the answer came from the monitor's memory.
# Sourced by show.sh, after the prompt's piece has ended its monitor.

echo
echo "== a remembered answer: one prompt for several connections"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
SHOTS="$TARNWALL_BUILD/screenshots"
mkdir -p "$SHOTS"
start_and_wait "the monitor" 60 monitor_is_up "$INSTALLED\\wayguard.exe"
MONITOR_PID=$STARTED_PID
echo "  NEWS.EXE connects for the first time; the user allows it \"For 15 minutes\":"
wine "$INSTALLED\\interceptor.exe" --ask-ms 60000 "out tcp 119 198.51.100.40 NEWS.EXE" | tr -d '\r' | sed 's/^/  /' &
ASKED=$!
wine "$BIN/prompt_ctl.exe" --shot "$(winepath -w "$SHOTS/main-prompt-remember.bmp")" --for 15min allow \
  | tr -d '\r' | sed 's/^/  /'
wait_for_end "the interceptor's asked attempt" 120 "$ASKED"
echo "  four more connections of NEWS.EXE to the same place: answered from memory, no prompt:"
wine "$INSTALLED\\interceptor.exe" --ask-ms 10000 "out tcp 119 198.51.100.40 NEWS.EXE" \
  "out tcp 119 198.51.100.40 NEWS.EXE" "out tcp 119 198.51.100.40 NEWS.EXE" "out tcp 119 198.51.100.40 NEWS.EXE" \
  | tr -d '\r' | sed 's/^/  /'
wine "$BIN/wayguard_ctl.exe" end
wait_for_end "the monitor" 60 "$MONITOR_PID"
LOG_FILE="$WINEPREFIX/drive_c/ProgramData/Velmora/Tarnwall/connections.log"
echo "  the connection log says so too:"
grep -a NEWS.EXE "$LOG_FILE" | tr -d '\r' | sed 's/^/  /' || echo "  (no line: this set logs no allowed connections)"

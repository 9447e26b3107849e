# Wayguard, the connection monitor, installed by 10-install-and-decide.sh: started, fed by the stand-in
# interceptor, its log shown, pictures taken, and ended as Windows ends it. Sourced by show.sh.

echo
echo "== Wayguard, the connection monitor"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
LOG_FILE="$WINEPREFIX/drive_c/ProgramData/Velmora/Tarnwall/connections.log"
rm -f "$LOG_FILE"
start_and_wait "the monitor" 60 monitor_is_up "$INSTALLED\\wayguard.exe"
MONITOR_PID=$STARTED_PID
echo "  the monitor runs behind its tray icon; connections go through the interceptor:"
DECIDED=$(wine "$INSTALLED\\interceptor.exe" \
  "in tcp 139 192.168.1.20 SYSTEM" \
  "in tcp 5432 192.168.1.20 DBSERVER.EXE" \
  "out tcp 80 203.0.113.7 IEXPLORE.EXE" \
  "out tcp 25 198.51.100.9 MAIL.EXE" | tr -d '\r')
echo "$DECIDED" | sed 's/^/  /'
# One line in the log for each attempt whose line was sent to the monitor.
SENT=$(echo "$DECIDED" | grep -c 'log: sent' || true)
wait_for "$SENT lines in the connection log" 30 "[ \$(cat '$LOG_FILE' 2>/dev/null | grep -c ' mode=') -ge $SENT ]"
echo "  the connection log ($LOG_FILE):"
tr -d '\r' < "$LOG_FILE" | sed 's/^/    /' || echo "    (empty)"

SHOTS="$TARNWALL_BUILD/screenshots"
wine "$BIN/wayguard_ctl.exe" show shot "$(winepath -w "$SHOTS/main-monitor-filter.bmp")" \
  advanced shot "$(winepath -w "$SHOTS/main-monitor-expanded.bmp")" \
  mode block shot "$(winepath -w "$SHOTS/main-monitor-block.bmp")"
echo "  switched to Block through the monitor; the interceptor now answers:"
wine "$INSTALLED\\interceptor.exe" "out tcp 80 203.0.113.7 IEXPLORE.EXE" | tr -d '\r' | sed 's/^/  /'
wine "$BIN/wayguard_ctl.exe" mode filter end
wait_for_end "the monitor" 60 "$MONITOR_PID"
echo "  the monitor took its quit path at the end of the session and has ended"

# Kindler, the setup wizard, as installed by 10-install-and-decide.sh: its pages driven by messages,
# a picture of each, Finish, and the rules it wrote. Sourced by show.sh.

echo
echo "== the setup wizard, installed with its provider lists"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
wine cmd.exe /c type "$INSTALLED\\PROVIDER.LST" | tr -d '\r' | sed 's/^/  /'
echo
echo "== Kindler run on the first provider, its buttons pressed by messages"
wine "$BIN/kindler_drive.exe" "$INSTALLED\\kindler.exe" "$(winepath -w "$TARNWALL_BUILD/screenshots")" 0 | tr -d '\r'
echo
echo "== the interceptor decides by the wizard's rules"
wine "$INSTALLED\\interceptor.exe" \
  "out tcp 80 203.0.113.7 iexplore.exe" \
  "out tcp 25 203.0.113.7 outlook.exe" \
  "out tcp 119 203.0.113.7 nlmail.exe" | tr -d '\r' || true

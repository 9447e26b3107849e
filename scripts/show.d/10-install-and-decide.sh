# The store, the installer and the stand-in interceptor. Sourced by show.sh.

INSTALLED='C:\Program Files\Velmora\Tarnwall'
# A reinstall keeps the user's rules, so a second showing would start from what the first
# one added (and the prompt it shows would never come). Each showing starts from the
# installed starting set: the product's keys go, the install writes them anew.
wine reg delete 'HKLM\SOFTWARE\Velmora' /f >/dev/null 2>&1 || true

echo "== installing Tarnwall silently into the private Wine prefix"
wine "$BIN/tarnwall-setup.exe" /S
wait_for "the installed interceptor.exe" 60 "test -f '$WINEPREFIX/drive_c/Program Files/Velmora/Tarnwall/interceptor.exe'"
wine cmd.exe /c dir /b "$INSTALLED" | tr -d '\r' | sed 's/^/  /'

echo
echo "== a few rules added the way the setup wizard adds them"
wine "$BIN/add_rules.exe" \
  "Web Browser;IEXPLORE.EXE;HTTP;80;tcp;out;allow;all" \
  "Web Browser;IEXPLORE.EXE;HTTPS;443;tcp;out;allow;all" \
  "Mail;MAIL.EXE;SMTP;25;tcp;out;allow;all" \
  "File Sharing;SYSTEM;NetBIOS;139;tcp;in;deny;all" \
  "Local Database;DBSERVER.EXE;Database;5432;tcp;in;allow;local" | tr -d '\r'

echo
echo "== the installed rule set, with the rules just added (interceptor.exe --rules)"
wine "$INSTALLED\\interceptor.exe" --rules | tr -d '\r' | sed 's/^/  /'

echo
echo "== connection attempts through the stand-in interceptor, decided by the rule set above"
wine "$INSTALLED\\interceptor.exe" \
  "out tcp 80 203.0.113.7 IEXPLORE.EXE" \
  "out tcp 80 203.0.113.7 iexplore.exe" \
  "out tcp 8080 203.0.113.7 IEXPLORE.EXE" \
  "in tcp 139 192.168.1.20 SYSTEM" \
  "in tcp 5432 127.0.0.1 DBSERVER.EXE" \
  "in tcp 5432 192.168.1.20 DBSERVER.EXE" \
  "out udp 53 192.168.1.1 NSLOOKUP.EXE" | tr -d '\r'

echo
echo "== a malformed attempt, on purpose: the interceptor refuses it and says why"
echo "  attempt: \"sideways tcp 80 1.2.3.4 X.EXE\""
wine "$INSTALLED\\interceptor.exe" "sideways tcp 80 1.2.3.4 X.EXE" 2>&1 | tr -d '\r' | sed 's/^/  /' || true

echo
echo "== which rule decided this? (--explain)"
wine "$INSTALLED\\interceptor.exe" --explain "out tcp 443 198.51.100.4 IEXPLORE.EXE" | tr -d '\r'

echo
echo "== apart from the installed set: store_demo.exe builds a small rule set of its own in fresh lists"
wine "$BIN/store_demo.exe" | tr -d '\r' | sed 's/^/  /'

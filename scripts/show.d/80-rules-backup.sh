# Backing up the rule set and bringing it back with rules.exe: an export of the installed
# set, a change made afterwards, the backup imported over it, a second import that finds
# nothing to change, and a damaged copy that is refused. Sourced by show.sh.

echo
echo "== backing up the rule set and bringing it back (rules.exe)"
INSTALLED=${INSTALLED:-'C:\Program Files\Velmora\Tarnwall'}
BACKUP_WIN='C:\tarnwall-rules.txt'
BACKUP="$WINEPREFIX/drive_c/tarnwall-rules.txt"
DAMAGED_WIN='C:\tarnwall-rules-damaged.txt'
DAMAGED="$WINEPREFIX/drive_c/tarnwall-rules-damaged.txt"
rm -f "$BACKUP" "$DAMAGED"

echo "  rules export $BACKUP_WIN"
wine "$INSTALLED\\rules.exe" export "$BACKUP_WIN" | tr -d '\r' | sed 's/^/  /'
wait_for "the exported $BACKUP" 30 "test -s '$BACKUP'"
echo "  the file (UTF-8 text, one entry a line; rules name their entries by label):"
sed 's/^/    /' "$BACKUP"

echo "  an afternoon of changes: a chat program is let out, the mail rule changes to deny"
wine "$BIN/add_rules.exe" "Chat;CHAT.EXE;IRC;6667;tcp;out;allow;all" "Mail;MAIL.EXE;SMTP;25;tcp;out;deny;all" \
  | tr -d '\r' | sed 's/^/  /'
wine "$INSTALLED\\interceptor.exe" --ask-ms 1000 "out tcp 6667 198.51.100.30 CHAT.EXE" "out tcp 25 198.51.100.9 MAIL.EXE" \
  | tr -d '\r' | sed 's/^/  /'

echo "  rules import $BACKUP_WIN: the set as it was in the morning"
wine "$INSTALLED\\rules.exe" import "$BACKUP_WIN" | tr -d '\r' | sed 's/^/  /'
wine "$INSTALLED\\interceptor.exe" --ask-ms 1000 "out tcp 6667 198.51.100.30 CHAT.EXE" "out tcp 25 198.51.100.9 MAIL.EXE" \
  | tr -d '\r' | sed 's/^/  /'
echo "  the same import again changes nothing:"
wine "$INSTALLED\\rules.exe" import "$BACKUP_WIN" | tr -d '\r' | sed 's/^/  /'

echo "  a damaged copy (a rule naming an application the file does not define) is refused whole:"
awk 'NR == 12 { print "rule out allow log p1 a0 x42" } { print }' "$BACKUP" > "$DAMAGED"
wine "$INSTALLED\\rules.exe" import "$DAMAGED_WIN" 2>&1 | tr -d '\r' | sed 's/^/  /' || true
wine "$INSTALLED\\rules.exe" check "$BACKUP_WIN" | tr -d '\r' | sed 's/^/  /'

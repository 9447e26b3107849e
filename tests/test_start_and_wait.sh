#!/usr/bin/env bash
# scripts/start-and-wait.sh, the main job's waits: each waits until its check holds,
# fails naming what it waited for when the time is up or the program it started ended,
# and hands back the started program's process id. Native commands stand in for Wine.
set -u
source "$(dirname "$0")/../scripts/start-and-wait.sh"
wine() { "$@"; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# A file that comes while waiting is found.
(until [ -e "$dir/go" ]; do sleep 0.05; done; touch "$dir/marker") &
touch "$dir/go"
wait_for "the marker file" 30 "test -f '$dir/marker'" || fail "the marker file was not found"

# A check that never holds: the wait ends, naming what it waited for.
if wait_for "a line that never comes" 1 false 2>"$dir/err"; then fail "a wait for nothing succeeded"; fi
grep -q "gave up waiting for a line that never comes after 1 s" "$dir/err" || fail "the message was: $(cat "$dir/err")"

# A program that ends before it is ready fails the wait at once, naming what was awaited.
if start_and_wait "its window" 20 false true 2>"$dir/err"; then fail "a program that ended was taken as ready"; fi
grep -q "the program ended before its window was there" "$dir/err" || fail "the message was: $(cat "$dir/err")"

# A program that lives is waited for and its process id handed back.
start_and_wait "the program's file" 30 "test -f '$dir/ready'" bash -c "touch '$dir/ready'; exec sleep 60" ||
  fail "a living program was not waited for"
kill -0 "$STARTED_PID" 2>/dev/null || fail "STARTED_PID does not name the living program"

# Its end is waited for, bounded, and nothing else is: a wait for a program that lives on
# gives up naming it, whatever else runs in the background meanwhile.
if wait_for_end "the living program" 1 "$STARTED_PID" 2>"$dir/err"; then fail "a living program was taken as ended"; fi
grep -q "gave up waiting for the end of the living program after 1 s" "$dir/err" || fail "the message was: $(cat "$dir/err")"
bash -c "exec sleep 60" &
bystander=$!
kill "$STARTED_PID" 2>/dev/null
wait_for_end "the program" 30 "$STARTED_PID" || fail "the program's end was not seen"
kill -0 "$bystander" 2>/dev/null || fail "the bystander was waited for or ended"
kill "$bystander" 2>/dev/null

[ "$failures" -eq 0 ] && echo "start-and-wait: all checks passed"
exit "$failures"

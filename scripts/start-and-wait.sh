# The main job's one way to start a program and wait until it is ready, and to wait for
# a file: bounded waits that look again every tenth of a second and stop the showing
# with a message naming what they waited for. No fixed pauses. Sourced by show.sh for
# every piece of show.d/.

# poll_until WHAT SECONDS CHECK [PID]: runs the shell command CHECK until it succeeds.
# Fails after SECONDS, or as soon as process PID (when given) has ended.
poll_until() {
  local what=$1 seconds=$2 check=$3 pid=${4:-}
  local deadline=$((SECONDS + seconds))
  until eval "$check" >/dev/null 2>&1; do
    if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
      echo "  the program ended before $what was there" >&2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "  gave up waiting for $what after $seconds s" >&2
      return 1
    fi
    sleep 0.1
  done
}

# wait_for WHAT SECONDS CHECK: waits for something no program of ours announces (a file,
# a line in it).
wait_for() { poll_until "$1" "$2" "$3"; }

# start_and_wait WHAT SECONDS CHECK PROGRAM [ARGS...]: starts PROGRAM under Wine in the
# background, its process id in STARTED_PID (for `wait`), and waits until CHECK says
# WHAT is there.
start_and_wait() {
  local what=$1 seconds=$2 check=$3
  shift 3
  wine "$@" >/dev/null 2>&1 &
  STARTED_PID=$!
  poll_until "$what" "$seconds" "$check" "$STARTED_PID"
}

# wait_for_end WHAT SECONDS PID: waits until the background job PID (a program started
# here) has ended, and collects it. A bare `wait` would also wait for the session's
# desktop anchor, which lives until the session ends.
wait_for_end() {
  local what=$1 seconds=$2 pid=$3
  poll_until "the end of $what" "$seconds" "! kill -0 $pid" || return 1
  wait "$pid" 2>/dev/null || true
}

# The checks the pieces share: a running monitor (wayguard_ctl waits a while itself), and a
# visible window whose title holds the text given.
monitor_is_up() { wine "$BIN/wayguard_ctl.exe" wait; }
window_is_up() { wine "$BIN/window_shot.exe" "$1" --seconds 1; }

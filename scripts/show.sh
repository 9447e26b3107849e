#!/usr/bin/env bash
# Inside a display: one Wine session that demonstrates the store, installs the
# system silently and sends a few connection attempts through the interceptor.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/start-and-wait.sh"
BIN="$TARNWALL_BUILD/bin"
wine_session_begin
show_end() {
  wine_session_end
  for shot in "$TARNWALL_BUILD"/screenshots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
  done
}
trap show_end EXIT
mkdir -p "$TARNWALL_BUILD/screenshots"

# Each part of the system shows itself in a piece of its own, in the order of the names.
for piece in "$TARNWALL_ROOT"/scripts/show.d/*.sh; do
  source "$piece"
done

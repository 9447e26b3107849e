#!/usr/bin/env bash
# Inside a display: one Wine session for the whole test run. Tests share the named
# lists and the prefix's registry, so they run one after another.
set -uo pipefail
export TARNWALL_PREFIX_NAME=${TARNWALL_PREFIX_NAME:-wineprefix-tests}
source "$(dirname "$0")/common.sh"
wine_session_begin
cd "$TARNWALL_BUILD"
# The sweeps (label "sweep") are long runs of what the quick tests check on a sample;
# scripts/bench.sh runs them.
ctest --output-on-failure --timeout 600 -LE sweep "$@"
status=$?
wine_session_end
# Tests leave their pictures as BMP files; PNG is what anyone can open.
for shot in "$TARNWALL_BUILD"/screenshots/*.bmp; do
  [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
exit $status

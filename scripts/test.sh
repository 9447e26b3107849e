#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
export TARNWALL_PREFIX_NAME=${TARNWALL_PREFIX_NAME:-wineprefix-tests}
source "$(dirname "$0")/common.sh"
ensure_packages
mkdir -p "$TARNWALL_BUILD"
build_all
status=0
in_display bash "$TARNWALL_ROOT/scripts/run-tests.sh" || status=$?
# The wizard's list readers, natively under the address and undefined-behaviour checks:
# a fixed number of inputs from a fixed seed, so every run is the same run.
echo "== fuzzing the wizard's list readers: 10000 inputs"
TARNWALL_BUILD="$TARNWALL_BUILD" bash "$TARNWALL_ROOT/wizard/fuzz/run.sh" -runs=10000 || status=1
# The registry's record decoding and the interceptor's attempt parser, the same way.
echo "== fuzzing the registry record decoding for 5 seconds"
TARNWALL_BUILD="$TARNWALL_BUILD" bash "$TARNWALL_ROOT/store/fuzz/run.sh" 5 || status=1
echo "== fuzzing the interceptor's attempt parser for 5 seconds"
TARNWALL_BUILD="$TARNWALL_BUILD" bash "$TARNWALL_ROOT/tools/fuzz/run.sh" 5 || status=1
echo "== fuzzing the rule-set file reader of rules.exe: 20,000 inputs, the same on every run"
TARNWALL_BUILD="$TARNWALL_BUILD" bash "$TARNWALL_ROOT/tools/rules_fuzz/run.sh" -runs=20000 || status=1
exit $status

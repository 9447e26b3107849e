#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
export TARNWALL_PREFIX_NAME=${TARNWALL_PREFIX_NAME:-wineprefix-tests}
source "$(dirname "$0")/common.sh"
ensure_packages
mkdir -p "$TARNWALL_BUILD"
build_all
in_display bash "$TARNWALL_ROOT/scripts/run-tests.sh"

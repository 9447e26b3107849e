#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, installs Tarnwall
# silently into the private Wine prefix and shows it at work.
set -euo pipefail
source "$(dirname "$0")/common.sh"
ensure_packages
mkdir -p "$TARNWALL_BUILD"
build_all
in_display bash "$TARNWALL_ROOT/scripts/show.sh"

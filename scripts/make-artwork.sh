#!/usr/bin/env bash
# Draws every icon and bitmap of the three programs again with ImageMagick: each program's
# pictures come from its own script, resources/art/draw-*.sh, into resources/.
set -euo pipefail
cd "$(dirname "$0")/.."
for script in resources/art/draw-*.sh; do
  [ -e "$script" ] || continue
  echo "== $script"
  bash "$script"
done

#!/usr/bin/env bash
# Builds and runs every benchmark in one Wine session; each prints its own figures.
set -euo pipefail
export TARNWALL_PREFIX_NAME=${TARNWALL_PREFIX_NAME:-wineprefix-bench}
source "$(dirname "$0")/common.sh"
if [ "${1:-}" != "--inside" ]; then
  ensure_packages
  mkdir -p "$TARNWALL_BUILD"
  build_all
  in_display bash "$0" --inside
  exit $?
fi
wine_session_begin
trap wine_session_end EXIT
cd "$TARNWALL_BUILD/bin"
for bench in bench_*.exe; do
  echo "== $bench"
  wine "./$bench" | tr -d '\r'
  echo
done
# The long sweeps the test command leaves out: what its quick tests sample, in full.
echo "== sweeps (ctest -L sweep)"
(cd "$TARNWALL_BUILD" && ctest --output-on-failure --timeout 1200 -L sweep)

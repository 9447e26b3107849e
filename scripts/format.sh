#!/usr/bin/env bash
# Lays out every C++ source of ours in the one house style (.clang-format). With --check,
# changes nothing and fails naming the files that differ.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  bad=0
  for f in $files; do
    clang-format --style=file "$f" | cmp -s - "$f" || { echo "not in the house layout: $f"; bad=1; }
  done
  exit $bad
fi
clang-format --style=file -i $files

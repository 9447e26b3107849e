#!/usr/bin/env bash
# Builds Kindler's list readers natively as a libFuzzer target (clang, ASan, UBSan) and
# runs it: `run.sh SECONDS` for a time, `run.sh -runs=N` for a number of inputs.
# New inputs go to a working corpus in the build folder; the seeds in the repo stay as they are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${TARNWALL_BUILD:-$here/../../build}/fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$here/fuzz_lists.cpp" "$here/../lists.cpp" -o "$out/fuzz_lists"
case "${1:-5}" in
  -*) limit="$1" ;;
  *) limit="-max_total_time=${1:-5}" ;;
esac
# -max_len: lists are small; longer inputs only slow the search down.
"$out/fuzz_lists" "$limit" -max_len=4096 -print_final_stats=1 "$out/corpus" "$here/corpus" 2>"$out/fuzz.log" \
  || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2

#!/usr/bin/env bash
# Builds the registry record decoding natively as a libFuzzer target (clang, ASan, UBSan)
# and runs it: `run.sh SECONDS` for a time, `run.sh -runs=N` for a number of inputs.
# New inputs go to a working corpus in the build folder; the seeds in the repo stay as they are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${TARNWALL_BUILD:-$here/../../build}/fuzz/records
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$here/fuzz_records.cpp" -o "$out/fuzz_records"
case "${1:-5}" in
  -*) limit="$1" ;;
  *) limit="-max_total_time=${1:-5}" ;;
esac
# -max_len: a record is at most 92 bytes and a value name 48; longer inputs add nothing.
"$out/fuzz_records" "$limit" -max_len=256 -print_final_stats=1 "$out/corpus" "$here/corpus" 2>"$out/fuzz.log" \
  || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2

#!/usr/bin/env bash
# Builds the interceptor's attempt parser natively as a libFuzzer target (clang, ASan, UBSan)
# and runs it: `run.sh SECONDS` for a time, `run.sh -runs=N` for a number of inputs.
# New inputs go to a working corpus in the build folder; the seeds in the repo stay as they are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${TARNWALL_BUILD:-$here/../../build}/fuzz/attempt
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$here/../../store" "$here/fuzz_attempt.cpp" "$here/../attempt_parse.cpp" -o "$out/fuzz_attempt"
case "${1:-5}" in
  -*) limit="$1" ;;
  *) limit="-max_total_time=${1:-5}" ;;
esac
"$out/fuzz_attempt" "$limit" -max_len=1024 -print_final_stats=1 "$out/corpus" "$here/corpus" 2>"$out/fuzz.log" \
  || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2

#!/usr/bin/env bash
# Builds the rule-set file reader of rules.exe natively as a libFuzzer target (clang,
# ASan, UBSan) and runs it: `run.sh SECONDS` for a time, `run.sh -runs=N` for a number
# of inputs. New inputs go to a working corpus in the build folder; the seeds in the
# repository stay as they are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${TARNWALL_BUILD:-$here/../../build}/fuzz-rules
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$here/fuzz_rules_file.cpp" "$here/../rules_format.cpp" -o "$out/fuzz_rules_file"
case "${1:-5}" in
  -*) limit="$1" ;;
  *) limit="-max_total_time=${1:-5}" ;;
esac
# -seed: the same inputs on every run of the test command, so a failure can be repeated.
"$out/fuzz_rules_file" "$limit" -seed=20 -max_len=8192 -dict="$here/rules.dict" -print_final_stats=1 -artifact_prefix="$out/" \
  "$out/corpus" "$here/corpus" 2>"$out/fuzz.log" || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2

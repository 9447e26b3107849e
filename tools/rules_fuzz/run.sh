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
# A number of inputs is the reproducible form: the same seed, the repository's seeds and
# an emptied working corpus give the same inputs on every run. A time keeps what it found.
case "${1:-5}" in
  -*) limit="$1"; rm -rf "$out/corpus"; mkdir -p "$out/corpus" ;;
  *) limit="-max_total_time=${1:-5}" ;;
esac
"$out/fuzz_rules_file" "$limit" -seed=20 -max_len=8192 -dict="$here/rules.dict" -print_final_stats=1 -artifact_prefix="$out/" \
  "$out/corpus" "$here/corpus" 2>"$out/fuzz.log" || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2

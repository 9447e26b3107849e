#!/usr/bin/env bash
# Builds Kindler's list readers natively as a libFuzzer target (clang, ASan, UBSan) and
# runs it: `run.sh -runs=N` for a number of inputs (the test command's way), `run.sh
# SECONDS` for a time.
#
# Reproducible: a fixed random seed, and a fresh corpus made of the seeds in the repo and
# the limit seeds written below, in a temporary folder removed afterwards; nothing the
# run finds is kept to change the next one. A crash leaves its input in the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${TARNWALL_BUILD:-$here/../../build}/fuzz
mkdir -p "$out"
clang++ -std=c++20 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$here/fuzz_lists.cpp" "$here/../lists.cpp" -o "$out/fuzz_lists"

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir "$corpus/seeds" "$corpus/found"
cp "$here/corpus/"* "$corpus/seeds/"
# Seeds at each limit of the tables: a provider list, then the lists it names.
line() { printf 'G%s,S,a%s,P,%s,TCP,OUT,ALL\r\n' "$1" "$2" "$3"; }
providers() { for list in "$@"; do printf '%s,I.ICO,P %s\r\n' "$list" "$list"; done; }
# 52 groups in one list.
{ providers A.LST; printf '\036'; for g in $(seq 0 51); do line "$g" "$g" $((g + 1)); done; } >"$corpus/seeds/limit_groups"
# One list of 210 rules named by five providers: 1,050 rules.
{ providers A.LST A.LST A.LST A.LST A.LST; printf '\036'
  for r in $(seq 0 209); do line $((r % 7)) "$r" $((r + 1)); done; } >"$corpus/seeds/limit_rules"
# Two lists of 30 groups each: 60 once both are chosen.
{ providers A.LST B.LST; printf '\036'
  for g in $(seq 0 29); do line "A$g" "$g" $((g + 1)); done; printf '\036'
  for g in $(seq 0 29); do line "B$g" "$g" $((g + 1)); done; } >"$corpus/seeds/limit_two_lists"
# Two lists in shared groups, each named three times: cut at the 1,000th rule.
{ providers A.LST B.LST A.LST B.LST A.LST B.LST; printf '\036'
  for r in $(seq 0 169); do line $((r % 9)) "$r" $((r + 1)); done; printf '\036'
  for r in $(seq 0 169); do line $((r % 11)) "$r" $((r + 2)); done; } >"$corpus/seeds/limit_rules_shared"

case "${1:-5}" in
  -*) limit="$1" ;;
  *) limit="-max_total_time=${1:-5}" ;;
esac
# -max_len: room for the limit seeds (up to 10 KB), so their mutations reach the limits too.
"$out/fuzz_lists" "$limit" -seed=1 -max_len=12288 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$out/" \
  "$corpus/found" "$corpus/seeds" 2>"$out/fuzz.log" \
  || { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2

#!/usr/bin/env bash
# build_all must fail when the compiler does: a throwaway project whose one source does
# not compile is built through it, as the test command builds (errexit and pipefail on),
# and once more from an `if`, where errexit does not apply. A project that does compile
# must still pass, or the check would prove nothing.
set -euo pipefail
common="$(cd "$(dirname "$0")/../scripts" && pwd)/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_project() {  # folder, source text
  mkdir -p "$1/cmake"
  # build_all passes the project's cross toolchain; here the host compiler keeps it quick
  # (clang, which the test command installs).
  if command -v clang >/dev/null; then
    echo 'set(CMAKE_C_COMPILER clang)' >"$1/cmake/mingw-w64-x86_64.cmake"
  else
    : >"$1/cmake/mingw-w64-x86_64.cmake"
  fi
  printf 'cmake_minimum_required(VERSION 3.16)\nproject(probe C)\nadd_executable(probe probe.c)\n' >"$1/CMakeLists.txt"
  printf '%s\n' "$2" >"$1/probe.c"
}
make_project "$work/good" 'int main(void) { return 0; }'
make_project "$work/broken" 'int main(void) { return undeclared_name; }'

# Runs build_all on a project: as a plain command under errexit, or as an `if` condition.
build() {  # folder, plain|if
  bash -c '
    set -euo pipefail
    source "$1"
    TARNWALL_ROOT=$2 TARNWALL_BUILD=$2/build
    if [ "$3" = plain ]; then build_all; exit 0; fi
    if build_all; then exit 0; else exit 1; fi' probe "$common" "$1" "$2" >"$work/log" 2>&1
}

failures=0
check() {  # what, expected status (0 or "fail"), folder, mode
  local status=0
  build "$3" "$4" || status=$?
  if { [ "$2" = 0 ] && [ "$status" != 0 ]; } || { [ "$2" = fail ] && [ "$status" = 0 ]; }; then
    echo "FAILED: $1 (build_all returned $status)"
    sed 's/^/  | /' "$work/log"
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}
check "a project that compiles builds" 0 "$work/good" plain
check "a broken compile fails build_all under errexit" fail "$work/broken" plain
check "a broken compile fails build_all as a condition" fail "$work/broken" if
echo "$((3 - failures)) passed, $failures failed"
[ "$failures" = 0 ]

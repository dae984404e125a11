#!/usr/bin/env bash
# run.sh - builds quon's fuzz harnesses with clang and runs them.
#
#   tests/fuzz/run.sh smoke [seconds]          each harness for `seconds`
#                                              (default 20) on a copy of its
#                                              seeds; any finding fails
#   tests/fuzz/run.sh campaign seconds [name..] each harness (or the named
#                                              ones) in turn, at low priority,
#                                              keeping its corpus between runs
#   tests/fuzz/run.sh coverage [name..]        line coverage of each target
#                                              file over the campaign corpus
#
# Folders (under the checkout unless absolute): the fuzz build in
# $FUZZ_BUILD (build-fuzz), the coverage build in $FUZZ_BUILD-cov, and
# everything a campaign makes in $FUZZ_OUT (fuzz-out): corpus/<name>/ the
# inputs found, findings/<name>/ the inputs that broke a promise or crashed
# (crash-*, timeout-*, oom-*), logs/<name>.log the fuzzer's output.
# A finding replays with: $FUZZ_BUILD/tests/fuzz/fuzz_<name> <file>, the
# file given by its absolute path (a harness works in a folder of its own).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
abs() { case $1 in /*) echo "$1" ;; *) echo "$top/$1" ;; esac; }
build=$(abs "${FUZZ_BUILD:-build-fuzz}")
out=$(abs "${FUZZ_OUT:-fuzz-out}")
cxx=${FUZZ_CXX:-clang++-14}
seeds=$top/tests/fuzz/corpus
dict=$top/tests/fuzz/quon.dict
prio=(env) # campaigns run at low priority: nice -n 15
all=(words readreal flags stations function terrain param unformatted)

# The reader each harness is aimed at, for the coverage report.
declare -A target=(
  [words]=text/utl.cpp [readreal]=text/utl.cpp [flags]=inputs/flags.cpp
  [stations]=inputs/stations.cpp [function]=inputs/functions.cpp
  [terrain]=inputs/terrain.cpp [param]=run/keywords.cpp
  [unformatted]=period/arrays.cpp)

# The harnesses write their inputs to files in a private folder under
# TMPDIR: a memory file system keeps that from waiting on the disk.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
TMPDIR=$(mktemp -d "$shm/quon-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

configure() { # build dir, extra cmake options...
  local dir=$1
  shift
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUON_FUZZ=ON "$@" >/dev/null
  cmake --build "$dir" >/dev/null
}

# Runs one harness: name, seconds, corpus folder, findings folder, log file.
# Inputs that take 25 s or more count as findings (a hang). quon's own
# messages on stderr are dropped (-close_fd_mask=2: millions of "Invalid
# ..." lines); the fuzzer's output and every finding's report stay.
fuzz_one() {
  local name=$1 secs=$2 corpus=$3 findings=$4 log=$5
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  "${prio[@]}" "$build/tests/fuzz/fuzz_$name" -max_total_time="$secs" -timeout=25 \
    -dict="$dict" -artifact_prefix="$findings/" -print_final_stats=1 \
    -close_fd_mask=2 "$corpus" "$seeds/$name" >"$log" 2>&1
}

summary() { # log file: executions, speed and coverage at the end
  awk '/^#[0-9]+.*DONE/ { s = $0 } END { print s }' "$1" |
    sed -E 's/^#([0-9]+)[[:space:]]+DONE[[:space:]]+/executions \1, /'
}

mode=${1:-smoke}
shift || true
case $mode in
smoke)
  secs=${1:-20}
  configure "$build"
  work=$TMPDIR/smoke
  failed=0
  for name in "${all[@]}"; do
    if fuzz_one "$name" "$secs" "$work/corpus/$name" "$work/findings/$name" \
      "$work/$name.log"; then
      printf 'fuzz %-12s ok   %s\n' "$name" "$(summary "$work/$name.log")"
    else
      failed=1
      printf 'fuzz %-12s FAILED\n' "$name"
      grep -E 'fuzz check failed|ERROR|runtime error|SUMMARY|Test unit written' \
        "$work/$name.log" | head -20
    fi
  done
  exit "$failed"
  ;;
campaign)
  secs=${1:?seconds per harness}
  shift
  names=("$@")
  ((${#names[@]})) || names=("${all[@]}")
  configure "$build"
  prio=(nice -n 15)
  for name in "${names[@]}"; do
    status=ok
    fuzz_one "$name" "$secs" "$out/corpus/$name" "$out/findings/$name" \
      "$out/logs/$name.log" || status=FINDING
    printf 'fuzz %-12s %-8s %s\n' "$name" "$status" "$(summary "$out/logs/$name.log")"
  done
  ;;
coverage)
  names=("$@")
  ((${#names[@]})) || names=("${all[@]}")
  cov=$build-cov
  configure "$cov" -DQUON_FUZZ_COVERAGE=ON
  mkdir -p "$out/coverage"
  for name in "${names[@]}"; do
    prof=$out/coverage/$name
    rm -f "$prof".*
    LLVM_PROFILE_FILE="$prof.profraw" "$cov/tests/fuzz/fuzz_$name" -runs=0 \
      "$out/corpus/$name" "$seeds/$name" >/dev/null 2>&1 || true
    llvm-profdata-14 merge -sparse "$prof.profraw" -o "$prof.profdata"
    printf 'coverage %-12s %-22s ' "$name" "${target[$name]}"
    llvm-cov-14 report "$cov/tests/fuzz/fuzz_$name" \
      -instr-profile="$prof.profdata" "$top/${target[$name]}" |
      awk '/^TOTAL/ { print "regions " $4 ", functions " $7 ", lines " $10 }'
  done
  ;;
*)
  echo "usage: $0 smoke [seconds] | campaign seconds [name..] | coverage [name..]" >&2
  exit 2
  ;;
esac

#!/usr/bin/env bash
# run.sh - quon's benchmarks in one command: the kernel micro-benchmarks,
# then whole runs on generated long scenarios (text and BIN cell array files,
# 10 and 40 transient years) timed against a plain Fortran program doing the
# same file work, and against the floor: the time merely to read the run's
# input files whole and write as many bytes as the run wrote (bench/floor).
#
# Usage: bash bench/run.sh [build dir]   (default build-bench, Release)
# Environment: QUON_BENCH_YEARS (default "10 40") the transient years of the
# whole runs; QUON_BENCH_KERNELS=0 skips the micro-benchmarks;
# QUON_BENCH_MF6=0 skips the cost of the MODFLOW 6 files (each run timed
# QUON_BENCH_REPEAT times, default 3, without and with MF6, alternately; the
# ratio is of the medians).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUON_BENCH=ON -DQUON_TESTS=OFF >/dev/null
cmake --build "$build" >/dev/null
build=$(cd "$build" && pwd)

echo "== Machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "$(g++ --version | head -1)"
echo

if [ "${QUON_BENCH_KERNELS:-1}" != 0 ]; then
  echo "== Kernels"
  "$build/bench/quon_bench" --benchmark_min_time=0.2 2>/dev/null
  echo
fi

work=$(mktemp -d /tmp/quon-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The baseline's plan: the cell array files a run reads, in quon's order
# (missing ones skipped), and one write step per period of the same four
# RCH arrays quon writes (the year's recharge grid comes from the store
# files quon wrote).
plan() {
  local dir=$1 first=$2 last=$3 steady=$4 y m s l k
  local states=(co ks ne)
  if [ "$steady" -gt 0 ]; then
    echo z
    for s in "${states[@]}"; do
      [ -f "$dir/$s/steady.mi" ] && echo "r $dir/$s/steady.mi"
      [ -f "$dir/$s/steady.pmp" ] && echo "r $dir/$s/steady.pmp"
      k=2
      for l in rcg rcs rcc; do
        [ -f "$dir/$s/steady.$l" ] && echo "c $k $dir/$s/steady.$l"
        k=$((k + 1))
      done
    done
    echo w
  fi
  for ((y = first; y <= last; y++)); do
    for l in agw asw aco; do
      for s in "${states[@]}"; do
        [ -f "$dir/$s/$y.$l" ] && echo "r $dir/$s/$y.$l"
      done
    done
    [ -f "$dir/store/$y.rch" ] && echo "c 1 $dir/store/$y.rch"
    for m in 01 02 03 04 05 06 07 08 09 10 11 12; do
      echo z
      for s in "${states[@]}"; do
        [ -f "$dir/$s/$y.mi" ] && echo "r $dir/$s/$y.mi"
        [ -f "$dir/$s/$y.$m.pmp" ] && echo "r $dir/$s/$y.$m.pmp"
        k=2
        for l in rcg rcs rcc; do
          [ -f "$dir/$s/$y.$m.$l" ] && echo "c $k $dir/$s/$y.$m.$l"
          k=$((k + 1))
        done
      done
      echo w
    done
  done
  return 0
}

# seconds and peak kilobytes of one command, from /usr/bin/time -v
timed() {
  local log=$1
  shift
  /usr/bin/time -v "$@" >"$log.out" 2>"$log.time" || {
    cat "$log.out" "$log.time" >&2
    return 1
  }
  local wall rss cpu
  wall=$(grep 'Elapsed (wall clock)' "$log.time" | awk '{print $NF}')
  rss=$(grep 'Maximum resident set size' "$log.time" | awk '{print $NF}')
  cpu=$(awk -F: '/User time|System time/ { s += $2 } END { print s }' "$log.time")
  # m:ss.cc to seconds
  echo "$wall" | awk -F: '{ if (NF == 3) print $1*3600+$2*60+$3; else print $1*60+$2 }' | tr '\n' ' '
  echo "$rss $cpu"
}

# The floor's list: every input file of the run (the cell array files of the
# baseline's plan, less the store files quon itself writes, and the files of
# the run folder older than quon's run), then every file quon's run wrote,
# by size (names flattened into one folder).
floor_list() {
  local dir=$1 stamp=$2
  awk '$1 == "r" { print "r " $2 } $1 == "c" { print "r " $3 }' "$work/plan" | grep -v "^r $dir/store/" || true
  find "$dir" -maxdepth 1 -type f ! -newer "$stamp" ! -name "$(basename "$stamp")" -printf 'r %p\n'
  find "$dir" -type f -newer "$stamp" -printf 'w %s %P\n' | tr / _
}

printf '%-16s %7s %6s %6s %9s %7s %9s %7s %7s %7s %7s %7s\n' run periods "quon s" "cpu s" "ms/period" "peak MB" \
  "Fortran s" "F/quon" "F cpu" "floor s" "q/floor" "q/f cpu"
for mode in text bin; do
  for years in ${QUON_BENCH_YEARS:-10 40}; do
    d=$work/$mode-$years
    binflag=()
    [ "$mode" = bin ] && binflag=(--bin)
    "$build/tools/gen_scenario" --out "$d" --seed 7 --start-year 1950 --years "$years" \
      --steady-years 2 --stations 128 --drift 3 --rch 4 --annpump --subareas "${binflag[@]}" >/dev/null
    # Let the generated files reach the disk first, and give quon one run to
    # warm the file cache, so that neither program pays for the generator.
    sync
    (cd "$d" && "$build/quon" quon.par >/dev/null 2>&1)
    touch "$d/.bench-stamp"
    read -r qs qkb qcpu < <(cd "$d" && timed "$work/q" "$build/quon" quon.par)
    periods=$((1 + 12 * years))
    plan "$d" 1950 $((1950 + years - 1)) 2 >"$work/plan"
    fmode=""
    [ "$mode" = bin ] && fmode=bin
    read -r fs _ fcpu < <(timed "$work/f" "$build/bench/baseline" "$work/plan" "$work/rows.txt" $fmode)
    # The floor of the same run, warmed once like quon (its output files
    # then exist, as quon's did).
    floor_list "$d" "$d/.bench-stamp" >"$work/floor.list"
    rm -rf "$work/floor" && mkdir "$work/floor"
    "$build/bench/floor" "$work/floor.list" "$work/floor" >/dev/null
    read -r ls _ lcpu < <(timed "$work/l" "$build/bench/floor" "$work/floor.list" "$work/floor")
    awk -v n="$mode, $years years" -v p="$periods" -v q="$qs" -v qc="$qcpu" -v kb="$qkb" \
      -v f="$fs" -v fc="$fcpu" -v l="$ls" -v lc="$lcpu" \
      'BEGIN { printf "%-16s %7d %6.2f %6.2f %9.2f %7.1f %9.2f %6.1fx %6.1fx %7.2f %6.1fx %6.1fx\n", n, p, q, qc, 1000*q/p, kb/1024, f, f/q, fc/qc, l, q/l, qc/lc }'
    if [ "${QUON_BENCH_MF6:-1}" != 0 ]; then
      # The same run with MF6 files besides its MODFLOW-2005 files.
      sed '$a MF6 mf6/quon' "$d/quon.par" >"$d/mf6.par"
      mkdir -p "$d/mf6"
      (cd "$d" && "$build/quon" mf6.par >/dev/null 2>&1)
      : >"$work/mf6.times"
      for ((k = 0; k < ${QUON_BENCH_REPEAT:-3}; k++)); do
        read -r a _ ac < <(cd "$d" && timed "$work/q" "$build/quon" quon.par)
        read -r b _ bc < <(cd "$d" && timed "$work/q" "$build/quon" mf6.par)
        echo "$a $ac $b $bc" >>"$work/mf6.times"
      done
      med() { cut -d' ' -f"$1" "$work/mf6.times" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
      awk -v n="$mode, $years years" -v a="$(med 1)" -v ac="$(med 2)" -v b="$(med 3)" -v bc="$(med 4)" \
        'BEGIN { printf "%-16s %7.2f %6.2f %7.2f %6.2f %6.2fx %6.2fx\n", n, a, ac, b, bc, b/a, bc/ac }' >>"$work/mf6.rows"
    fi
    rm -rf "$d" "$work/rows.txt" "$work/floor"
  done
done

if [ -s "$work/mf6.rows" ]; then
  echo
  echo "== MF6 files: the same runs also writing MODFLOW 6 input (medians)"
  printf '%-16s %7s %6s %7s %6s %7s %7s\n' run "quon s" "cpu s" "MF6 s" "cpu s" ratio "cpu"
  cat "$work/mf6.rows"
fi

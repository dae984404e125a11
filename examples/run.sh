#!/usr/bin/env bash
# run.sh - makes a small example run folder with the scenario generator and
# runs quon in it: 2 steady years, 3 transient years, 24 stations, drift
# order 1, four RCH files; then, when Debian's Python has matplotlib, makes
# the run's picture report in examples/run/report. Builds nothing: build
# quon first. Exits with quon's status.
#
# Usage: examples/run.sh [--no-run] [build dir [run folder]]
#   --no-run: only write the input files (examples/pestpp/setup.sh)
#   build dir: default build; both relative to the checkout
#   run folder: default examples/run; replaced as a whole, so it must be
#   missing, empty or an earlier run folder (one holding quon.par)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
norun=0
if [ "${1:-}" = --no-run ]; then
  norun=1
  shift
fi
build=${1:-build}
case $build in /*) ;; *) build=$top/$build ;; esac
gen=$build/tools/gen_scenario
quon=$build/quon
for exe in "$gen" "$quon"; do
  if [ ! -x "$exe" ]; then
    echo "run.sh: $exe not found; build first, e.g." >&2
    echo "  cmake -S $top -B $build -G Ninja && ninja -C $build quon gen_scenario" >&2
    exit 1
  fi
done

run=${2:-$top/examples/run}
case $run in /*) ;; *) run=$top/$run ;; esac
if [ -d "$run" ] && [ -n "$(ls -A "$run")" ] && [ ! -f "$run/quon.par" ]; then
  echo "run.sh: $run is neither empty nor a run folder; not replacing it" >&2
  exit 1
fi
rm -rf "$run"
"$gen" --out "$run" --seed 1 --start-year 1950 --years 3 --steady-years 2 \
  --stations 24 --drift 1 --rch 4
[ "$norun" = 1 ] && exit 0
echo
echo "== quon quon.par (in $run)"
status=0
(cd "$run" && "$quon" quon.par) || status=$?
echo "exit status $status"
echo
echo "== Output files"
cd "$run"
ls -l fort.2 quon.wel ./*.rch ./*.csv funtable.txt terrain.plt quon/* store/* 2>/dev/null |
  awk '{ printf "%12s  %s\n", $5, $NF }'
echo
echo "== Budget table (fort.2), first columns"
cut -c1-85 fort.2
echo
echo "== Pictures (tools/quon-plot report)"
if [ "$status" -ne 0 ]; then
  echo "no report: quon ended with status $status"
elif /usr/bin/python3 -c "import matplotlib, numpy" 2>/dev/null; then
  "$top/tools/quon-plot" report "$run" -o "$run/report" --quon "$quon" ||
    echo "run.sh: the report failed (quon's run itself ended normally)" >&2
else
  echo "no report: /usr/bin/python3 has no matplotlib (apt-get install python3-matplotlib)"
fi
exit "$status"

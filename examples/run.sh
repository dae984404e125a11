#!/usr/bin/env bash
# run.sh - makes a small example run folder with the scenario generator and
# runs quon in it: 2 steady years, 3 transient years, 24 stations, drift
# order 1, four RCH files; then, when Debian's Python has matplotlib, makes
# the run's picture report in the run folder's report/. Builds nothing.
# Exits with quon's status.
#
# In a checkout it runs the programs of a build folder (build quon and
# gen_scenario first):
#   examples/run.sh [--no-run] [build dir [run folder]]
#   build dir: default build; both relative to the checkout
#   run folder: default examples/run
# Installed (share/doc/quon/examples/run.sh) it runs the installed quon,
# quon-gen-scenario and quon-plot of the bin/ beside share/:
#   bash /usr/share/doc/quon/examples/run.sh [--no-run] [run folder]
#   run folder: default quon-example, relative to the current folder
# --no-run: only write the input files (examples/pestpp/setup.sh)
# The run folder is replaced as a whole, so it must be missing, empty or an
# earlier run folder (one holding quon.par).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
norun=0
if [ "${1:-}" = --no-run ]; then
  norun=1
  shift
fi
absolute() { case $2 in /*) echo "$2" ;; *) echo "$1/$2" ;; esac }
if [ -f "$here/../CMakeLists.txt" ]; then
  top=$(cd "$here/.." && pwd)
  build=$(absolute "$top" "${1:-build}")
  gen=$build/tools/gen_scenario
  quon=$build/quon
  plot=$top/tools/quon-plot
  run=$(absolute "$top" "${2:-examples/run}")
  hint="build first, e.g.
  cmake -S $top -B $build -G Ninja && ninja -C $build quon gen_scenario"
else
  bin=$here/../../../../bin
  gen=$bin/quon-gen-scenario
  quon=$bin/quon
  plot=$bin/quon-plot
  run=$(absolute "$(pwd)" "${1:-quon-example}")
  hint="install the quon package"
fi
for exe in "$gen" "$quon"; do
  if [ ! -x "$exe" ]; then
    echo "run.sh: $exe not found; $hint" >&2
    exit 1
  fi
done

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
echo "== Pictures (quon-plot report)"
if [ "$status" -ne 0 ]; then
  echo "no report: quon ended with status $status"
elif /usr/bin/python3 -c "import matplotlib, numpy" 2>/dev/null; then
  "$plot" report "$run" -o "$run/report" ||
    echo "run.sh: the report failed (quon's run itself ended normally)" >&2
else
  echo "no report: /usr/bin/python3 has no matplotlib (apt-get install python3-matplotlib)"
fi
exit "$status"

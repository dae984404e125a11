#!/usr/bin/env bash
# setup.sh - makes the working folder of the head calibration: a quon run
# (gen_scenario: 2 steady years, 1 transient year of 12 months, one RCH
# file), the templates of its settings, the multi-layer MODFLOW 6 model of
# examples/mf6 with quon's packages in it (quon-mf6 --into), the "measured" heads of a run with the truth
# (truth.csv) plus noise, the instruction and control files, the model
# command run.sh, agents.sh for panther agents, and the links ./quon-exe and
# ./mf6-exe.
#
# Usage: examples/pestpp-mf6/setup.sh [build dir [working folder]]
#   build dir: holds quon and tools/gen_scenario (default build)
#   working folder: default examples/pestpp-mf6/work (replaced as a whole)
#   Relative paths are taken from the checkout. mf6 is $QUON_MF6, else mf6
#   on PATH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$top/$build ;; esac
work=${2:-examples/pestpp-mf6/work}
case $work in /*) ;; *) work=$top/$work ;; esac
py=/usr/bin/python3

mf6=${QUON_MF6:-$(command -v mf6 || true)}
if [ -z "$mf6" ] || [ ! -x "$mf6" ]; then
  echo "setup.sh: no mf6: set QUON_MF6 to the mf6 program or put mf6 on PATH" >&2
  exit 1
fi
mf6=$(cd "$(dirname "$mf6")" && pwd)/$(basename "$mf6")
if [ ! -x "$build/quon" ] || [ ! -x "$build/tools/gen_scenario" ]; then
  echo "setup.sh: no quon or gen_scenario in $build; build them first:" \
    "cmake --build $build --target quon gen_scenario" >&2
  exit 1
fi
if [ ! -f "$top/examples/mf6/make_model.py" ]; then
  echo "setup.sh: no $top/examples/mf6/make_model.py: the example's model" \
    "and quon-mf6 --into come with the MODFLOW 6 example" >&2
  exit 1
fi
if [ -d "$work" ] && [ -n "$(ls -A "$work")" ] && [ ! -f "$work/case.pst" ] &&
  [ ! -f "$work/quon.par" ]; then
  echo "setup.sh: $work is neither empty nor a working folder; not replacing it" >&2
  exit 1
fi
rm -rf "$work"

"$build/tools/gen_scenario" --out "$work" --seed 1 --start-year 1950 \
  --years 1 --steady-years 2 --stations 24 --drift 1 --rch 1 >/dev/null
rm -rf "$work/store" "$work/quon"
mkdir "$work/sim"
"$py" "$here/case.py" templates "$work"
truth_run() {
  (cd "$work" && "$build/quon" --strict quon.par >quon.log 2>&1) || {
    echo "setup.sh: quon failed with the truth; see $work/quon.log" >&2
    exit 1
  }
}
truth_run

# The multi-layer model of examples/mf6 in sim/, with the packages of the
# quon run put into it. quon writes its MODFLOW 6 files in sim/ itself
# (MF6 sim/quon), so every run of the model command feeds mf6 directly.
# Where layer 1 of the model is inactive under recharge or wells,
# quon-mf6 --into refuses and writes the top active layer of every cell:
# quon then puts recharge and wells on it (IRCH, WELLAYER), and the packages
# go in.
"$py" "$top/examples/mf6/make_model.py" "$work" "$work/sim" >/dev/null
into() { "$top/tools/quon-mf6" --quon "$build/quon" --into "$work/sim" "$work" >"$work/into.log" 2>&1; }
if ! into; then
  if [ ! -f "$work/sim/quon-top-layer.txt" ]; then
    cat "$work/into.log" >&2
    exit 1
  fi
  "$py" "$here/case.py" layers "$work" sim/quon-top-layer.txt
  truth_run
  into || { cat "$work/into.log" >&2; exit 1; }
fi
"$py" "$here/case.py" observe "$work" "$mf6"
cp "$here/run.sh" "$top/examples/pestpp/agents.sh" "$work/"
ln -s "$build/quon" "$work/quon-exe"
ln -s "$mf6" "$work/mf6-exe"
echo "setup.sh: working folder $work (quon: $build/quon, mf6: $mf6)"

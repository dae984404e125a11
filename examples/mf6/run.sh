#!/usr/bin/env bash
# run.sh - quon's packages in a modeller's own 3-layer MODFLOW 6 model: the
# example run's inputs (examples/run.sh --no-run) with an MF6 line, the
# model from make_model.py, quon-mf6 --into, and, with QUON_MF6 naming an
# mf6 binary, the model run and its budget compared with quon's MODFLOW-2005
# files. Builds nothing: build quon first.
#
# Usage: examples/mf6/run.sh [build dir]   (default build, from the checkout)
# Writes examples/mf6/run (the quon run) and examples/mf6/sim (the model).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$top/$build ;; esac
run=$here/run
sim=$here/sim

"$top/examples/run.sh" --no-run "$build" "$run" > /dev/null
rm -rf "$sim"
/usr/bin/python3 "$here/make_model.py" "$run" "$sim"
mkdir -p "$run/mf6"

# The model has a WEL package named WEL: quon's packages get the prefix Q_.
# Its time unit is the day.
echo "MF6 mf6/quon DAYS PREFIX Q_" >> "$run/quon.par"
echo "== quon with: $(tail -n 1 "$run/quon.par")"
(cd "$run" && "$build/quon" quon.par)

# Layer 1 of the model is inactive in a block that gets recharge and wells:
# quon-mf6 says so, writes the top active layer of every cell, and refuses
# wells that mf6 would stop on.
echo "== quon-mf6 --into $sim $run"
"$top/tools/quon-mf6" --quon "$build/quon" --into "$sim" "$run" || echo "(refused, as expected)"

# The top-active-layer grid as IRCH and WELLAYER.
sed -i 's|^MF6 .*|MF6 mf6/quon DAYS PREFIX Q_ IRCH ../sim/quon-top-layer.txt WELLAYER ../sim/quon-top-layer.txt|' "$run/quon.par"
echo "== quon with: $(tail -n 1 "$run/quon.par")"
(cd "$run" && "$build/quon" quon.par)
echo "== quon-mf6 --into $sim ${QUON_MF6:+--mf6 $QUON_MF6 }$run"
"$top/tools/quon-mf6" --quon "$build/quon" --into "$sim" ${QUON_MF6:+--mf6 "$QUON_MF6"} "$run"

#!/bin/sh
# run.sh - the model command of case.pst: quon writes the recharge and well
# packages from the quon.par and terrain.dat PEST++ has just written, then
# mf6 runs the simulation in sim/, whose OBS package writes the heads PEST++
# reads (sim/heads.csv). Nothing else runs: no copying, no conversion.
#
# quon is $QUON when set, else ./quon-exe; mf6 is $QUON_MF6 when set, else
# ./mf6-exe (the links setup.sh makes, to absolute paths, so the agents'
# copies of the folder find them too).
#
# Each status is passed on: quon --strict ends with 1 on any report that
# would let a run go on, mf6 with a status other than 0 (a run without
# "Normal termination" counts as status 1); PEST++ then counts the run
# failed and reads nothing from it.
quon=${QUON:-./quon-exe}
mf6=${QUON_MF6:-$(pwd)/mf6-exe}

# step NAME LOG COMMAND...: runs the command with its output in LOG; on a
# failure says so with the end of LOG and ends the script with its status.
step() {
  name=$1 log=$2
  shift 2
  "$@" >"$log" 2>&1
  status=$?
  if [ "$status" -eq 0 ] && [ "$name" = mf6 ] &&
    ! tail -n 3 mfsim.lst | grep -q "Normal termination"; then
    status=1
  fi
  [ "$status" -eq 0 ] && return 0
  echo "run.sh: $name ended with status $status in $(pwd); its messages:" >&2
  tail -n 20 "$log" >&2
  exit "$status"
}

rm -f sim/heads.csv
step quon quon.log "$quon" --strict quon.par
cd sim || exit 1
step mf6 mf6.log "$mf6"

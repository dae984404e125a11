#!/usr/bin/env bash
# agents.sh - runs a PEST++ program as one master and N agents on this
# machine: the master in the working folder, each agent in its own copy of it
# (agents/1 .. agents/N), talking over the loopback address. The master
# listens on every interface, so the whole party runs in a private network
# namespace that has only the loopback device; and every process is bounded
# in time.
#
# Usage (in a working folder made by setup.sh):
#   agents.sh [-n agents] [-t seconds] [-p port] program control-file
#   program: pestpp-swp, pestpp-ies, ... (on PATH, or a path)
#   defaults: 2 agents, 900 seconds, port 4004
# The master's console goes to master.log, agent i's to agents/i/agent.log;
# the master's result files (sweep_out.csv, quon_ies.*.csv, ...) are written
# in the working folder. The exit status is the master's (124: out of time).
set -euo pipefail
n=2 seconds=900 port=4004
while getopts n:t:p: opt; do
  case $opt in
    n) n=$OPTARG ;;
    t) seconds=$OPTARG ;;
    p) port=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -ne 2 ] || [ ! -f "$2" ]; then
  echo "usage: agents.sh [-n agents] [-t seconds] [-p port] program control-file" >&2
  exit 2
fi
prog=$(command -v "$1") || { echo "agents.sh: $1 not found" >&2; exit 2; }
ctl=$2

# Each agent gets its own copy of the folder: PEST++ writes quon.par and
# quon writes its outputs in the folder it runs in.
rm -rf agents
mkdir agents
for i in $(seq "$n"); do
  mkdir "agents/$i"
  for f in * .[!.]*; do
    [ -e "$f" ] || [ -L "$f" ] || continue
    [ "$f" = agents ] || cp -a "$f" "agents/$i/"
  done
done

# Root may make a network namespace directly; others map themselves to root
# in a user namespace first.
if [ "$(id -u)" = 0 ]; then ns=(unshare -n); else ns=(unshare -r -n); fi
export prog ctl port seconds n
"${ns[@]}" bash -c '
  ip link set lo up
  timeout "$seconds" "$prog" "$ctl" /h ":$port" >master.log 2>&1 &
  master=$!
  sleep 1  # let the master listen before the agents knock
  agents=()
  for i in $(seq "$n"); do
    (cd "agents/$i" && exec timeout "$seconds" "$prog" "$ctl" /h "127.0.0.1:$port" \
      >agent.log 2>&1) &
    agents+=($!)
  done
  status=0
  wait "$master" || status=$?
  # The master tells its agents to stop when it is done; give them a moment,
  # then end any that are left.
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "${agents[@]}" 2>/dev/null || break
    sleep 1
  done
  for pid in "${agents[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait
  exit "$status"
'

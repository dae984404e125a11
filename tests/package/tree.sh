# tree.sh - checks shared by the package check and the install test, on an
# installed or unpacked tree (the folder holding bin/ and share/). Source it;
# check_tree calls fault (defined by the caller) for every fault it finds.

# check_tree PREFIX VERSION SCRATCH: quon --version names VERSION and, in a
# git checkout, the checked-out commit; the changelog's newest entry is
# VERSION; every tool answers --help from another folder without PYTHONPATH;
# every program has a manual page and every page renders without a warning.
check_tree() {
  local p=$1 version=$2 scratch=$3 top exe page said head entry
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  said=$("$p/bin/quon" --version) || fault "quon --version failed"
  [[ $said == "quon $version (commit "*")" ]] || fault "quon --version: $said"
  if head=$(git -C "$top" rev-parse --short=12 HEAD 2>/dev/null); then
    [[ $said == *"(commit $head)" ]] || fault "quon --version names not commit $head: $said"
  fi
  entry=$(gzip -dc "$p/share/doc/quon/changelog.gz" | head -1)
  [[ $entry == "quon ($version) "* ]] || fault "the changelog's newest entry is not $version: $entry"
  for exe in "$p"/bin/quon-*; do
    (cd / && env -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 "$exe" --help >/dev/null 2>"$scratch/err") ||
      fault "$(basename "$exe") --help: $(cat "$scratch/err")"
  done
  for exe in "$p"/bin/*; do
    [ -f "$p/share/man/man1/$(basename "$exe").1.gz" ] || fault "no manual page for bin/$(basename "$exe")"
  done
  for page in "$p"/share/man/man1/*.1.gz; do
    MANWIDTH=80 man --warnings -l "$page" >/dev/null 2>"$scratch/err" || fault "man -l $page failed"
    [ ! -s "$scratch/err" ] || fault "$(basename "$page"): $(cat "$scratch/err")"
  done
  echo "$(find "$p" -type f | wc -l) files, $(ls "$p"/bin | wc -l) programs, $(ls "$p"/share/man/man1 | wc -l) manual pages checked"
}

# check_example PREFIX SCRATCH: the installed example, run as a user would
# (bash PREFIX/share/doc/quon/examples/run.sh, without PYTHONPATH), makes
# its run folder with the installed quon-gen-scenario and quon, and ends
# normally with the run's RCH, WEL and budget files; with Debian's
# matplotlib it also writes the picture report with the installed quon-plot.
check_example() {
  local p=$1 scratch=$2 out=$2/example status=0 f
  (cd "$scratch" && env -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 MPLBACKEND=Agg \
    bash "$p/share/doc/quon/examples/run.sh" example >"$scratch/example.log" 2>&1) ||
    status=$?
  [ "$status" = 0 ] || fault "the installed example ended with status $status: $(tail -3 "$scratch/example.log")"
  for f in quon.par fort.2 quon.wel precip.rch coirr.rch; do
    [ -s "$out/$f" ] || fault "the installed example wrote no $f"
  done
  if /usr/bin/python3 -c "import matplotlib, numpy" 2>/dev/null; then
    [ -s "$out/report/index.html" ] || fault "the installed example made no picture report"
    echo "installed example: ran, $(find "$out" -type f | wc -l) files with its report"
  else
    echo "installed example: ran; no picture report checked (/usr/bin/python3 has no matplotlib)"
  fi
}

# check_pestpp_example PREFIX SCRATCH: the installed PEST++ example's
# setup.sh makes a working folder whose model command (sh run.sh, as PEST++
# starts it) runs the installed quon and ends normally.
check_pestpp_example() {
  local p=$1 scratch=$2 status=0
  (cd "$scratch" && bash "$p/share/doc/quon/examples/pestpp/setup.sh" pestpp >/dev/null 2>"$scratch/err") ||
    fault "the installed examples/pestpp/setup.sh failed: $(cat "$scratch/err")"
  (cd "$scratch/pestpp" && sh run.sh 2>"$scratch/err") || status=$?
  [ "$status" = 0 ] || fault "the installed PEST++ example's run.sh ended with status $status: $(cat "$scratch/err")"
  [ -s "$scratch/pestpp/fort.2" ] || fault "the installed PEST++ example's run wrote no fort.2"
  echo "installed PEST++ example: set up, its model command ran"
}

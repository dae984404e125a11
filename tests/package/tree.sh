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

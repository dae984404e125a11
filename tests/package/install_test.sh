#!/usr/bin/env bash
# install_test.sh - cmake --install of a build folder, staged with DESTDIR,
# gives the expected tree, which still works after being moved elsewhere:
# quon --version names the project's version (and the checked-out commit),
# every tool answers --help without PYTHONPATH, every program has a manual
# page and every page renders without a warning. Also: quon(1) describes
# every keyword of the keyword table and every option of quon --help, and the
# changelog's newest entry is the project's version.
#
# Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
faults=0
fault() {
  echo "FAULT: $*" >&2
  faults=$((faults + 1))
}

# Staged: everything under DESTDIR + prefix, nothing beside it.
DESTDIR=$scratch/stage cmake --install "$build" --prefix /opt/quon >"$scratch/install.log"
[ "$(ls -A "$scratch/stage")" = opt ] && [ "$(ls -A "$scratch/stage/opt")" = quon ] ||
  fault "DESTDIR holds more than opt/quon: $(cd "$scratch/stage" && find . -maxdepth 2)"
# Moved: the tree must not depend on where it was installed.
mv "$scratch/stage/opt/quon" "$scratch/moved"
p=$scratch/moved

must=(bin/quon share/man/man1/quon.1.gz share/doc/quon/README.md
      share/doc/quon/copyright share/doc/quon/changelog.gz
      share/doc/quon/examples/README.md share/doc/quon/examples/pestpp/quon.tpl
      share/quon/quonplot/__init__.py share/quon/quonplot/cli.py)
for png in "$top"/docs/*.png; do
  must+=("share/doc/quon/docs/$(basename "$png")")
done
tools=()
for t in "$top"/tools/quon-*; do
  n=$(basename "$t")
  tools+=("$n")
  must+=("share/quon/$n" "share/man/man1/$n.1.gz")
  [ "$(readlink "$p/bin/$n")" = "../share/quon/$n" ] ||
    fault "bin/$n is not a link to ../share/quon/$n"
done
for f in "${must[@]}"; do
  [ -f "$p/$f" ] || fault "missing: $f"
done
[ "$(ls "$p")" = "bin
share" ] || fault "unexpected top-level folders: $(ls "$p")"
extra=$(find "$p" -name __pycache__ -o -name '*.pyc' -o -name '*~')
[ -z "$extra" ] || fault "byte code or backups installed: $extra"
bad=$(find "$p" -type d ! -perm 755 -o -type f ! -perm 644 ! -perm 755)
[ -z "$bad" ] || fault "modes other than 755/644: $bad"

said=$("$p/bin/quon" --version)
[[ $said == "quon $version (commit "*")" ]] || fault "quon --version: $said"
if head=$(git -C "$top" rev-parse --short=12 HEAD 2>/dev/null); then
  [[ $said == *"(commit $head)" ]] || fault "quon --version names not commit $head: $said"
fi
for n in "${tools[@]}"; do
  (cd / && env -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 "$p/bin/$n" --help >/dev/null 2>"$scratch/err") ||
    fault "$n --help: $(cat "$scratch/err")"
done

for exe in "$p"/bin/*; do
  [ -f "$p/share/man/man1/$(basename "$exe").1.gz" ] || fault "no manual page for bin/$(basename "$exe")"
done
for page in "$p"/share/man/man1/*.gz; do
  MANWIDTH=80 man --warnings -l "$page" >/dev/null 2>"$scratch/err" || fault "man -l $page failed"
  [ ! -s "$scratch/err" ] || fault "$(basename "$page"): $(cat "$scratch/err")"
done

# The keyword table's keywords and the --help options, each with an entry of
# its own in quon(1) (the line after a .TP).
entries=$(grep -A1 '^\.TP' "$top/docs/quon.1")
keywords=$(sed -n 's/^ *{"\([A-Z0-9]*\)", kw_[a-z0-9_]*},.*/\1/p' "$top/run/keywords.cpp")
[ "$(wc -w <<<"$keywords")" -ge 22 ] || fault "keyword table not found in run/keywords.cpp"
for k in $keywords; do
  grep -q "^\.BI\? $k\( \|$\)" <<<"$entries" || fault "quon(1) has no entry for keyword $k"
done
options=$(grep -o '^ *"  --[a-z]*' "$top/run/driver.cpp" | sed 's/.*--//')
[ -n "$options" ] || fault "no option found in quon's help text"
for o in $options; do
  grep -q "^\.BR\? \\\\-\\\\-$o\( \|$\)" <<<"$entries" || fault "quon(1) has no entry for option --$o"
done

entry=$(head -1 "$top/package/changelog")
[[ $entry == "quon ($version) "* ]] || fault "package/changelog's newest entry is not $version: $entry"

echo "$(find "$p" -type f | wc -l) files, $(find "$p" -type l | wc -l) links; ${#tools[@]} tools; faults: $faults"
[ "$faults" = 0 ]

#!/usr/bin/env bash
# install_test.sh - cmake --install of a build folder, staged with DESTDIR,
# gives the expected tree, which still works after being moved elsewhere
# (check_tree of tree.sh: quon --version, the tools' --help without
# PYTHONPATH, the manual pages; check_example, check_pestpp_example: the
# installed examples run end to end). Also: quon(1) has an entry for every keyword of the keyword table
# and every option of quon --help.
#
# Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/package/tree.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
faults=0
fault() {
  echo "FAULT: $*" >&2
  faults=$((faults + 1))
}

# Staged: everything under DESTDIR + prefix, nothing beside it.
DESTDIR=$scratch/stage cmake --install "$build" --prefix /opt/quon >"$scratch/install.log"
staged=$(cd "$scratch/stage" && find . -maxdepth 2 | tr '\n' ' ')
[ "$staged" = ". ./opt ./opt/quon " ] || fault "DESTDIR holds more than opt/quon: $staged"
# Moved: the tree must not depend on where it was installed.
mv "$scratch/stage/opt/quon" "$scratch/moved"
p=$scratch/moved

must=(bin/quon bin/quon-gen-scenario share/man/man1/quon.1.gz share/doc/quon/README.md
      share/doc/quon/copyright share/doc/quon/examples/README.md
      share/doc/quon/examples/pestpp/quon.tpl share/quon/quonplot/cli.py)
for page in "$top"/docs/*.png "$top"/docs/*.md; do
  must+=("share/doc/quon/docs/$(basename "$page")")
done
for t in "$top"/tools/quon-*; do
  n=$(basename "$t")
  must+=("share/quon/$n" "share/man/man1/$n.1.gz")
  [ "$(readlink "$p/bin/$n")" = "../share/quon/$n" ] ||
    fault "bin/$n is not a link to ../share/quon/$n"
done
for f in "${must[@]}"; do
  [ -f "$p/$f" ] || fault "missing: $f"
done
# The installed README, guide and examples' notes: every relative link leads
# to an installed file (the documents' own link checker, on the installed
# tree).
links=$(cd "$top/tests/docs" && PYTHONPATH="$top/tests" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$p/share/doc/quon" <<'EOF'
import glob
import os
import sys

from test_docs import broken_links

root = sys.argv[1]
pages = [os.path.join(root, "README.md"),
         *glob.glob(os.path.join(root, "docs", "*.md")),
         *glob.glob(os.path.join(root, "examples", "**", "*.md"), recursive=True)]
for page in sorted(pages):
    for fault in broken_links(page):
        print(f"{os.path.relpath(page, root)}: {fault}")
EOF
) || fault "the installed documents' links could not be checked"
[ -z "$links" ] || fault "installed links that lead nowhere: $links"
[ "$(ls "$p" | tr '\n' ' ')" = "bin share " ] || fault "unexpected top-level folders: $(ls "$p")"
extra=$(find "$p" -name __pycache__ -o -name '*.pyc' -o -name '*~')
[ -z "$extra" ] || fault "byte code or backups installed: $extra"
bad=$(find "$p" -type d ! -perm 755 -o -type f ! -perm 644 ! -perm 755)
[ -z "$bad" ] || fault "modes other than 755/644: $bad"

check_tree "$p" "$version" "$scratch"
check_example "$p" "$scratch"
check_pestpp_example "$p" "$scratch"

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

echo "faults: $faults"
[ "$faults" = 0 ]

#!/usr/bin/env bash
# check.sh - builds the Debian package of a build folder and checks it as a
# user would get it: unpacked (dpkg-deb -x) into a scratch root, not
# installed. The unpacked quon-gen-scenario and quon write the same run as
# the build's generator and quon; the installed example runs end to end;
# the unpacked tools answer --help and quon-plot draws the run's budget,
# without PYTHONPATH; every manual page renders without a warning; the package's fields and changelog agree with quon --version; and
# lintian finds no error (its other tags are shown). Needs quon and
# gen_scenario built, dpkg-dev, lintian, man-db and file.
#
# Usage: tests/package/check.sh [build dir]   (default build)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "package check: $*" >&2
  exit 1
}
fault() { fail "$@"; }
. "$top/tests/package/tree.sh"

echo "== cpack -G DEB"
(cd "$build" && rm -f ./*.deb && cpack -G DEB >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
debs=("$build"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in $build"
deb=${debs[0]}
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr

echo "== fields"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Version: $version"
echo "Depends: $depends"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
for need in libc6 python3; do
  [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] ||
    fail "Depends lacks $need"
done
for exe in quon quon-gen-scenario; do
  file -b "$usr/bin/$exe" | grep -q ", stripped" || fail "usr/bin/$exe is not stripped"
done

echo "== a generated run with the unpacked quon"
# The package's quon-gen-scenario must write what the build's generator
# writes, and the package's quon what the build's quon writes.
for gen in "$usr/bin/quon-gen-scenario:package" "$build/tools/gen_scenario:build"; do
  "${gen%:*}" --out "$scratch/${gen##*:}" --seed 5 --years 2 \
    --steady-years 1 --stations 12 --drift 1 --rch 4 >/dev/null
done
(cd "$scratch/package" && "$usr/bin/quon" quon.par 2>"$scratch/package.log") ||
  fail "the unpacked quon ended with status $?"
(cd "$scratch/build" && "$build/quon" quon.par 2>"$scratch/build.log") ||
  fail "the build's quon ended with status $?"
diff -r "$scratch/package" "$scratch/build" >/dev/null ||
  fail "the unpacked quon-gen-scenario and quon wrote other bytes than the build's"
echo "same outputs as the build's quon: $(find "$scratch/package" -type f | wc -l) files"

echo "== the unpacked tree: version, tools, manual pages, the example"
check_tree "$usr" "$version" "$scratch"
check_example "$usr" "$scratch"
check_pestpp_example "$usr" "$scratch"
(cd "$scratch" && env -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 MPLBACKEND=Agg \
  "$usr/bin/quon-plot" budget package/fort.2 -o budget.png >/dev/null) ||
  fail "the unpacked quon-plot could not chart the run's budget"
[ -s "$scratch/budget.png" ] || fail "quon-plot wrote no budget.png"

echo "== lintian"
status=0
lintian --fail-on error -I --pedantic "$deb" >"$scratch/lintian.txt" 2>&1 || status=$?
grep -v "running with root privileges" "$scratch/lintian.txt" || true
[ "$status" = 0 ] || fail "lintian reports errors (status $status)"
echo "package check: ok"

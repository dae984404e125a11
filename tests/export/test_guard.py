"""test_guard.py - the promise of quon-plot and quon-export: no output lands on
a file the tool or the run reads (every input hashed before and after), every
failure is one line naming the tool and a file with no traceback, and a run
stopped by a signal is refused unless --partial asks for what it holds."""

import hashlib
import os
import re
import shutil
import signal
import subprocess
import time

import netCDF4
import pytest
from conftest import BUILD, TOP, quon_export, quon_plot

from quonplot import readers as R

QUON = os.path.join(BUILD, "quon")


def hashes(folder):
    """Every file under folder by its path, as a hash of its bytes."""
    out = {}
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    out[path] = hashlib.sha1(f.read()).hexdigest()
    return out


@pytest.fixture(scope="module")
def run(run1, tmp_path_factory):
    """A copy of a whole run, so that a fault of the guard cannot damage the
    run the other tests read."""
    folder = tmp_path_factory.mktemp("guarded") / "run"
    shutil.copytree(run1, folder, symlinks=True)
    return folder


def test_grid_constants_are_quons():
    with open(os.path.join(TOP, "include", "quon.h")) as f:
        header = f.read()

    def constant(name):
        m = re.search(rf"constexpr \w+ {name} = ([0-9.]+);", header)
        assert m, name
        return float(m.group(1))
    assert (R.NROW, R.NCOL, R.CELLSIZE, R.X0, R.Y0) == tuple(
        constant(n) for n in ("NROW", "NCOL", "CELLSIZE", "X0", "Y0"))


def test_quon_lists_the_files_of_the_run(run):
    before = hashes(run)
    p = subprocess.run([QUON, "--files", "quon.par"], cwd=run,
                       capture_output=True, text=True)
    assert p.returncode == 0, p.stderr
    lines = [line.split("\t") for line in p.stdout.splitlines()]
    assert all(len(w) == 2 and w[0] in ("input", "output") for w in lines)
    inputs = {n for k, n in lines if k == "input"}
    outputs = [n for k, n in lines if k == "output"]
    assert {"quon.par", "ibound.zon", "stations.ppt"} <= inputs
    # Every per-state file of the span that exists, and no other.
    states = {os.path.join(s, f) for s in ("co", "ks", "ne")
              for f in os.listdir(run / s)}
    assert states == {n for n in inputs if n[:3] in ("co/", "ks/", "ne/")}
    assert outputs[:3] == ["quon.wel", "quon.rch", "fort.2"]
    assert {"store/1950.ppt", "1950.csv"} <= set(outputs)
    assert hashes(run) == before


def _dangling(run):
    # A run output that does not exist yet, named through a dangling link.
    os.remove(run / "1950.csv")
    os.symlink("1950.csv", run / "dangle.nc")


def _linked_tiff(run):
    os.makedirs(run / "g", exist_ok=True)
    os.symlink("../ibound.zon", run / "g" / "precipitation_1949.tif")


def _linked_picture(run):
    os.makedirs(run / "rep", exist_ok=True)
    os.symlink("../ibound.zon", run / "rep" / "budget.png")


@pytest.mark.parametrize("tool,args,prepare,file,what", [
    ("export", ["quon.par", "-o", "ibound.zon"], None, "ibound.zon",
     "is a file the run reads"),
    ("export", ["quon.par", "-o", "fort.2"], None, "fort.2",
     "is a file the run writes"),
    ("export", ["quon.par", "-o", "x.nc", "--geotiff", "g"], _linked_tiff,
     "g/precipitation_1949.tif", "is a file the run reads (/ibound.zon)"),
    ("export", ["quon.par", "-o", "dangle.nc"], _dangling, "dangle.nc",
     "is a file the run writes (/1950.csv)"),
    ("plot", ["map", "co/1950.07.pmp", "--ibound", "ibound.zon", "-o",
              "map.png"], lambda r: os.symlink("ibound.zon", r / "map.png"),
     "map.png", "is a file this command reads (ibound.zon)"),
    ("plot", ["report", ".", "-o", "rep"], _linked_picture,
     "rep/budget.png", "is a file the run reads (./ibound.zon)"),
    ("plot", ["budget", "fort.2", "-o", "b.png"],
     lambda r: os.link(r / "fort.2", r / "b.png"), "b.png",
     "is a file this command reads (fort.2)"),
])
def test_no_output_lands_on_a_file_of_the_run(run, tool, args, prepare,
                                              file, what):
    if prepare:
        prepare(run)
    before = hashes(run)
    status, stdout, stderr = (quon_export if tool == "export" else
                              quon_plot)(*args, cwd=run)
    assert (status, stdout) == (1, ""), stderr
    assert stderr.count("\n") == 1 and "Traceback" not in stderr
    # The run's own list names its files in the run's folder.
    said = what.replace("(/", f"({run}/").replace("(./", f"({run}/")
    assert stderr.startswith(f"quon-{tool}: {file}: ")
    assert what in stderr or said in stderr, stderr
    assert hashes(run) == before
    assert not [n for n in os.listdir(run) if n.endswith(".tmp")]


@pytest.mark.parametrize("tool,args,file,what", [
    # Missing, empty, damaged, garbage, a folder, where no file can go.
    ("plot", ["map", "nothere.pmp", "-o", "{t}/a.png"], "nothere.pmp",
     "no such file"),
    ("plot", ["map", "{t}/empty.pmp", "-o", "{t}/a.png"], "{t}/empty.pmp",
     "empty file"),
    ("plot", ["map", "{t}/garbage.rch", "-o", "{t}/a.png"], "{t}/garbage.rch",
     ""),
    ("plot", ["map", "co", "-o", "{t}/a.png"], "co", "is a folder"),
    ("plot", ["map", "ibound.zon", "-o", "/proc/self/a.png"],
     "/proc/self/a.png", "its folder cannot be written"),
    ("plot", ["map", "ibound.zon", "-o", "{t}/full.png"], "{t}/full.png",
     "No space left on device"),
    ("plot", ["budget", "fort.2", "-o", "{t}/full.png"], "{t}/full.png",
     "No space left on device"),
    ("plot", ["report", "{t}/empty", "-o", "{t}/r"], "{t}/empty/quon.par",
     "no such file"),
    ("plot", ["report", ".", "-o", "/proc/self/r"], "/proc/self/r", ""),
    ("export", ["{t}/cut.par", "-o", "{t}/a.nc"], "{t}/cut.rch", ""),
    ("export", ["{t}/badwel.par", "-o", "{t}/a.nc"], "{t}/cut.wel", ""),
    ("export", ["{t}/empty.pmp", "-o", "{t}/a.nc"], "{t}/empty.pmp", ""),
    ("export", ["co", "-o", "{t}/a.nc"], "co", "no such file"),
    ("export", ["quon.par", "-o", "/proc/self/a.nc"], "/proc/self/a.nc",
     "its folder cannot be written"),
    ("export", ["quon.par", "-o", "{t}/no/a.nc"], "{t}/no/a.nc",
     "its folder does not exist"),
    ("export", ["quon.par", "-o", "/dev/full"], "/dev/full", ""),
    ("export", ["quon.par", "-o", "{t}/a.nc", "--quon", "{t}/nothere"],
     "{t}/nothere", "no such program"),
])
def test_every_failure_is_one_line(run, tmp_path, tool, args, file, what):
    t = str(tmp_path)
    (tmp_path / "empty.pmp").write_bytes(b"")
    (tmp_path / "empty").mkdir()
    (tmp_path / "garbage.rch").write_bytes(bytes(range(256)) * 40)
    (tmp_path / "cut.rch").write_bytes((run / "quon.rch").read_bytes()[
        :3000000])
    (tmp_path / "cut.wel").write_bytes((run / "quon.wel").read_bytes()[
        :-3000])
    os.symlink("/dev/full", tmp_path / "full.png")
    par = (run / "quon.par").read_text()
    for name, key, target in (("cut.par", "RECHARGE", "cut.rch"),
                              ("badwel.par", "WELL", "cut.wel")):
        (tmp_path / name).write_text(re.sub(
            rf"(?m)^{key} .*$", f"{key} {target}", par))
        for other in os.listdir(run):  # the run's other files beside it
            if not os.path.lexists(tmp_path / other):
                os.symlink(run / other, tmp_path / other)
    before = hashes(run)
    args = [a.replace("{t}", t) for a in args]
    status, stdout, stderr = (quon_export if tool == "export" else
                              quon_plot)(*args, cwd=run)
    assert (status, stdout) == (1, ""), stderr
    assert stderr.count("\n") == 1 and "Traceback" not in stderr
    assert stderr.startswith(f"quon-{tool}: {file.replace('{t}', t)}")
    assert what in stderr
    assert hashes(run) == before


def test_usage_faults_are_status_2(run):
    for tool, args in ((quon_plot, []), (quon_plot, ["map"]),
                       (quon_plot, ["map", "x", "--nosuch"]),
                       (quon_export, ["quon.par"])):
        status, _, stderr = tool(*args, cwd=run)
        assert status == 2 and stderr.count("\n") == 1, stderr
        assert "Traceback" not in stderr


def test_tools_refuse_without_quon_where_a_run_is_read(run, tmp_path):
    env = dict(os.environ, PATH="/usr/bin:/bin")
    for tool in ("quon-export", "quon-plot"):
        args = ["quon.par", "-o", tmp_path / "x.nc"] if tool == \
            "quon-export" else ["report", ".", "-o", tmp_path / "r"]
        p = subprocess.run(["/usr/bin/python3", os.path.join(
            TOP, "tools", tool), *map(str, args)], cwd=run, env=env,
            capture_output=True, text=True)
        assert p.returncode == 1 and "no quon program found" in p.stderr
        assert p.stderr.count("\n") == 1
    assert os.listdir(tmp_path) == []


@pytest.fixture(scope="module")
def stopped(tmp_path_factory):
    """A real run stopped by SIGTERM a few periods in."""
    folder = tmp_path_factory.mktemp("stopped")
    subprocess.run([os.path.join(BUILD, "tools", "gen_scenario"), "--out",
                    folder, "--seed", "2", "--years", "10", "--steady-years",
                    "1"], check=True, stdout=subprocess.DEVNULL)
    rch = folder / "precip.rch"
    p = subprocess.Popen([QUON, "quon.par"], cwd=folder,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(3000):
        if rch.exists() and rch.stat().st_size > 2000000:
            break
        time.sleep(0.005)
    p.send_signal(signal.SIGTERM)
    assert p.wait() == 128 + signal.SIGTERM
    return folder


def test_a_stopped_run_is_not_passed_off_as_whole(stopped, tmp_path):
    before = hashes(stopped)
    fort2 = (stopped / "fort.2").read_text()
    held = re.search(r"hold periods 1 to (\d+) of 121", fort2)
    assert held
    n = int(held.group(1))
    for tool, args in ((quon_export, ["quon.par", "-o", tmp_path / "a.nc"]),
                       (quon_plot, ["budget", "fort.2", "-o",
                                    tmp_path / "b.png"]),
                       (quon_plot, ["report", ".", "-o", tmp_path / "r"])):
        status, stdout, stderr = tool(*args, cwd=stopped)
        assert (status, stdout) == (1, "") and "Traceback" not in stderr
        assert f"hold periods 1 to {n} of 121" in stderr and \
            "--partial" in stderr and stderr.count("\n") == 1
        status, _, stderr = tool(*args, "--partial", cwd=stopped)
        if "report" in args:  # the years not run are named as missing
            assert "did not finish" not in stderr
            assert (tmp_path / "r" / "index.html").exists()
        else:
            assert status == 0, stderr
    with netCDF4.Dataset(tmp_path / "a.nc") as nc:
        assert f"periods 1 to {n} of 121" in nc.partial
        # The steady period, then only the months the files hold; a year
        # without all its months has no place on the year axis.
        assert len(nc.dimensions["time"]) == n - 1
        assert len(nc.dimensions["year"]) == (n - 1) // 12
    assert hashes(stopped) == before

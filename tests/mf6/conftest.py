"""conftest.py - fixtures of the MODFLOW 6 tests: one generated scenario
(1 steady and 1 transient year, four RCH files, a cell pumped by two states
in July) run by quon of the build folder named by QUON_BUILD_DIR with
several MF6 lines; mf6 from QUON_MF6 and FloPy from PYTHONPATH, each test
that needs one skipping with the reason when it is absent."""

import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(
    __file__))))
sys.path.insert(0, os.path.join(TOP, "tools"))
TOOL = os.path.join(TOP, "tools", "quon-mf6")
BUILD = os.environ.get("QUON_BUILD_DIR", os.path.join(TOP, "build"))
QUON = os.path.join(BUILD, "quon")

from quonplot import readers as rd  # noqa: E402

# The block of the example model where layer 1 is inactive (1-based, as
# examples/mf6/make_model.py has it): rows 60-90, columns 120-170.
HOLE = (slice(59, 90), slice(119, 170))
# The cell pumped by two states: the strongest CO well of July 1950.
MONTH = "1950.07"


def quon(run):
    return subprocess.run([QUON, "quon.par"], cwd=run, capture_output=True,
                          text=True)


def quon_mf6(*args, cwd=None):
    """Runs the tool; (exit status, stdout, stderr)."""
    p = subprocess.run(["/usr/bin/python3", TOOL, *map(str, args)], cwd=cwd,
                       capture_output=True, text=True)
    return p.returncode, p.stdout, p.stderr


def mf6_binary():
    exe = os.environ.get("QUON_MF6")
    if not exe or not os.access(exe, os.X_OK):
        pytest.skip("QUON_MF6 does not name an mf6 binary: mf6 not run")
    return exe


def flopy_module():
    try:
        import flopy
    except ImportError:
        pytest.skip("no flopy on PYTHONPATH: FloPy not tried")
    return flopy


def write_grid(path, grid):
    with open(path, "w") as f:
        for row in grid:
            f.write(" ".join(repr(float(v)) if isinstance(v, float) else
                             str(v) for v in row) + "\n")


@pytest.fixture(scope="session")
def scenario(tmp_path_factory):
    """The generated run folder before any quon run."""
    gen = os.path.join(BUILD, "tools", "gen_scenario")
    for exe in (gen, QUON):
        if not os.access(exe, os.X_OK):
            pytest.fail(f"{exe} not built (set QUON_BUILD_DIR)")
    run = tmp_path_factory.mktemp("scenario")
    subprocess.run([gen, "--out", str(run), "--seed", "5", "--years", "1",
                    "--steady-years", "1", "--wells", "800",
                    "--no-annpump", "--no-subareas"], check=True,
                   stdout=subprocess.DEVNULL)
    co = rd.read_text_grid(run / "co" / f"{MONTH}.pmp")
    ks_name = run / "ks" / f"{MONTH}.pmp"
    ks = rd.read_text_grid(ks_name) if ks_name.exists() else \
        np.zeros((rd.NROW, rd.NCOL))
    r, c = np.unravel_index(np.argmax(co), co.shape)
    ks[r, c] += 50.0
    write_grid(ks_name, [[float(v) for v in row] for row in ks])
    layers = np.ones((rd.NROW, rd.NCOL), int)
    layers[HOLE] = 2
    write_grid(run / "layers.txt", layers)
    return run, (int(r) + 1, int(c) + 1)


def _run_with(tmp_path_factory, scenario, name, line):
    run = tmp_path_factory.mktemp(name) / "run"
    shutil.copytree(scenario[0], run)
    if line:
        (run / "mf6").mkdir()
        with open(run / "quon.par", "a") as f:
            f.write(line + "\n")
    p = quon(run)
    assert p.returncode == 0, p.stderr
    return run


@pytest.fixture(scope="session")
def plain(tmp_path_factory, scenario):
    return _run_with(tmp_path_factory, scenario, "plain", None)


@pytest.fixture(scope="session")
def seconds(tmp_path_factory, scenario):
    """MF6 without options."""
    return _run_with(tmp_path_factory, scenario, "seconds", "MF6 mf6/m")


@pytest.fixture(scope="session")
def days(tmp_path_factory, scenario):
    """Every option: days, PREFIX P_, recharge and wells in layer 2 under
    the example model's hole."""
    return _run_with(tmp_path_factory, scenario, "days",
                     "MF6 mf6/m DAYS PREFIX P_ IRCH layers.txt "
                     "WELLAYER layers.txt")


@pytest.fixture(scope="session")
def own_runs(seconds, days):
    """Both runs in quon-mf6's own simulation, run by mf6: the folders."""
    exe = mf6_binary()
    for run in (seconds, days):
        status, out, err = quon_mf6("--mf6", exe, run)
        assert status == 0, out + err
        assert "largest relative difference" in out
    return seconds / "mf6", days / "mf6"

"""conftest.py - fixtures of the Python tests (tests/plot, tests/export,
tests/docs, tests/analysis): small runs made with the scenario generator and quon of the
build folder named by QUON_BUILD_DIR, and the commands of the tools. One
file for all of them, so that one pytest can run every folder at once."""

import os
import shutil
import subprocess
import sys

import pytest

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "tools"))
BUILD = os.environ.get("QUON_BUILD_DIR", os.path.join(TOP, "build"))


def _make_run(tmp_path_factory, name, *options):
    gen = os.path.join(BUILD, "tools", "gen_scenario")
    quon = os.path.join(BUILD, "quon")
    for exe in (gen, quon):
        if not os.access(exe, os.X_OK):
            pytest.fail(f"{exe} not built (set QUON_BUILD_DIR)")
    run = tmp_path_factory.mktemp(name)
    subprocess.run([gen, "--out", str(run), "--seed", "3", *options],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run([quon, "quon.par"], cwd=run, check=True,
                   stdout=subprocess.DEVNULL)
    return run


@pytest.fixture(scope="session")
def text_run(tmp_path_factory):
    """Text cell arrays, one RCH file, steady 1948, transient 1949-1950."""
    return _make_run(tmp_path_factory, "text", "--start-year", "1949",
                     "--years", "2", "--steady-years", "1", "--rch", "1",
                     "--stations", "8", "--drift", "0")


@pytest.fixture(scope="session")
def bin_run(tmp_path_factory):
    """The same scenario with unformatted cell arrays and store files."""
    return _make_run(tmp_path_factory, "bin", "--start-year", "1949",
                     "--years", "2", "--steady-years", "1", "--rch", "1",
                     "--stations", "8", "--drift", "0", "--bin")


@pytest.fixture(scope="session")
def run4(tmp_path_factory):
    """Four RCH files and text store files, steady 1948, 1949-1950."""
    return _make_run(tmp_path_factory, "four", "--start-year", "1949",
                     "--years", "2", "--steady-years", "1",
                     "--stations", "8", "--drift", "0")


@pytest.fixture(scope="session")
def run1(tmp_path_factory):
    """One RCH file, unformatted store files."""
    return _make_run(tmp_path_factory, "one", "--start-year", "1949",
                     "--years", "2", "--steady-years", "1", "--rch",
                     "1", "--stations", "8", "--drift", "0", "--bin")


# The files a BUDGETCSV line must leave as they are.
UNCHANGED = ("fort.2", "quon/pump.bsn", "quon/rech.bsn", "quon.wel")


def _csv_run(tmp_path_factory, name, *options):
    """A generated run made twice in one folder: first as generated (its
    files kept under before/), then with 'BUDGETCSV budget.csv' added."""
    run = _make_run(tmp_path_factory, name, *options)
    keep = run / "before"
    for f in UNCHANGED:
        if (run / f).exists():
            (keep / f).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(run / f, keep / f)
    with open(run / "quon.par", "a") as f:
        f.write("BUDGETCSV budget.csv\n")
    subprocess.run([os.path.join(BUILD, "quon"), "quon.par"], cwd=run,
                   check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return run


@pytest.fixture(scope="session")
def csv_run4(tmp_path_factory):
    """Four RCH files, a steady span of two years, sub-areas."""
    return _csv_run(tmp_path_factory, "csv4", "--start-year", "1950",
                    "--years", "3", "--steady-years", "2", "--stations",
                    "8", "--drift", "0")


@pytest.fixture(scope="session")
def csv_run1(tmp_path_factory):
    """One RCH file, steady span of three years, unformatted files."""
    return _csv_run(tmp_path_factory, "csv1", "--start-year", "1949",
                    "--years", "2", "--steady-years", "3", "--rch", "1",
                    "--stations", "8", "--drift", "0", "--bin")


@pytest.fixture(scope="session")
def csv_runs(csv_run4, csv_run1):
    return (csv_run4, csv_run1)


def _tool(name, args, cwd):
    """Runs tools/<name> with Debian's Python; (exit status, stdout, stderr)."""
    p = subprocess.run(["/usr/bin/python3", os.path.join(TOP, "tools", name),
                        *map(str, args)], cwd=cwd, capture_output=True,
                       text=True)
    return p.returncode, p.stdout, p.stderr


def quon_plot(*args, cwd=None):
    return _tool("quon-plot", args, cwd)


def quon_export(*args, cwd=None):
    return _tool("quon-export", args, cwd)

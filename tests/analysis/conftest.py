"""conftest.py - fixtures of the analysis tests: generated runs with a
BUDGETCSV line, made with the scenario generator and quon of the build
folder named by QUON_BUILD_DIR (as tests/plot/conftest.py makes its runs)."""

import importlib.util
import os
import shutil
import subprocess

import pytest

_spec = importlib.util.spec_from_file_location(
    "plot_conftest", os.path.join(os.path.dirname(os.path.dirname(
        os.path.abspath(__file__))), "plot", "conftest.py"))
plot = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(plot)  # also puts tools/ on sys.path
TOP = plot.TOP
BUILD = os.environ.get("QUON_BUILD_DIR", os.path.join(TOP, "build"))
# The files a BUDGETCSV line must leave as they are.
UNCHANGED = ("fort.2", "quon/pump.bsn", "quon/rech.bsn", "quon.wel")


def _csv_run(tmp_path_factory, name, *options):
    """A generated run made twice in one folder: first as generated (its
    files kept under before/), then with 'BUDGETCSV budget.csv' added."""
    run = plot._make_run(tmp_path_factory, name, *options)
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

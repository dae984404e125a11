"""conftest.py - fixtures of the quon-export tests: generated runs made as the
quon-plot tests make theirs (tests/plot/conftest.py)."""

import importlib.util
import os
import subprocess

import pytest

_spec = importlib.util.spec_from_file_location(
    "plot_conftest", os.path.join(os.path.dirname(os.path.dirname(
        os.path.abspath(__file__))), "plot", "conftest.py"))
plot = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(plot)  # also puts tools/ on sys.path
TOOL = os.path.join(plot.TOP, "tools", "quon-export")
BUILD = plot.BUILD


@pytest.fixture(scope="session")
def run4(tmp_path_factory):
    """Four RCH files and text store files, steady 1948, 1949-1950."""
    return plot._make_run(tmp_path_factory, "four", "--start-year", "1949",
                          "--years", "2", "--steady-years", "1",
                          "--stations", "8", "--drift", "0")


@pytest.fixture(scope="session")
def run1(tmp_path_factory):
    """One RCH file, unformatted store files."""
    return plot._make_run(tmp_path_factory, "one", "--start-year", "1949",
                          "--years", "2", "--steady-years", "1", "--rch",
                          "1", "--stations", "8", "--drift", "0", "--bin")


def quon_export(*args, cwd=None):
    """Runs the command; (exit status, stdout, stderr)."""
    p = subprocess.run(["/usr/bin/python3", TOOL, *map(str, args)], cwd=cwd,
                       capture_output=True, text=True)
    return p.returncode, p.stdout, p.stderr

"""test_example.py - examples/analysis.py on a generated run: the budget
table and the exported NetCDF file give one line per transient year, whose
recharge is fort.2's, and whose recharge from the yearly grids agrees."""

import os
import subprocess

import pandas as pd

from conftest import BUILD, TOP

PYTHON = "/usr/bin/python3"


def test_analysis_example_compares_the_years(csv_run4, tmp_path):
    nc = tmp_path / "run.nc"
    subprocess.run([PYTHON, os.path.join(TOP, "tools", "quon-export"),
                    csv_run4 / "quon.par", "-o", nc, "--quon",
                    os.path.join(BUILD, "quon")], check=True,
                   stdout=subprocess.DEVNULL)
    png = tmp_path / "years.png"
    p = subprocess.run([PYTHON, os.path.join(TOP, "examples", "analysis.py"),
                        csv_run4 / "budget.csv", nc, "--plot", png],
                       capture_output=True, text=True)
    assert (p.returncode, p.stderr) == (0, "")
    lines = p.stdout.splitlines()
    assert lines[0].split() == ["precip_in", "rech_budget_af",
                                "rech_grid_af", "pumping_af", "rech_diff_af"]
    assert lines[-1] == str(png) and png.stat().st_size > 10000
    rows = {int(line.split()[0]): [float(v.replace(",", "")) for v in
                                   line.split()[1:]] for line in lines[2:-1]}
    fort2 = pd.read_fwf(csv_run4 / "fort.2", widths=[5] + [10] * 40,
                        header=None, skiprows=2, dtype=str)
    assert sorted(rows) == [1950, 1951, 1952]
    for year, (precip, budget, grid, pumping, diff) in rows.items():
        row = fort2[fort2[0].str.strip() == str(year)].iloc[0]
        # The groups' totals are their columns 4, 8, ... (three zones).
        assert f"{budget:.1f}" == row[24].strip()
        assert abs(pumping - float(row[4]) - float(row[8])) <= 0.11
        assert abs(diff) < 1e-6 * budget and abs(grid - budget) < 0.1
        assert 5 < precip < 60

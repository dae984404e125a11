"""test_budgetcsv.py - the BUDGETCSV table against the report file's budget
rows and the sub-area files it accompanies: every printed value is the
table's value rounded as those files round, the table has a row for each
and no other, pandas reads it with its defaults, and the files printed for
people stay byte for byte as a run without the table writes them."""

import math
import os
import re
import subprocess

import pandas as pd
import pytest

from conftest import BUILD, UNCHANGED

HEADER = "period,first_year,last_year,area_kind,area,quantity,value"


def printed(value, width):
    """The value as Fw.1 prints it: the exact double rounded, ties to even
    (as Python's formatting rounds), asterisks when it does not fit."""
    s = f"{value:{width}.1f}"
    return s if len(s) == width else "*" * width


def spans(run):
    """(first, last) of the STEADY line."""
    words = re.search(r"^STEADY\s+(\d+)\s+(\d+)", (run / "quon.par")
                      .read_text(), re.M)
    return int(words.group(1)), int(words.group(2))


def report_table(run):
    """{(period, first, last, area, quantity): printed text} of fort.2's
    budget rows; the steady row's values are the precipitation recharge."""
    lines = (run / "fort.2").read_text().splitlines()
    head = next(k for k, l in enumerate(lines) if l.startswith(" Year"))
    fields = [lines[head][k:k + 10].strip()
              for k in range(5, len(lines[head]), 10)]
    groups, zones = [], []
    for f in fields:
        if f.endswith(("_af", "_ac")):
            groups.append((f, zones))
            zones = []
        else:
            zones.append(f)
    steady = spans(run)
    out = {}
    for line in lines[head + 1:]:
        label = line[1:5]
        if not (label == "SS  " or label.isdigit()):
            continue  # a warning record among the rows
        values = [line[k:k + 10] for k in range(5, len(line), 10)]
        if label == "SS  ":
            key, cols = ("steady", *steady), [groups[5]]
        else:
            key, cols = ("year", int(label), int(label)), groups
        names = [(q, a) for q, zs in cols for a in zs + ["total"]]
        assert len(names) == len(values), line
        for (q, a), v in zip(names, values):
            out[key + (a, q)] = v
    return out


def subarea_table(run, name, quantity):
    lines = (run / "quon" / name).read_text().splitlines()
    names = lines[0].split()[1:]
    out = {}
    for line in lines[1:]:
        year = int(line[:4])
        values = [line[k:k + 12] for k in range(4, len(line), 12)]
        assert len(values) == len(names)
        for a, v in zip(names, values):
            out[("year", year, year, a, quantity)] = v
    return out


def test_every_printed_value_is_the_tables_value_rounded(csv_runs):
    """The values as the text says them exactly: pandas' round-trip reader
    (its default reader misses some by a unit in the last place, which at a
    halfway point of the rounding shows in the printed decimal)."""
    for run in csv_runs:
        table = pd.read_csv(run / "budget.csv", float_precision="round_trip")
        for kind, width, expect in (
                ("zone", 10, report_table(run)),
                ("subarea", 12, {**subarea_table(run, "pump.bsn", "pump_af"),
                                 **subarea_table(run, "rech.bsn",
                                                 "rech_af")})):
            rows = table[table.area_kind == kind]
            got = {(r.period, r.first_year, r.last_year, r.area, r.quantity):
                   printed(r.value, width) for r in rows.itertuples()}
            assert len(got) == len(rows), "a row repeats"
            assert got == expect
            assert len(expect) > 40


def test_group_totals_are_the_sums_of_the_full_values(csv_runs):
    """quon sums a group's zone columns in column order into its total: at
    full precision the table's values give the total to the last bit, which
    the printed one-decimal values do not."""
    for run in csv_runs:
        table = pd.read_csv(run / "budget.csv", float_precision="round_trip")
        groups = table[table.area_kind == "zone"].groupby(
            ["period", "first_year", "quantity"])
        for _, g in groups:
            total = 0.0
            for v in g[g.area != "total"].value:
                total += v
            assert total == g[g.area == "total"].value.item()
        assert len(groups) >= 8


def test_pandas_reads_the_table_with_its_defaults(csv_runs):
    """Columns and types as the header says; pandas' default number reader
    comes within a few units in the last place of the exact values (1.5
    misses about one in eight by one or two)."""
    for run in csv_runs:
        assert (run / "budget.csv").read_text().split("\n", 1)[0] == HEADER
        table = pd.read_csv(run / "budget.csv")
        exact = pd.read_csv(run / "budget.csv", float_precision="round_trip")
        assert list(table.columns) == HEADER.split(",")
        assert [str(t) for t in table.dtypes] == ["object", "int64", "int64"]\
            + ["object"] * 3 + ["float64"]
        assert all(math.isclose(a, b, rel_tol=1e-15) for a, b in
                   zip(table.value, exact.value))
        steady = table[table.period == "steady"]
        assert set(zip(steady.first_year, steady.last_year)) == {spans(run)}


def test_printed_files_unchanged_by_the_table(csv_runs):
    for run in csv_runs:
        for f in UNCHANGED:
            if (run / "before" / f).exists():
                assert (run / f).read_bytes() == \
                    (run / "before" / f).read_bytes(), f


@pytest.mark.parametrize("edit,status,says", [
    # The table's name against the run's other files, inputs and outputs.
    (("BUDGETCSV budget.csv", "BUDGETCSV fort.2"), 1,
     "One file named for two uses, one would overwrite the other: fort.2 "
     "(report file and BUDGETCSV file)"),
    (("BUDGETCSV budget.csv", "BUDGETCSV subarea.zon"), 1,
     "subarea.zon (BUDGET sub-area grid and BUDGETCSV file)"),
    (("BUDGETCSV budget.csv", "BUDGETCSV quon/rech.bsn"), 1,
     "(sub-area recharge file and BUDGETCSV file)"),
    # A table without budget zones would have no rows.
    (("BUDGET budget.zon subarea.zon", "#"), 1,
     "BUDGETCSV needs a BUDGET line, without budget zones its table has no "
     "rows: budget.csv"),
    (("BUDGETCSV budget.csv", "BUDGETCSV"), 3,
     "BUDGETCSV needs a file name: BUDGETCSV"),
    ((None, None), 0, "BUDGETCSV file budget.csv: exists, will be replaced"),
])
def test_check_guards_and_lists_the_table(csv_run1, tmp_path, edit, status,
                                          says):
    for name in os.listdir(csv_run1):
        if name != "quon.par":
            os.symlink(csv_run1 / name, tmp_path / name)
    par = (csv_run1 / "quon.par").read_text()
    if edit[0]:
        assert edit[0] in par
        par = par.replace(edit[0], edit[1])
    (tmp_path / "quon.par").write_text(par)
    p = subprocess.run([os.path.join(BUILD, "quon"), "--check", "quon.par"],
                       cwd=tmp_path, capture_output=True, text=True)
    assert p.returncode == status, p.stdout
    assert says in p.stdout

"""tables.py - reads the text tables of a run into numpy arrays: the budget
table of fort.2, the sub-area budget files (pump.bsn, rech.bsn), the yearly
pumping tables (year.csv) and the station locations. Every fault of a file
raises InputError naming the file."""

import re

import numpy as np

from .readers import (NCELL, NCOL, NROW, STATES, InputError, _fixed_fields,
                      _header_words, _number, _open_text)

BUDGET_WIDTH = 10  # fort.2 (1X,A4,99F10.1)
BSN_WIDTH = 12  # sub-area files (A4,99F12.1)
BUDGET_GROUPS = ("gwIrr_af", "gwMI_af", "gwArea_ac", "coArea_ac",
                 "swArea_ac", "RchRcp_af", "RchRcg_af", "RchRcs_af",
                 "RchRcc_af")


# ---- Budget tables ----------------------------------------------------------

class Budget:
    """The budget table of fort.2. names: the budget zone names (NZ);
    years: the transient years; values[year, group, column] with NZ + 1
    columns a group (the zones, then the group's total); steady: the
    RchRcp_af row of the steady period (NZ + 1 values) or None; other: the
    file's other lines (warnings and error records) with their numbers."""

    def __init__(self, names, years, values, steady, other):
        self.names, self.years, self.values = names, years, values
        self.steady, self.other = steady, other

    def series(self, group, column):
        """One column of the table over the years: group by label, column by
        zone name or 'total'."""
        g = BUDGET_GROUPS.index(group)
        c = len(self.names) if column == "total" else self.names.index(column)
        return self.values[:, g, c]


def _fields(line, start, width):
    return [line[k:k + width] for k in range(start, len(line), width)]


def read_budget(path):
    """The budget table of a fort.2 report file."""
    lines = _open_text(path).splitlines()
    names = None
    years, rows, steady, other = [], [], None, []
    for n, line in enumerate(lines, 1):
        if line.startswith(" Year") and line.rstrip().endswith("RchRcc_af"):
            heads = [f.strip() for f in _fields(line.rstrip(), 5,
                                                BUDGET_WIDTH)]
            nz = len(heads) // 9 - 1
            if len(heads) != 9 * (nz + 1) or heads[nz::nz + 1] != \
                    list(BUDGET_GROUPS):
                raise InputError(path, f"line {n}: budget header without "
                                 "its nine groups")
            names = heads[:nz]
            continue
        label = line[1:5]
        if names is not None and (label == "SS  " or re.fullmatch(
                r" *\d+", label)) and line[:1] == " ":
            vals = _fixed_fields(line[5:], BUDGET_WIDTH, path, f"line {n}")
            nz = len(names)
            if label == "SS  ":
                if vals.size != nz + 1:
                    raise InputError(path, f"line {n}: steady row of "
                                     f"{vals.size} values, not {nz + 1}")
                steady = vals
            else:
                if vals.size != 9 * (nz + 1):
                    raise InputError(path, f"line {n}: row of {vals.size} "
                                     f"values, not {9 * (nz + 1)}")
                years.append(int(label))
                rows.append(vals.reshape(9, nz + 1))
            continue
        if line.strip():
            other.append((n, line))
    if names is None:
        raise InputError(path, "no budget table (no header line)")
    values = np.array(rows) if rows else np.zeros((0, 9, len(names) + 1))
    return Budget(names, years, values, steady, other)


class SubareaBudget:
    """A sub-area file (pump.bsn or rech.bsn): names of sub-areas 0..NSUB,
    years, values[year, sub-area, state] (states CO, KS, NE)."""

    def __init__(self, names, years, values):
        self.names, self.years, self.values = names, years, values


def read_subareas(path):
    """A sub-area file: header ' Year name_co name_ks name_ne ...', then per
    transient year the year in 4 characters and 12-character values."""
    lines = _open_text(path).splitlines()
    if not lines or not lines[0].startswith(" Year "):
        raise InputError(path, "no ' Year' header line")
    items = re.findall(r"(.*?)_(co|ks|ne) ", lines[0][6:] + " ")
    if not items or len(items) % 3 or [s for _, s in items] != \
            list(STATES) * (len(items) // 3):
        raise InputError(path, "header items are not name_co name_ks name_ne")
    names = [n for n, _ in items[::3]]
    years, rows = [], []
    for n, line in enumerate(lines[1:], 2):
        if not line.strip():
            continue
        try:
            years.append(int(line[:4]))
        except ValueError:
            raise InputError(path, f"line {n}: no year") from None
        vals = _fixed_fields(line[4:], BSN_WIDTH, path, f"line {n}")
        if vals.size != 3 * len(names):
            raise InputError(path, f"line {n}: {vals.size} values, not "
                             f"{3 * len(names)}")
        rows.append(vals.reshape(len(names), 3))
    values = np.array(rows) if rows else np.zeros((0, len(names), 3))
    return SubareaBudget(names, years, values)


# ---- Stations ---------------------------------------------------------------

def read_stations(path):
    """Station locations: (names, x, y) in feet, from a header line and
    then 'name x y' lines; '#' and empty lines skipped, 'END' ends."""
    names, xs, ys = [], [], []
    lines = _open_text(path).splitlines()
    for n, line in enumerate(lines[1:], 2):
        if not line.strip() or line.startswith("#"):
            continue
        if line.rstrip() == "END":
            break
        words = _header_words(line)
        try:
            names.append(words[0])
            xs.append(_number(words[1]))
            ys.append(_number(words[2]))
        except (IndexError, ValueError):
            raise InputError(path, f"line {n}: not 'name x y'") from None
    return names, np.array(xs), np.array(ys)


# ---- Yearly pumping tables -------------------------------------------------

def read_year_csv(path):
    """The yearly pumping table: {'irr_af': grid, 'mi_af': grid} in acre-feet
    a year, from lines 'node, row, col, irr_af, mi_af,'."""
    text = _open_text(path)
    head, _, body = text.partition("\n")
    if [w.strip() for w in head.split(",")][:5] != ["node", "row", "col",
                                                    "irr_af", "mi_af"]:
        raise InputError(path, "no 'node, row, col, irr_af, mi_af' header")
    # A value too wide for its (F12.2) field is a row of asterisks.
    body = re.sub(r"\*+", "nan", body)
    try:
        table = np.array(body.replace(",", " ").split(), dtype=np.float64)
    except ValueError:
        raise InputError(path, "a field is not a number") from None
    if table.size != 5 * NCELL:
        raise InputError(path, f"{table.size // 5} cell lines, not {NCELL}")
    table = table.reshape(NCELL, 5)
    out = {}
    rows = table[:, 1].astype(int) - 1
    cols = table[:, 2].astype(int) - 1
    if rows.min() < 0 or rows.max() >= NROW or cols.min() < 0 or \
            cols.max() >= NCOL:
        raise InputError(path, "a row or column lies outside the grid")
    for k, name in ((3, "irr_af"), (4, "mi_af")):
        grid = np.zeros((NROW, NCOL))
        grid[rows, cols] = table[:, k]
        out[name] = grid
    return out

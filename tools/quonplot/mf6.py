"""mf6.py - quon-mf6: quon's MODFLOW 6 files (a run with MF6 base) in a
simulation, and mf6's budget of them against quon's MODFLOW-2005 files.

  quon-mf6 [--par FILE] [--mf6 BINARY] RUNDIR
  quon-mf6 --into SIMDIR [--model NAME] [--par FILE] [--mf6 BINARY] RUNDIR

Without --into: a small simulation of its own next to the MF6 files (the
folder of base): mfsim.nam, model.nam, model.dis (165 x 326 cells of 5280
ft, IDOMAIN 1 where IBOUND is not 0, as many layers as the IRCH and
WELLAYER grids name), model.npf, model.ic, model.sto, model.chd (the IBOUND
-1 cells held at their start head, and one cell of any area of active cells
without one), model.ims and model.oc (budget file model.cbc and budget CSV
model.budget.csv).

With --into: quon's packages in an existing simulation on the same grid,
any number of layers: quon's TDIS replaces the simulation's, the RCH and
WEL packages (WEL with its observations) join the model's name file, the
STO package gets quon's PERIOD blocks; every other package stays. Each
file changed is first copied to FILE.before-quon (once). Where recharge
lands on an inactive cell, a top-active-layer grid for the MF6 option
IRCH is written.

With --mf6: runs mf6 there and compares the budget of every period,
package by package, with the MODFLOW-2005 files of the run; prints the
table, the totals by package and by state, and the largest relative
difference: 1 when one exceeds 1e-6 or mf6 did not end normally.
"""
import argparse
import csv
import os
import shutil
import subprocess
import sys

import numpy as np

from . import readers as rd

TOOL = "quon-mf6"
AREA = rd.CELLSIZE * rd.CELLSIZE
TOLERANCE = 1e-6
START_HEAD = 500.0
DAY = 86400.0
BACKUP = ".before-quon"
STATES = ("co", "ks", "ne")


class Usage(argparse.ArgumentParser):
    """A usage fault is one line naming the tool, status 2."""

    def error(self, message):
        sys.stderr.write(f"{TOOL}: {message} (see {TOOL} --help)\n")
        sys.exit(2)


def fail(path, what):
    raise rd.InputError(path, what)


def read_text(path):
    try:
        with open(path, encoding="latin-1") as f:
            return f.read()
    except FileNotFoundError:
        fail(path, "no such file")
    except IsADirectoryError:
        fail(path, "is a folder, not a file")
    except OSError as e:
        fail(path, e.strerror or "cannot be read")


# ---- MODFLOW 6 input files --------------------------------------------------

def words_of(line):
    """The words of an input line without its comment (#, !, //)."""
    for mark in ("#", "!", "//"):
        k = line.find(mark)
        if k >= 0:
            line = line[:k]
    return line.split()


def blocks(path, text=None):
    """The blocks of a MODFLOW 6 input file: a list of (NAME, header words,
    lines), the lines as written."""
    out, cur = [], None
    for line in (read_text(path) if text is None else text).splitlines():
        w = words_of(line)
        if w and w[0].upper() == "BEGIN" and len(w) > 1:
            cur = (w[1].upper(), w[2:], [])
            out.append(cur)
        elif w and w[0].upper() == "END" and cur is not None:
            cur = None
        elif cur is not None:
            cur[2].append(line)
    return out


def block_lines(path, name, text=None):
    return [words_of(l) for b in blocks(path, text) if b[0] == name
            for l in b[2] if words_of(l)]


class Tokens:
    """An iterator over words that tells where it stands."""

    def __init__(self, words, at):
        self.words, self.at = words, at

    def __iter__(self):
        return self

    def __next__(self):
        if self.at >= len(self.words):
            raise StopIteration
        self.at += 1
        return self.words[self.at - 1]


def read_array(tokens, n, folder, path, what):
    """n values of an array given by a control line (CONSTANT, INTERNAL or
    OPEN/CLOSE) from the token iterator."""
    try:
        kind = next(tokens).upper()
        if kind == "CONSTANT":
            return np.full(n, float(next(tokens)))
        factor, name = 1.0, None
        if kind == "OPEN/CLOSE":
            name = next(tokens)
        elif kind != "INTERNAL":
            fail(path, f"{what}: {kind} is not CONSTANT, INTERNAL or "
                 "OPEN/CLOSE")
        # Control words up to the values (or the end of the line).
        vals = []
        for t in tokens:
            u = t.upper()
            if u == "FACTOR":
                factor = float(next(tokens))
            elif u == "(BINARY)":
                fail(path, f"{what}: binary arrays are not read")
            elif u in ("IPRN",):
                next(tokens)
            else:
                vals.append(t)
                break
        if name is not None:
            if vals:
                tokens.at -= 1  # the next array's name
            src = iter(read_text(os.path.join(folder, name)).split())
            data = [float(next(src)) for _ in range(n)]
        else:
            data = [float(v) for v in vals]
            while len(data) < n:
                data.append(float(next(tokens)))
        return np.array(data) * factor
    except StopIteration:
        fail(path, f"{what}: fewer values than the grid has cells")
    except ValueError:
        fail(path, f"{what}: a value is not a number")


class Dis:
    """The grid of a DIS6 file: layers, IDOMAIN (nlay, 165, 326)."""

    def __init__(self, path, folder):
        dims = {w[0].upper(): w[1] for w in block_lines(path, "DIMENSIONS")
                if len(w) > 1}
        try:
            self.nlay, nrow, ncol = (int(dims.get(k, "0")) for k in
                                     ("NLAY", "NROW", "NCOL"))
        except ValueError:
            fail(path, "DIMENSIONS: NLAY, NROW or NCOL is not a whole number")
        for key, have, want in (("NROW", nrow, rd.NROW),
                                ("NCOL", ncol, rd.NCOL)):
            if have != want:
                fail(path, f"{key} is {have}, quon's grid has {want}")
        if self.nlay < 1:
            fail(path, "NLAY is not given")
        opts = [w for w in block_lines(path, "OPTIONS")]
        for w in opts:
            if w[0].upper() == "LENGTH_UNITS" and len(w) > 1 and \
                    w[1].lower() not in ("feet", "ft", "unknown"):
                fail(path, f"LENGTH_UNITS is {w[1]}, quon's grid is in feet")
        grid = {}
        words = [t for w in block_lines(path, "GRIDDATA") for t in w]
        size = {"DELR": rd.NCOL, "DELC": rd.NROW, "TOP": rd.NCELL}
        at = 0
        while at < len(words):
            name = words[at].upper()
            layered = at + 1 < len(words) and \
                words[at + 1].upper() == "LAYERED"
            tokens = Tokens(words, at + 1 + layered)
            if layered:
                grid[name] = np.concatenate([
                    read_array(tokens, rd.NCELL, folder, path, name)
                    for _ in range(self.nlay)])
            else:
                grid[name] = read_array(tokens, size.get(
                    name, self.nlay * rd.NCELL), folder, path, name)
            at = tokens.at
        for key in ("DELR", "DELC"):
            if key not in grid:
                fail(path, f"no {key}")
            bad = grid[key] != rd.CELLSIZE
            if bad.any():
                fail(path, f"{key} is {grid[key][bad][0]:g} at cell "
                     f"{int(np.argmax(bad)) + 1}, quon's cells are "
                     f"{rd.CELLSIZE:g} ft")
        idomain = grid.get("IDOMAIN", np.ones(self.nlay * rd.NCELL))
        self.idomain = idomain.reshape(self.nlay, rd.NROW, rd.NCOL)


def name_entries(path, block):
    """The entries of a name file block: (type, file, name or None, line
    index)."""
    out = []
    text = read_text(path).splitlines()
    inside = False
    for i, line in enumerate(text):
        w = words_of(line)
        if len(w) >= 2 and w[0].upper() == "BEGIN" and w[1].upper() == block:
            inside = True
        elif w and w[0].upper() == "END" and inside:
            inside = False
        elif inside and len(w) >= 2:
            out.append((w[0].upper(), w[1], w[2] if len(w) > 2 else None, i))
    return out


def held_in(path, folder, nlay):
    """The cells of a CHD package's first PERIOD block, (nlay, 165, 326)."""
    held = np.zeros((nlay, rd.NROW, rd.NCOL), bool)
    for b in blocks(path):
        if b[0] != "PERIOD":
            continue
        lines = b[2]
        w0 = words_of(lines[0]) if lines else []
        if w0 and w0[0].upper() == "OPEN/CLOSE":
            lines = read_text(os.path.join(folder, w0[1])).splitlines()
        for line in lines:
            w = words_of(line)
            try:
                lay, row, col = int(w[0]), int(w[1]), int(w[2])
                held[lay - 1, row - 1, col - 1] = True
            except (ValueError, IndexError):
                continue
        break
    return held


# ---- The quon run -------------------------------------------------------------

def read_layers(path):
    """A layer grid of the MF6 line: 165 rows of 326 whole numbers."""
    vals = read_text(path).replace(",", " ").split()
    if len(vals) < rd.NCELL:
        n = len(vals)
        fail(path, f"ends at row {n // rd.NCOL + 1}, column "
             f"{n % rd.NCOL + 1}")
    try:
        return np.array(vals[:rd.NCELL], dtype=np.int64).reshape(rd.NROW,
                                                                  rd.NCOL)
    except ValueError:
        fail(path, "a value is not a whole number")


class QuonRun:
    """What quon wrote with MF6 base: the files by their use, the options of
    the MF6 line, and the inputs of the run that no tool may overwrite."""

    def __init__(self, rundir, par=None):
        self.dir = os.path.abspath(rundir)
        if not os.path.isdir(self.dir):
            fail(rundir, "no such folder")
        self.par = par or os.path.join(self.dir, "quon.par")
        self.params = p = rd.read_params(self.par)
        if not p.mf6:
            fail(self.par, "no MF6 line: nothing for MODFLOW 6 was written")
        self.base = os.path.join(self.dir, p.mf6)
        self.folder = os.path.dirname(self.base)
        self.options = {}
        for line in read_text(self.par).splitlines():
            w = rd._header_words(line[:8192])
            if w and w[0][:16].upper() == "MF6":
                self.options = {}
                rest = w[2:]
                while rest:
                    key = rest.pop(0).upper()
                    self.options[key] = rest.pop(0) if key != "DAYS" and \
                        rest else True
        self.packages = self.base + ".packages"
        self.tdis = self.wel = self.obs = None
        self.rch, self.sto = [], []
        section = None
        if not os.path.exists(self.packages):
            fail(self.packages, "no such file: run quon with this parameter "
                 "file first")
        for line in read_text(self.packages).splitlines():
            if line.startswith("#"):
                section = ("tdis" if "TIMING" in line else
                           "gwf" if "PACKAGES" in line else
                           "obs" if line.startswith("# Observations") else
                           "sto" if "STO" in line else None)
                continue
            w = line.split()
            if section == "tdis" and w:
                self.tdis = w[1]
            elif section == "gwf" and len(w) == 3 and w[0] == "RCH6":
                self.rch.append((w[1], w[2]))
            elif section == "gwf" and len(w) == 3 and w[0] == "WEL6":
                self.wel = (w[1], w[2])
            elif section == "obs" and len(w) == 2:
                self.obs = w[1]
            elif section == "sto":
                self.sto.append(line)
        if not self.tdis or not self.rch or not self.wel:
            fail(self.packages, "not a package list of quon (no TDIS6, RCH6 "
                 "or WEL6 line)")
        self.days = any(w[:2] == ["TIME_UNITS", "days"] for w in
                        block_lines(self.mf6file(self.tdis), "OPTIONS"))
        self.ibound, _ = rd.read_zones(self.path(p.ibound), header=False)
        self.irch = self.layer_grid("IRCH")
        self.wellayer = self.layer_grid("WELLAYER")

    def path(self, name):
        return os.path.join(self.dir, name)

    def mf6file(self, name):
        return os.path.join(self.folder, name)

    def layer_grid(self, key):
        name = self.options.get(key)
        return read_layers(self.path(name)) if name else \
            np.ones((rd.NROW, rd.NCOL), np.int64)

    def files(self):
        """quon's MODFLOW 6 files, names relative to their folder."""
        return [self.tdis] + [f for f, _ in self.rch] + [self.wel[0]] + \
            ([self.obs] if self.obs else [])

    def inputs(self):
        """The files the run reads, as far as the parameter file names
        them, and the parameter file."""
        p = self.params
        names = [p.ibound, p.soil, p.mound, self.options.get("IRCH"),
                 self.options.get("WELLAYER")]
        for group in (p.terrain, p.budget, p.stations):
            names += list(group or ())
        out = [self.par]
        for n in names:
            if n and n != "*":
                out.append(self.path(n))
        return out

    def expected(self, receives):
        """quon's MODFLOW-2005 budget per period and package, as mf6 should
        give it: recharge value x multiplier x cell area and the well rates,
        over the cells for which receives(layer grid) is true (inactive and
        constant-head cells get nothing in either model); per second, or per
        day with DAYS. Also the period labels."""
        scale = DAY if self.days else 1.0
        rch_ok = receives(self.irch) & (self.ibound != 0)
        wel_ok = receives(self.wellayer) & (self.ibound != 0)
        exp, labels = {}, None
        for (_, name), path in zip(self.rch, self.params.recharge):
            with rd.RchFile(self.path(path)) as f:
                exp[name.upper()] = [
                    float(np.sum(f.values(k)[rch_ok]) * f.factors[k]) *
                    AREA * scale for k in range(len(f.labels))]
                labels = f.labels
        exp[self.wel[1].upper()] = [
            float(np.sum(rates[wel_ok[rows, cols]])) * scale
            for _, rows, cols, rates in rd.wel_periods(
                self.path(self.params.well))]
        return exp, labels


# ---- Writing ------------------------------------------------------------------

class Writer:
    """Writes files, never one that is an input of the run (same device and
    inode), keeping a copy of an existing file it changes under --into."""

    def __init__(self, run, backup):
        self.keys = set()
        for name in run.inputs():
            try:
                st = os.stat(name)
                self.keys.add((st.st_dev, st.st_ino))
            except OSError:
                pass
        self.backup = backup
        self.changed = []

    def check(self, path):
        try:
            st = os.stat(path)
        except OSError:
            return False
        if (st.st_dev, st.st_ino) in self.keys:
            fail(path, "is an input of the quon run, not overwritten")
        return True

    def put(self, path, text):
        exists = self.check(path)
        if exists and self.backup:
            if read_text(path) == text:
                return
            if not os.path.exists(path + BACKUP):
                shutil.copy2(path, path + BACKUP)
            self.changed.append(path)
        with open(path, "w") as f:
            f.write(text)

    def copy(self, src, dst):
        if os.path.exists(dst) and os.path.samefile(src, dst):
            return
        self.put(dst, read_text(src))


def grid_text(values, fmt, per_line=20):
    rows = []
    for row in values:
        for k in range(0, len(row), per_line):
            rows.append(" ".join(fmt % v for v in row[k:k + per_line]))
    return "\n".join(rows)


def held_cells(ibound):
    """The constant-head cells of the own simulation: the IBOUND -1 cells,
    and the first cell of every area of active cells (joined by sides)
    that has none, which would otherwise have no steady solution."""
    held = ibound < 0
    seen = np.zeros(ibound.shape, bool)
    for r0, c0 in zip(*np.nonzero(ibound != 0)):
        if seen[r0, c0]:
            continue
        area, todo = [], [(r0, c0)]
        seen[r0, c0] = True
        while todo:
            r, c = todo.pop()
            area.append((r, c))
            for rr, cc in ((r + 1, c), (r - 1, c), (r, c + 1), (r, c - 1)):
                if (0 <= rr < rd.NROW and 0 <= cc < rd.NCOL and
                        ibound[rr, cc] != 0 and not seen[rr, cc]):
                    seen[rr, cc] = True
                    todo.append((rr, cc))
        if not any(held[r, c] for r, c in area):
            r, c = min(area)
            held[r, c] = True
            print(f"{TOOL}: {len(area)} active cell(s) without a constant "
                  f"head: held at row {r + 1}, column {c + 1}")
    return held


def own_simulation(run, out):
    """The simulation of its own around quon's files."""
    folder = run.folder
    held = held_cells(run.ibound)
    active = run.ibound != 0
    nlay = int(max(run.irch[active].max(initial=1),
                   run.wellayer[active].max(initial=1)))

    def put(name, text):
        out.put(os.path.join(folder, name), text.strip("\n") + "\n")

    packages = "\n".join(f"  RCH6  {f}  {n}" for f, n in run.rch) + \
        f"\n  WEL6  {run.wel[0]}  {run.wel[1]}"
    put("mfsim.nam", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN TIMING
  TDIS6  {run.tdis}
END TIMING
BEGIN MODELS
  GWF6  model.nam  MODEL
END MODELS
BEGIN EXCHANGES
END EXCHANGES
BEGIN SOLUTIONGROUP 1
  IMS6  model.ims  MODEL
END SOLUTIONGROUP
""")
    put("model.nam", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN PACKAGES
  DIS6  model.dis  DIS
  NPF6  model.npf  NPF
  IC6   model.ic   IC
  STO6  model.sto  STO
  CHD6  model.chd  CHD
  OC6   model.oc   OC
{packages}
END PACKAGES
""")
    idomain = active.astype(int)
    thick = 1000.0 / nlay
    botm = " ".join(f"{1000.0 - thick * (k + 1):g}" for k in range(nlay))
    put("model.dis", f"""
BEGIN OPTIONS
  LENGTH_UNITS feet
END OPTIONS
BEGIN DIMENSIONS
  NLAY {nlay}
  NROW {rd.NROW}
  NCOL {rd.NCOL}
END DIMENSIONS
BEGIN GRIDDATA
  DELR
    CONSTANT {rd.CELLSIZE}
  DELC
    CONSTANT {rd.CELLSIZE}
  TOP
    CONSTANT 1000.0
  BOTM LAYERED
""" + "\n".join(f"    CONSTANT {b}" for b in botm.split()) + """
  IDOMAIN LAYERED
""" + "\n".join(f"    INTERNAL FACTOR 1\n{grid_text(idomain, '%d', 40)}"
                for _ in range(nlay)) + "\nEND GRIDDATA\n")
    # A confined aquifer of 1000 ft at 10 ft/day: linear, so every period
    # solves in one outer iteration.
    k = 10.0 if run.days else 10.0 / DAY
    put("model.npf", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICELLTYPE
    CONSTANT 0
  K
    CONSTANT {k!r}
END GRIDDATA
""")
    put("model.ic", f"""
BEGIN GRIDDATA
  STRT
    CONSTANT {START_HEAD}
END GRIDDATA
""")
    put("model.sto", """
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICONVERT
    CONSTANT 0
  SS
    CONSTANT 1.0E-06
  SY
    CONSTANT 0.1
END GRIDDATA
""" + "\n".join(run.sto))
    chd = [f"  1 {r + 1} {c + 1} {START_HEAD}"
           for r, c in zip(*np.nonzero(held))]
    put("model.chd", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND {max(len(chd), 1)}
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(chd) + "\nEND PERIOD\n")
    put("model.ims", """
BEGIN OPTIONS
  COMPLEXITY SIMPLE
END OPTIONS
BEGIN NONLINEAR
  OUTER_DVCLOSE 1.0E-4
  OUTER_MAXIMUM 50
END NONLINEAR
BEGIN LINEAR
  INNER_MAXIMUM 500
  INNER_DVCLOSE 1.0E-6
  INNER_RCLOSE 1.0E-2
  LINEAR_ACCELERATION BICGSTAB
END LINEAR
""")
    put("model.oc", """
BEGIN OPTIONS
  BUDGET FILEOUT model.cbc
  BUDGETCSV FILEOUT model.budget.csv
END OPTIONS
BEGIN PERIOD 1
  SAVE BUDGET ALL
END PERIOD
""")
    held3 = np.zeros((nlay, rd.NROW, rd.NCOL), bool)
    held3[0] = held
    dom = np.broadcast_to(active, (nlay, rd.NROW, rd.NCOL))
    return folder, "model.budget.csv", dom, held3


def replace_block(text, name, new_lines):
    """The text with every block NAME taken out and new_lines at the end
    (or, for a block inside a name file, in place of its entries)."""
    out, skip = [], False
    for line in text.splitlines():
        w = words_of(line)
        if w[:2] and w[0].upper() == "BEGIN" and len(w) > 1 and \
                w[1].upper() == name:
            skip = True
        elif skip and w and w[0].upper() == "END":
            skip = False
            continue
        if not skip:
            out.append(line)
    return "\n".join(out).rstrip("\n") + "\n\n" + "\n".join(new_lines) + "\n"


def into(run, simdir, model, out, with_csv):
    """quon's packages in the simulation in simdir."""
    sim = os.path.join(simdir, "mfsim.nam")
    models = [e for e in name_entries(sim, "MODELS") if e[0] == "GWF6"]
    if not models:
        fail(sim, "no GWF6 model")
    if model:
        models = [e for e in models if (e[2] or "").upper() == model.upper()]
        if not models:
            fail(sim, f"no GWF6 model named {model}")
    elif len(models) > 1:
        fail(sim, "several GWF6 models: name one with --model")
    nam = os.path.join(simdir, models[0][1])
    entries = name_entries(nam, "PACKAGES")
    ours = {f.lower() for f in run.files()}
    theirs = [e for e in entries if os.path.basename(e[1]).lower() not in
              ours]
    dis = [e for e in theirs if e[0] == "DIS6"]
    if not dis:
        fail(nam, "no DIS6 package: quon's grid is a DIS grid of 165 x 326 "
             "cells")
    grid = Dis(os.path.join(simdir, dis[0][1]), simdir)
    sto = [e for e in theirs if e[0] == "STO6"]
    if not sto:
        fail(nam, "no STO6 package: every period would be steady")
    names = {(e[2] or "").upper(): e for e in theirs}
    for f, n in run.rch + [run.wel]:
        if n.upper() in names:
            fail(nam, f"package name {n.upper()} is already the model's "
                 f"({names[n.upper()][0]} {names[n.upper()][1]}): name quon's "
                 f"packages apart with PREFIX on its MF6 line, e.g. MF6 "
                 f"{run.params.mf6} PREFIX Q_")
    if run.irch.max() > grid.nlay or run.wellayer.max() > grid.nlay:
        fail(nam, f"the model has {grid.nlay} layers, quon's IRCH or "
             "WELLAYER grid names more")

    # Recharge on inactive cells is lost in mf6 and wells on them stop it:
    # both counted, and a grid of the top active layer of each cell written
    # for IRCH and WELLAYER.
    idom = grid.idomain > 0
    gets = np.zeros((rd.NROW, rd.NCOL), bool)
    for path in run.params.recharge:
        with rd.RchFile(run.path(path)) as f:
            for k in range(len(f.labels)):
                gets |= f.values(k) != 0
    gets &= run.ibound != 0
    r, c = np.indices(gets.shape)
    lost = gets & ~idom[run.irch - 1, r, c]
    wells, first = np.zeros(gets.shape, bool), None
    for label, wr, wc, _ in rd.wel_periods(run.path(run.params.well)):
        keep = run.ibound[wr, wc] != 0
        wr, wc = wr[keep], wc[keep]
        off = ~idom[run.wellayer[wr, wc] - 1, wr, wc]
        wells[wr[off], wc[off]] = True
        if off.any() and first is None:
            first = (label.strip(), wr[off][0], wc[off][0])
    top_name = os.path.abspath(os.path.join(simdir, "quon-top-layer.txt"))
    if lost.any() or first:
        top = np.where(idom.any(axis=0), np.argmax(idom, axis=0) + 1, 1)
        out.put(top_name, "\n".join(" ".join(str(v) for v in row)
                                    for row in top) + "\n")
    if lost.any():
        under = "layer 1" if "IRCH" not in run.options else "their IRCH layer"
        print(f"{TOOL}: {int(lost.sum())} cells receive recharge where "
              f"{under} is inactive (mf6 drops it); the top active layer "
              f"of each cell is in {top_name}: give it to quon as MF6 "
              f"{run.params.mf6} IRCH file")
    if first:
        label, r0, c0 = first
        fail(run.path(run.params.well), f"{int(wells.sum())} well cells "
             f"inactive in the model at their layer (mf6 would stop), first "
             f"in period '{label}' at row {r0 + 1}, column {c0 + 1}, layer "
             f"{run.wellayer[r0, c0]}: give quon MF6 {run.params.mf6} "
             f"WELLAYER {top_name}")

    # quon's files beside the simulation's, the TDIS replaced.
    for f in run.files():
        out.copy(run.mf6file(f), os.path.join(simdir, f))
    text = read_text(sim).splitlines()
    timing = [e for e in name_entries(sim, "TIMING") if e[0] == "TDIS6"]
    if not timing:
        fail(sim, "no TDIS6 line in its TIMING block")
    text[timing[0][3]] = f"  TDIS6  {run.tdis}"
    out.put(sim, "\n".join(text) + "\n")

    lines = read_text(nam).splitlines()
    for e in sorted(entries, key=lambda e: -e[3]):
        if os.path.basename(e[1]).lower() in ours:
            del lines[e[3]]
    end = next(i for i, l in enumerate(lines) if words_of(l)[:2] and
               words_of(l)[0].upper() == "END" and
               words_of(l)[1].upper() == "PACKAGES")
    lines[end:end] = [f"  RCH6  {f}  {n}" for f, n in run.rch] + \
        [f"  WEL6  {run.wel[0]}  {run.wel[1]}"]
    out.put(nam, "\n".join(lines) + "\n")

    stopath = os.path.join(simdir, sto[0][1])
    out.put(stopath, replace_block(read_text(stopath), "PERIOD", run.sto))

    csvname = None
    oc = [e for e in theirs if e[0] == "OC6"]
    if with_csv:
        if not oc:
            fail(nam, "no OC6 package to write the budget")
        ocpath = os.path.join(simdir, oc[0][1])
        opts = block_lines(ocpath, "OPTIONS")
        have = [w for w in opts if w[0].upper() == "BUDGETCSV"]
        if have:
            csvname = have[-1][2]
        else:
            csvname = models[0][2].lower() + ".quon-budget.csv"
            text = read_text(ocpath)
            body = [l for b in blocks(ocpath, text) if b[0] == "OPTIONS"
                    for l in b[2]]
            text = replace_block(text, "OPTIONS", [])
            opt = ["BEGIN OPTIONS"] + body + \
                [f"  BUDGETCSV FILEOUT {csvname}", "END OPTIONS", ""]
            out.put(ocpath, "\n".join(opt) + text.lstrip("\n"))

    held = np.zeros(grid.idomain.shape, bool)
    for e in theirs:
        if e[0] == "CHD6":
            held |= held_in(os.path.join(simdir, e[1]), simdir, grid.nlay)
    for path in out.changed:
        print(f"{TOOL}: {path} changed, the one before kept as "
              f"{os.path.basename(path)}{BACKUP}")
    return simdir, csvname, idom, held


# ---- Running and comparing ----------------------------------------------------

def run_mf6(binary, folder):
    exe = os.path.abspath(binary)
    if not (os.path.isfile(exe) and os.access(exe, os.X_OK)):
        fail(binary, "no such program (give the mf6 binary to --mf6)")
    try:
        done = subprocess.run([exe], cwd=folder, capture_output=True,
                              text=True)
    except OSError as e:
        fail(binary, e.strerror or "cannot be run")
    listing = os.path.join(folder, "mfsim.lst")
    text = read_text(listing) if os.path.exists(listing) else ""
    if done.returncode != 0 or "Normal termination" not in text:
        last = [l.strip() for l in (done.stdout + done.stderr).splitlines()
                if l.strip()]
        fail(listing, f"mf6 ended with status {done.returncode}"
             + (f": {last[-1]}" if last else ""))


def read_csv(path):
    with open(path) as f:
        return list(csv.DictReader(f))


def compare(run, folder, csvname, idomain, held):
    """mf6's budget by package against quon's MODFLOW-2005 files; the
    largest relative difference."""
    def receives(layers):
        r, c = np.indices(layers.shape)
        lay = np.clip(layers - 1, 0, idomain.shape[0] - 1)
        return idomain[lay, r, c] & ~held[lay, r, c]
    expect, labels = run.expected(receives)
    rows = read_csv(os.path.join(folder, csvname))
    if len(rows) != len(labels):
        fail(os.path.join(folder, csvname), f"{len(rows)} budget rows for "
             f"{len(labels)} periods")
    wel = run.wel[1].upper()

    def got(row, name):
        key = "WEL" if name == wel else "RCHA"
        try:
            return (float(row[f"{key}({name})_IN"]) -
                    float(row[f"{key}({name})_OUT"]))
        except KeyError:
            fail(os.path.join(folder, csvname), f"no column {key}({name})")
    unit = "cfd" if run.days else "cfs"
    cols = list(expect)
    print(f"period   " + "".join(f"{c:>18}" for c in cols) +
          f"   ({unit}, mf6)")
    worst = {c: 0.0 for c in cols}
    volume = {c: [0.0, 0.0] for c in cols}  # mf6, quon: acre-feet
    for k, row in enumerate(rows):
        line = f"{labels[k]:8s} "
        secs = rd.period_seconds(labels[k]) / (DAY if run.days else 1.0)
        for c in cols:
            m6, m05 = got(row, c), expect[c][k]
            rel = abs(m6 - m05) / abs(m05) if m05 else abs(m6)
            worst[c] = max(worst[c], rel)
            volume[c][0] += m6 * secs / 43560.0
            volume[c][1] += m05 * secs / 43560.0
            line += f"{m6:18.6f}"
        print(line)
    print("over the run, acre-feet (mf6, quon's MODFLOW-2005 files): " +
          ", ".join(f"{c} {v[0]:.1f} ({v[1]:.1f})"
                    for c, v in volume.items()))
    if run.obs:
        obs = os.path.join(folder, run.obs + ".csv")
        if os.path.exists(obs):
            states = read_csv(obs)
            names = [n for n in (states[0] if states else {})
                     if n.lower() != "time"]
            total = {n: 0.0 for n in names}
            for k, row in enumerate(states):
                secs = rd.period_seconds(labels[k]) / (DAY if run.days
                                                       else 1.0)
                for n in names:
                    total[n] += float(row[n]) * secs / 43560.0
                s = sum(float(row[n]) for n in names)
                m6 = got(rows[k], wel)
                rel = abs(s - m6) / abs(m6) if m6 else abs(s)
                worst[wel] = max(worst[wel], rel)
            print("WEL by state over the run, acre-feet (mf6): " +
                  ", ".join(f"{n} {v:.1f}" for n, v in total.items()))
    print("largest relative difference to the MODFLOW-2005 files: " +
          ", ".join(f"{c} {worst[c]:.2e}" for c in cols))
    return 1 if max(worst.values()) > TOLERANCE else 0


def main(argv):
    ap = Usage(prog=TOOL, description="quon's MODFLOW 6 files (a run with "
               "MF6 base) in a simulation of their own or, with --into, in "
               "an existing one; with --mf6, mf6's budget of them checked "
               "against quon's MODFLOW-2005 files. See quon-mf6(1).")
    ap.add_argument("rundir", metavar="RUNDIR", help="the quon run's folder")
    ap.add_argument("--par", metavar="FILE",
                    help="parameter file (default RUNDIR/quon.par)")
    ap.add_argument("--into", metavar="SIMDIR",
                    help="put quon's packages into this simulation")
    ap.add_argument("--model", metavar="NAME",
                    help="the GWF model of SIMDIR (when it has several)")
    ap.add_argument("--mf6", metavar="BINARY", help="run this mf6 and check")
    a = ap.parse_args(argv)
    if a.model and not a.into:
        ap.error("--model goes with --into")
    subject = a.into or a.rundir
    try:
        run = QuonRun(a.rundir, a.par)
        for f in run.files():
            if not os.path.isfile(run.mf6file(f)):
                fail(run.mf6file(f), "no such file: run quon with this "
                     "parameter file first")
        out = Writer(run, backup=bool(a.into))
        if a.into:
            if not os.path.isdir(a.into):
                fail(a.into, "no such folder")
            folder, csvname, idomain, held = into(run, a.into, a.model, out,
                                                  bool(a.mf6))
            print(f"{TOOL}: quon's packages put into {a.into}")
        else:
            folder, csvname, idomain, held = own_simulation(run, out)
            print(f"{TOOL}: simulation written in {folder}")
        if not a.mf6:
            return 0
        run_mf6(a.mf6, folder)
        return compare(run, folder, csvname, idomain, held)
    except rd.InputError as e:
        sys.stderr.write(f"{TOOL}: {e.path}: {e.what}\n")
    except OSError as e:
        sys.stderr.write(f"{TOOL}: {e.filename or subject}: "
                         f"{e.strerror or e}\n")
    except MemoryError:
        sys.stderr.write(f"{TOOL}: {subject}: out of memory\n")
    except Exception as e:  # a fault not foreseen still gets one line
        sys.stderr.write(f"{TOOL}: {subject}: {type(e).__name__}: {e}\n")
    return 1

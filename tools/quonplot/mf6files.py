"""mf6files.py - what quon-mf6 reads and writes: MODFLOW 6 input files
(blocks, arrays, the grid of a model, name files), the quon run whose MF6
files it takes (their names, the MF6 line's options), and the writer that
writes through the guard and keeps a copy of every file it changes."""
import os
import shutil

import numpy as np

from . import guard
from . import readers as rd


TOOL = "quon-mf6"
AREA = rd.CELLSIZE * rd.CELLSIZE
TOLERANCE = 1e-6
START_HEAD = 500.0
DAY = 86400.0
BACKUP = ".before-quon"
STATES = ("co", "ks", "ne")


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
    """What quon wrote with MF6 base: the files by their use and the options
    of the MF6 line."""

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
    """Writes files through the guard (never one the run or the command
    reads; under a temporary name until the command succeeds), keeping a
    copy of an existing file it changes under --into."""

    def __init__(self, backup):
        self.backup = backup
        self.changed = []

    def put(self, path, text):
        guard.check(path)
        if os.path.exists(path) and self.backup:
            if read_text(path) == text:
                return
            if not os.path.exists(path + BACKUP):
                shutil.copy2(path, guard.writing(path + BACKUP))
            self.changed.append(path)
        with open(guard.writing(path), "w") as f:
            f.write(text)

    def copy(self, src, dst):
        if os.path.exists(dst) and os.path.samefile(src, dst):
            return
        self.put(dst, read_text(src))

    def tell(self):
        """Names the files changed, once they are written."""
        for path in self.changed:
            print(f"{TOOL}: {path} changed, the one before kept as "
                  f"{os.path.basename(path)}{BACKUP}")


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

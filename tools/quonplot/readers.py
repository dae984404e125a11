"""readers.py - reads every file kind quon reads or writes into numpy arrays,
exactly as the files hold them: the RCH files period by period, the text and
unformatted cell grids, the zone grids with their names, the terrain plot
file, the WEL file and the parameter file (the text tables are read in
tables.py).

Grids come back as 165 x 326 arrays indexed [row - 1, column - 1], row 1 the
northern edge. A value the file shows as asterisks (too wide for its field)
reads as NaN. Every fault of a file raises InputError naming the file.
"""

import os
import re
import struct

import numpy as np

from .runner import InputError  # noqa: F401 - the fault of every reader


NROW = 165
NCOL = 326
NCELL = NROW * NCOL
CELLSIZE = 5280.0  # feet
X0 = 266023.0  # lower-left corner of the grid
Y0 = 14092806.0

# Field layouts of quon's writers.
RCH_WIDTH = 9  # (20F9.5)
RCH_PER_LINE = 20
RCH_LINES_PER_ROW = -(-NCOL // RCH_PER_LINE)  # 17
PLOT_WIDTH = 6  # terrain plot (999F6.3)
STATES = ("co", "ks", "ne")
DAYS = (31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31)

# One unformatted record of a whole grid: 4-byte length words around the
# 53,790 little-endian doubles.
RECLEN = NCELL * 8
BINSIZE = RECLEN + 8


def _open_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("latin-1")
    except FileNotFoundError:
        raise InputError(path, "no such file") from None
    except IsADirectoryError:
        raise InputError(path, "is a folder, not a file") from None
    except OSError as e:
        raise InputError(path, e.strerror or "cannot be read") from None


def _fixed_fields(text, width, path, what):
    """Values of fixed-width fields laid end to end (text or bytes);
    asterisks give NaN."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    n = len(text) // width
    if n * width != len(text):
        raise InputError(path, f"{what}: not a whole number of "
                         f"{width}-character fields")
    raw = np.frombuffer(text, dtype=f"S{width}")
    if b"*" in text:
        stars = np.char.find(raw, b"*") >= 0
        raw = np.where(stars, b"nan".rjust(width), raw)
    try:
        return raw.astype(np.float64)
    except ValueError:
        raise InputError(path, f"{what}: a field is not a number") from None


# ---- Period labels ----------------------------------------------------------

def period_label(text):
    """The 7-character period label of a period given as 'Steady', ' 7/1951',
    '7/1951' or '1951-07'; None when the text names no period."""
    t = text.strip()
    if t.lower() == "steady":
        return "Steady "
    m = re.fullmatch(r"(\d{1,2})/(\d{4})", t) or None
    if m:
        month, year = int(m.group(1)), int(m.group(2))
    else:
        m = re.fullmatch(r"(\d{4})-(\d{1,2})", t)
        if not m:
            return None
        year, month = int(m.group(1)), int(m.group(2))
    if not 1 <= month <= 12:
        return None
    return f"{month:2d}/{year:4d}"


def period_seconds(label):
    """Length in seconds of the period with this label, as quon counts it:
    365.25 days for the steady period, February of every fourth year 29."""
    if label.strip() == "Steady":
        return 31557600
    month, year = int(label[:2]), int(label[3:7])
    days = 29 if month == 2 and year % 4 == 0 else DAYS[month - 1]
    return days * 86400


# ---- RCH files --------------------------------------------------------------

# Lengths of the 17 lines of one row, 165 times over: 16 of 20 fields and
# one of the 6 left.
_RCH_LINE_LENGTHS = ([RCH_PER_LINE * RCH_WIDTH] * (RCH_LINES_PER_ROW - 1) +
                     [(NCOL % RCH_PER_LINE) * RCH_WIDTH]) * NROW
# The same as byte positions: one row is 2951 bytes, line ends included;
# _RCH_ENDS are the line ends of a whole period, _RCH_KEEP the field bytes
# of one row.
_RCH_ROW = sum(_RCH_LINE_LENGTHS[:RCH_LINES_PER_ROW]) + RCH_LINES_PER_ROW
_RCH_BODY = _RCH_ROW * NROW
_RCH_ENDS = np.cumsum(np.array(_RCH_LINE_LENGTHS) + 1) - 1
_RCH_KEEP = np.setdiff1d(np.arange(_RCH_ROW), _RCH_ENDS[:RCH_LINES_PER_ROW])

# Characters of a (F9.5) field by kind, and the kinds each of its nine
# places may hold: blanks, sign or digits, a digit, the point, five digits.
_DIGIT, _BLANK, _MINUS, _POINT = 1, 2, 4, 8
_F95_KIND = np.zeros(256, dtype=np.uint8)
_F95_KIND[ord("0"):ord("9") + 1] = _DIGIT
_F95_KIND[ord(" ")], _F95_KIND[ord("-")], _F95_KIND[ord(".")] = \
    _BLANK, _MINUS, _POINT
_F95_NEED = np.array([7, 7, 1, 8, 1, 1, 1, 1, 1], dtype=np.uint8)


class RchFile:
    """One RCH file, indexed period by period without reading the arrays:
    each period is a '1 0' line, the INTERNAL control record (label in
    columns 39-45) and 165 rows of 17 (20F9.5) lines. Arrays are read only
    for the periods asked for."""

    def __init__(self, path):
        self.path = str(path)
        try:
            self._f = open(self.path, "rb")
        except FileNotFoundError:
            raise InputError(path, "no such file") from None
        except OSError as e:
            raise InputError(path, e.strerror or "cannot be read") from None
        self.labels = []
        self.factors = []  # the control records' multipliers
        self._offsets = []
        self._index()

    def close(self):
        self._f.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _line(self):
        return self._f.readline()

    def _index(self):
        f = self._f
        first = [self._line() for _ in range(3)]
        if first[1].startswith(b"INTERNAL"):
            offset = 0
        elif first[2].startswith(b"INTERNAL"):
            offset = len(first[0])  # the header line
        elif first[0] and not first[1] and not first[2]:
            offset = len(first[0])  # a header and no period
        elif not first[0]:
            raise InputError(self.path, "empty file")
        else:
            raise InputError(self.path, "not an RCH file (no INTERNAL "
                             "array control record)")
        size = os.fstat(f.fileno()).st_size
        body = None  # byte length of a period's 165 rows, once known
        while offset < size:
            f.seek(offset)
            head = self._line()
            control = self._line()
            if not control.startswith(b"INTERNAL"):
                raise InputError(self.path, f"period {len(self.labels) + 1}"
                                 " does not start with its INTERNAL record")
            label = control.rstrip(b"\r\n")[38:45].decode("latin-1")
            start = offset + len(head) + len(control)
            self.labels.append(label.ljust(7))
            self.factors.append(float(control[9:24]))
            self._offsets.append(start)
            # Periods written by quon are all the same length; check that the
            # next one starts where it should, else count its lines.
            nxt = start + body if body else None
            if nxt is not None and nxt <= size:
                f.seek(nxt)
                after = self._line()
                if nxt == size or (self._line().startswith(b"INTERNAL")
                                   and after.split() == [b"1", b"0"]):
                    offset = nxt
                    continue
            f.seek(start)
            for k in range(NROW * RCH_LINES_PER_ROW):
                if not self._line():
                    raise InputError(self.path, f"period '{label.strip()}' "
                                     "ends before its 165 rows")
            offset = f.tell()
            body = offset - start

    def find(self, label):
        """Index of the period with this label (as period_label gives it)."""
        want = label.strip()
        for k, have in enumerate(self.labels):
            if have.strip() == want:
                return k
        raise InputError(self.path, f"no period labelled '{want}'")

    def period(self, k):
        """The 165 x 326 array of period number k (0-based), inches of
        recharge over each cell in the period."""
        start = self._offsets[k]
        self._f.seek(start)
        # Quon's layout, checked at once: every line end where it belongs.
        data = np.frombuffer(self._f.read(_RCH_BODY), dtype=np.uint8)
        if data.size == _RCH_BODY and (data[_RCH_ENDS] == 10).all():
            fields = data.reshape(NROW, -1)[:, _RCH_KEEP].tobytes()
            return _fixed_fields(fields, RCH_WIDTH, self.path, f"period "
                                 f"'{self.labels[k].strip()}'").reshape(
                                     NROW, NCOL)
        self._f.seek(start)
        lines = [self._line().rstrip(b"\r\n")
                 for _ in range(NROW * RCH_LINES_PER_ROW)]
        # A line of the wrong length would shift every value after it.
        if list(map(len, lines)) != _RCH_LINE_LENGTHS:
            raise InputError(self.path, f"period '{self.labels[k].strip()}' "
                             "has lines that are not (20F9.5) rows")
        values = _fixed_fields(b"".join(lines), RCH_WIDTH, self.path,
                               f"period '{self.labels[k].strip()}'")
        return values.reshape(NROW, NCOL)

    def values(self, k):
        """The array of period(k), read about twice as fast for quon's own
        layout: a field of blanks, an optional minus sign, digits, a point
        and five digits is turned into the integer of its digits divided by
        100000, which is the very double that reading the decimal text gives
        (both numbers are exact and one division rounds correctly). A period
        with any other field (asterisks, a damaged field) or other line ends
        is read by period(k)."""
        self._f.seek(self._offsets[k])
        data = np.frombuffer(self._f.read(_RCH_BODY), dtype=np.uint8)
        if data.size != _RCH_BODY or not (data[_RCH_ENDS] == 10).all():
            return self.period(k)
        cells = data.reshape(NROW, -1)[:, _RCH_KEEP].reshape(-1, RCH_WIDTH)
        kind = _F95_KIND[cells]
        sign = kind[:, 0] | kind[:, 1]
        # A blank or a sign must not follow a digit or a sign.
        if not (kind & _F95_NEED).all() or (
                (kind[:, 1] & (_BLANK | _MINUS)).astype(bool) &
                (kind[:, 0] != _BLANK)).any():
            return self.period(k)
        digits = np.where(kind == _DIGIT, cells - 48, 0).astype(np.int32)
        whole = digits[:, 0] * 10 + digits[:, 1]
        for j in (2, 4, 5, 6, 7, 8):
            whole *= 10
            whole += digits[:, j]
        out = whole / 100000.0
        np.negative(out, out=out, where=(sign & _MINUS).astype(bool))
        return out.reshape(NROW, NCOL)

    def year_total(self, year):
        """Sum of the twelve monthly arrays of a transient year (inches of
        recharge in the year)."""
        total = np.zeros((NROW, NCOL))
        for m in range(1, 13):
            total += self.period(self.find(f"{m:2d}/{year:4d}"))
        return total


# ---- Cell grids -------------------------------------------------------------

def is_unformatted(path):
    """True when the file starts as an unformatted record of a whole grid
    does (its length word); read_unformatted then checks the rest."""
    try:
        with open(path, "rb") as f:
            head = f.read(4)
    except OSError:
        return False
    return len(head) == 4 and struct.unpack("<i", head)[0] == RECLEN


def read_unformatted(path):
    """A grid stored as one unformatted record of 53,790 doubles."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        raise InputError(path, "no such file") from None
    except OSError as e:
        raise InputError(path, e.strerror or "cannot be read") from None
    if len(data) != BINSIZE:
        raise InputError(path, f"unformatted grid of {len(data)} bytes, not "
                         f"{BINSIZE}")
    head, tail = struct.unpack("<i", data[:4]), struct.unpack("<i", data[-4:])
    if head[0] != RECLEN or tail[0] != RECLEN:
        raise InputError(path, "unformatted record length words are not "
                         f"{RECLEN}")
    return np.frombuffer(data[4:-4], dtype="<f8").reshape(NROW, NCOL).copy()


_TOKEN = re.compile(r"[,;/]|[^ \t,;/]+")


_REAL = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eEdDqQ][+-]?\d+|[+-]\d+)?")
# A line of plain decimals only, the common case, converted in one go.
_PLAIN = re.compile(r"(?:[ \t]*[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)*"
                    r"[ \t]*")


def _number(tok):
    """A real as quon's list reader takes it: digits with an optional point,
    an exponent written with E, D or Q, or with its sign alone (1.5+3)."""
    m = _REAL.fullmatch(tok)
    if not m:
        raise ValueError(tok)
    s = m.group(1)
    if m.group(2):
        s += "e" + m.group(2).lstrip("eEdDqQ")
    v = float(("-" if tok.startswith("-") else "") + s)
    if not np.isfinite(v):
        raise ValueError(tok)
    return v


def _read_list(lines, li, row, path):
    """Reads len(row) values into row as one list-directed read does,
    starting at line li; returns the line after the last one used. Values
    are separated by blanks, tabs, commas, semicolons and line ends; 'r*v'
    repeats a value and 'r*' skips r items; an empty item between commas
    leaves its value as it was; a slash ends the list; what follows the last
    value on its line is skipped. After a line end that no comma preceded a
    comma only separates."""
    n = len(row)
    k = 0
    # 'item' after a value, 'sep' after a separator, 'eol' after a line end,
    # 'eolcomma' after the comma that follows a line end.
    state = "start"
    first = li
    while k < n:
        if li >= len(lines):
            raise InputError(path, f"ends before a row is complete ({k} of "
                             f"{n} values)")
        line = lines[li]
        li += 1
        if li - 1 > first and state != "sep":
            state = "eol"
        try:
            if _PLAIN.fullmatch(line):
                toks = line.split()[:n - k]
                if toks:
                    vals = np.array(toks, dtype=np.float64)
                    if not np.isfinite(vals).all():
                        raise ValueError(line)
                    row[k:k + len(toks)] = vals
                    k += len(toks)
                    state = "item"
                continue
            for tok in _TOKEN.findall(line):
                if k >= n:
                    break
                if tok in ",;":
                    if state == "item":
                        state = "sep"
                    elif state == "eol" and tok == ",":
                        state = "eolcomma"
                    else:
                        k += 1
                        state = "sep"
                    continue
                if tok == "/":
                    return li
                state = "item"
                if "*" not in tok:
                    row[k] = _number(tok)
                    k += 1
                    continue
                count, _, value = tok.partition("*")
                if not count.isdigit() or int(count) == 0:
                    raise ValueError(tok)
                m = min(int(count), n - k)
                if value:
                    row[k:k + m] = _number(value)
                k += m
        except ValueError:
            raise InputError(path, f"line {li}: a value is not a "
                             "number") from None
    return li


def read_text_grid(path, text=None):
    """A grid in free format, as quon reads it: for each of the 165 rows one
    list of 326 values starting on a new line (see _read_list); items a row
    leaves unread stay 0."""
    if text is None:
        text = _open_text(path)
    lines = text.splitlines()
    grid = np.zeros((NROW, NCOL))
    li = 0
    for r in range(NROW):
        li = _read_list(lines, li, grid[r], path)
    return grid


def read_grid(path):
    """A whole-grid file of doubles: unformatted or free-format text."""
    if is_unformatted(path):
        return read_unformatted(path)
    return read_text_grid(path)


def read_terrain_plot(path):
    """The terrain plot file: 165 lines of 326 (F6.3) multipliers."""
    lines = _open_text(path).splitlines()
    if len(lines) < NROW:
        raise InputError(path, f"{len(lines)} lines, not {NROW}")
    text = "".join(line[:NCOL * PLOT_WIDTH].ljust(NCOL * PLOT_WIDTH)
                   for line in lines[:NROW])
    return _fixed_fields(text, PLOT_WIDTH, path,
                         "terrain plot").reshape(NROW, NCOL)


# ---- Zone grids -------------------------------------------------------------

def _header_words(line):
    """Words of a header line as quon splits it: blanks between, a word in
    double quotes may hold blanks; control characters count as blanks."""
    line = "".join(c if 32 <= ord(c) <= 126 else " " for c in line)
    return [a if a else b for a, b in re.findall(r'"([^"]*)"|(\S+)', line)]


def read_zones(path, header=None):
    """A zone grid: (grid of ints, zone names). With header None the file is
    taken to have a header line of names unless its first line holds only
    digits, blanks and signs (an IBOUND grid). With names, rows are one
    character a cell for up to 9 names, two for more; without, two. A file
    named '*' is every cell in zone 1, named '*'."""
    if str(path).strip() == "*":
        return np.ones((NROW, NCOL), dtype=np.int32), ["*"]
    lines = _open_text(path).splitlines()
    if not lines:
        raise InputError(path, "empty file")
    if header is None:
        header = bool(re.search(r"[^0-9 +\-]", lines[0]))
    names = _header_words(lines[0][:4096]) if header else []
    rows = lines[1:] if header else lines
    width = 1 if header and len(names) <= 9 else 2
    if len(rows) < NROW:
        raise InputError(path, f"{len(rows)} rows, not {NROW}")
    grid = np.zeros((NROW, NCOL), dtype=np.int32)
    for r in range(NROW):
        line = rows[r][:NCOL * width].ljust(NCOL * width)
        fields = [line[k:k + width] for k in range(0, NCOL * width, width)]
        try:
            grid[r] = [int(f.replace(" ", "") or 0) for f in fields]
        except ValueError:
            raise InputError(path, f"row {r + 1} holds a field that is not "
                             "an integer") from None
    if header and (grid.min() < 0 or grid.max() > len(names)):
        raise InputError(path, f"a zone value lies outside 0..{len(names)}")
    return grid, names


# ---- WEL file ----------------------------------------------------------------

# One well line as quon writes it, (I1,2I4,F11.6), and its line end.
WEL_LINE = 21


def _wel_block(cells, path, label):
    """Rows, columns (0-based) and rates of a period's well lines, given as
    a (count, 20) array of their characters."""
    what = f"period '{label.strip()}'"

    def field(lo, hi):
        return np.frombuffer(cells[:, lo:hi].tobytes(), dtype=f"S{hi - lo}")
    try:
        if (cells[:, 0] != ord("1")).any():
            raise ValueError
        rows = field(1, 5).astype(np.int64) - 1
        cols = field(5, 9).astype(np.int64) - 1
    except ValueError:
        raise InputError(path, f"{what}: a well line is not layer 1, row, "
                         "column, rate") from None
    rates = _fixed_fields(cells[:, 9:].tobytes(), 11, path, what)
    if len(cells) and (rows.min() < 0 or rows.max() >= NROW or
                       cols.min() < 0 or cols.max() >= NCOL):
        raise InputError(path, f"{what}: a well lies outside the grid")
    return rows, cols, rates


def wel_periods(path):
    """The WEL file period by period, as a generator of (label, rows, cols,
    rates): the 7-character period label, the 0-based rows and columns of
    its wells and their rates in cubic feet per second as the file gives
    them (negative for water taken out; a field of asterisks gives NaN).
    Each period is a line (I5,I3,1X,A) with the well count and label, then
    that many lines (I1,2I4,F11.6); the header line '14000 IWELCB NOPRINT'
    is skipped when present (an appended file has none). Only one period is
    held at a time."""
    try:
        f = open(path, "rb")
    except FileNotFoundError:
        raise InputError(path, "no such file") from None
    except OSError as e:
        raise InputError(path, e.strerror or "cannot be read") from None
    with f:
        n = 1  # number of the line read next
        if not f.readline().rstrip().endswith(b"NOPRINT"):
            f.seek(0)
            n = 0
        while True:
            head = f.readline()
            n += 1
            if not head:
                return
            try:
                count = int(head[:5])
            except ValueError:
                count = -1
            if count < 0:
                raise InputError(path, f"line {n}: no well count")
            label = head.rstrip(b"\r\n")[9:16].decode("latin-1").ljust(7)
            start = f.tell()
            data = f.read(WEL_LINE * count)
            ends = np.frombuffer(data, dtype=np.uint8)[WEL_LINE - 1::WEL_LINE]
            if len(data) == WEL_LINE * count and (ends == 10).all():
                # quon's own layout: every line 20 characters.
                cells = np.frombuffer(data, dtype=np.uint8).reshape(
                    count, WEL_LINE)[:, :WEL_LINE - 1]
            else:
                f.seek(start)
                block = [f.readline() for _ in range(count)]
                if not all(b.endswith(b"\n") for b in block[:-1]) or \
                        (block and not block[-1]):
                    raise InputError(path, f"period '{label.strip()}' ends "
                                     f"before its {count} well lines")
                block = [b.rstrip(b"\r\n") for b in block]
                if any(len(b) > WEL_LINE - 1 for b in block):
                    raise InputError(path, f"period '{label.strip()}': a "
                                     "well line longer than 20 characters")
                cells = np.frombuffer(b"".join(b.ljust(WEL_LINE - 1)
                                               for b in block),
                                      dtype=np.uint8).reshape(count,
                                                              WEL_LINE - 1)
            yield (label,) + _wel_block(cells, path, label)
            n += count


def read_wel_year(path, year):
    """Pumping of a transient year from the WEL file, in acre-feet: the sum
    over its twelve monthly periods of rate x seconds / 43560, a positive
    figure for water taken out."""
    grid = np.zeros((NROW, NCOL))
    want = {f"{m:2d}/{year:4d}" for m in range(1, 13)}
    found = 0
    for label, rows, cols, rates in wel_periods(path):
        if label in want:
            found += 1
            np.add.at(grid, (rows, cols),
                      -rates * period_seconds(label) / 43560.0)
    if found != 12:
        raise InputError(path, f"holds {found} of the 12 months of {year}")
    return grid


def model_col_row(x, y):
    """Model column and row (fractional; cell centres at whole numbers) of a
    point in the grid's coordinates."""
    return (np.asarray(x) - X0) / CELLSIZE + 0.5, \
        NROW + 0.5 - (np.asarray(y) - Y0) / CELLSIZE


# ---- Parameter file ---------------------------------------------------------

class Params:
    """What a parameter file names that the pictures need, read as quon
    reads it: keywords matched on their first 16 characters without regard
    to case, later lines overwriting earlier ones, a FUNCTION block taking
    the lines after it that start with a number. File names are as written
    (relative to the run folder); store names keep 16 characters."""

    def __init__(self):
        self.store = None  # (directory, ppt name, irr name, rch name)
        self.recharge = []
        self.well = None
        self.steady = None  # (start, end)
        self.transient = None  # (start, end)
        self.ibound = None
        self.soil = None
        self.mound = None
        self.terrain = None  # (flags, multipliers, plot)
        self.budget = None  # (zones, subareas or None)
        self.stations = None  # (locations, precipitation)
        self.mf6 = None  # the MF6 base

    def transient_years(self):
        if not self.transient or self.transient[0] > self.transient[1]:
            return []
        return list(range(self.transient[0], self.transient[1] + 1))


def _starts_with_number(words):
    try:
        _number(words[0])
        return True
    except (IndexError, ValueError):
        return False


def read_params(path):
    """Reads a parameter file into Params."""
    p = Params()
    lines = _open_text(path).splitlines()
    in_function = False
    for line in lines:
        line = line[:8192]
        if not line.strip() or line.startswith("#"):
            continue
        words = _header_words(line)
        if in_function and _starts_with_number(words):
            continue
        in_function = False
        key = words[0][:16].upper() if words else ""
        args = words[1:]

        def arg(i, cut=None):
            return args[i][:cut] if i < len(args) else None

        def year(i):
            try:
                return int(args[i])
            except (IndexError, ValueError):
                return 0
        if key == "FILE" and len(args) >= 4:
            p.store = tuple(a[:16] for a in args[:4])
        elif key == "RECHARGE":
            p.recharge = list(args)
        elif key == "WELL":
            p.well = arg(0)
        elif key == "MF6":
            p.mf6 = arg(0)
        elif key == "STEADY":
            p.steady = (year(0), year(1))
        elif key == "TRANSIENT":
            p.transient = (year(0), year(1))
        elif key in ("IBOUND", "SOIL", "MOUND"):
            setattr(p, key.lower(), arg(0))
        elif key == "TERRAIN":
            p.terrain = (arg(0), arg(1), arg(2))
        elif key == "BUDGET":
            p.budget = (arg(0), arg(1))
        elif key == "STATIONS":
            p.stations = (arg(0), arg(1))
        elif key == "FUNCTION":
            in_function = True
    return p

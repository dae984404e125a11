"""maps.py - draws one 165 x 326 grid of the model as a map: row 1 at the
top as the model draws it, axes in model columns and rows, a colour bar with
the quantity and its unit, cells outside the model (IBOUND 0) in grey, zero
amounts in white apart from the smallest non-zero ones, zone grids in
categorical colours named in the legend, stations marked when given. Also
tells what a file holds and when (its title and default picture name).
"""

import os
import re

import numpy as np
from matplotlib import colors
from matplotlib.backends.backend_agg import FigureCanvasAgg
from matplotlib.figure import Figure
from matplotlib.patches import Patch

from . import readers as R

INACTIVE = "#9a9a9a"
ZERO = "#ffffff"
OVERFLOW = "#ff00ff"
# Cells of no zone, and the no-sub-area column of the budget charts: a
# neutral grey that none of the zone colours is and that shows on white.
NOZONE = "#cfcfcf"
FIXED = "#4a3b2a"  # constant-head cells: in the model, never recharged
# The three states CO, KS, NE: the colours of the budget table's state
# columns, which are also budget zones 1 to 3.
STATE_COLOURS = ("#1f77b4", "#ff7f0e", "#2ca02c")
# Zones of every other kind (soils, mound, sub-areas, terrain classes, and
# budget zones past the third): a palette of their own with no blue, orange
# or green that could pass for a state, nor the greys, brown, white and
# magenta the maps give to cells apart. Hues alternate so that codes next
# to each other differ.
ZONE_PALETTE = (
    "#9467bd", "#d62728", "#bcbd22", "#e377c2", "#17becf", "#8c564b",
    "#393b79", "#e7ba52", "#843c39", "#c71585", "#637939", "#9c9ede",
    "#fb8072", "#8dd3c7", "#7b4173", "#ffed6f", "#bd9e39", "#d6616b",
    "#5254a3", "#cedb9c", "#e7969c", "#bc80bd", "#ad494a", "#de9ed6")
MAP_SIZE = (10.0, 5.6)  # inches at DPI: 1000 x 560 pixels
DPI = 100
FORMATS = (".png", ".svg", ".pdf")

# What a grid file holds, by the ending of its name: quantity, unit, style.
# Styles: 'amount' (zero apart, small values stretched), 'level' (a plain
# sequential scale), 'factor' (diverging about 1).
QUANTITIES = {
    "ppt": ("Precipitation", "inches a year", "level"),
    "irr": ("Irrigated area", "acres", "amount"),
    "rch": ("Recharge", "inches a year", "amount"),
    "agw": ("Groundwater-irrigated area", "acres", "amount"),
    "asw": ("Surface-water-irrigated area", "acres", "amount"),
    "aco": ("Commingled irrigated area", "acres", "amount"),
    "mi": ("Municipal and industrial pumping", "acre-feet a year", "amount"),
    "pmp": ("Irrigation pumping", "acre-feet", "amount"),
    "rcg": ("Groundwater-irrigation return recharge", "acre-feet", "amount"),
    "rcs": ("Surface-water-irrigation return recharge", "acre-feet",
            "amount"),
    "rcc": ("Commingled-irrigation return recharge", "acre-feet", "amount"),
}
# The four RCH files' components, and their short names in picture names.
COMPONENTS4 = ("precipitation", "groundwater irrigation",
               "surface-water irrigation", "commingled irrigation")
SHORT4 = ("precip", "gwirr", "swirr", "coirr")
MONTHS = ("January", "February", "March", "April", "May", "June", "July",
          "August", "September", "October", "November", "December")


def check_output(out):
    """The picture type of an output name; InputError when not known."""
    ext = os.path.splitext(out)[1].lower()
    if ext not in FORMATS:
        raise R.InputError(out, f"unknown picture type '{ext}' (use .png, "
                           ".svg or .pdf)")
    return ext


def new_figure(size, layout="constrained"):
    """A figure drawn by Agg alone: no display, no pyplot state."""
    fig = Figure(figsize=size, dpi=DPI, layout=layout)
    FigureCanvasAgg(fig)
    return fig


def save(fig, out):
    """Writes the figure, its type taken from the name's ending."""
    check_output(out)
    try:
        fig.savefig(out, dpi=DPI)
    except OSError as e:
        raise R.InputError(out, e.strerror or "cannot be written") from None


def zone_colours(n):
    """The colours of zone codes 1..n of a zone grid: the zone palette (24
    colours, as many as the names a zone grid may hold; repeated beyond)."""
    return [ZONE_PALETTE[k % len(ZONE_PALETTE)] for k in range(n)]


def budget_colours(n):
    """The colours of budget zones 1..n: the states' for the first three
    (the table's state columns), then the zone palette."""
    return list(STATE_COLOURS[:n]) + zone_colours(max(0, n - 3))


def counted(n, thing, things=None):
    """'1 line', '2 lines': a count and its noun in singular or plural."""
    return f"{n} {thing if n == 1 else things or thing + 's'}"


def scale_name(norm):
    """What a map's colour scale is, for its colour bar."""
    if isinstance(norm, colors.PowerNorm):
        return "square-root scale"
    if isinstance(norm, colors.TwoSlopeNorm):
        return f"linear scale each side of {norm.vcenter:g}"
    return "linear scale"


def _scale_cells(grid, style, ibound):
    """The cells a map colours by value, as masks (inside, outside): inside
    the active cells that are not constant-head, and outside them the
    non-zero amounts (a well in an inactive cell, say), drawn in colour all
    the same since greying them would hide them. Levels and factors outside
    (terrain 1.0, say) mean nothing."""
    active = np.ones(grid.shape, bool) if ibound is None else ibound != 0
    fixed = np.zeros(grid.shape, bool) if ibound is None else ibound < 0
    finite = np.isfinite(grid)
    inside = active & ~fixed & finite
    outside = ~(active & ~fixed) & finite & (grid != 0) & (style == "amount")
    return inside, outside


def value_range(grid, style, ibound=None):
    """(lowest, highest) of the values a map of grid colours, or None when
    it colours none. Maps drawn with the joint range of their grids as
    draw_map's limits share one colour scale."""
    grid = np.asarray(grid)
    inside, outside = _scale_cells(grid, style, ibound)
    values = grid[inside | outside]
    if not values.size:
        return None
    return float(values.min()), float(values.max())


def joint_range(ranges):
    """The smallest range holding every range given; None ones are
    skipped, and None comes back when none is left."""
    ranges = [r for r in ranges if r is not None]
    if not ranges:
        return None
    return min(r[0] for r in ranges), max(r[1] for r in ranges)


def _norm(style, lo, hi):
    """Colour map and scale of a map whose values span lo..hi."""
    if style == "factor":
        return "RdBu", colors.TwoSlopeNorm(
            vcenter=1.0, vmin=min(lo, 0.999), vmax=max(hi, 1.001))
    if style == "amount" and lo < 0:
        span = max(abs(lo), abs(hi))
        return "RdBu_r", colors.TwoSlopeNorm(vcenter=0.0, vmin=-span,
                                             vmax=span)
    if style == "amount":
        # From 0, stretching the small values, so that recharge or pumping
        # of a few hundredths stays visible beside the largest.
        return "viridis", colors.PowerNorm(gamma=0.5, vmin=0.0,
                                           vmax=hi if hi > 0 else 1.0)
    return "YlGnBu", colors.Normalize(vmin=lo, vmax=hi if hi > lo else lo + 1)


def _label_offset(c, r, xlim, ylim):
    """Where a station's label goes from its marker (points, alignment):
    up and to the right, but below it near the top edge and to its left
    near the right edge, so that the frame never crosses a label."""
    right = c > xlim[1] - 0.12 * (xlim[1] - xlim[0])
    top = r < ylim[1] + 0.06 * (ylim[0] - ylim[1])
    return ((-3 if right else 3, -3 if top else 3),
            "right" if right else "left", "top" if top else "bottom")


def draw_map(grid, out, quantity, unit, style, *, ibound=None, stations=None,
             title=None, zone_names=None, limits=None, colours=None):
    """Draws grid (165 x 326) into out. style is 'amount', 'level', 'factor'
    or 'zones'; ibound, when given, greys out its cells of code 0; stations
    is (names, x, y); zone_names names zone codes 1.. of a zone grid (None
    for an unnamed grid, an IBOUND grid, whose codes are shown as they are);
    limits (lo, hi) fixes the colour scale (default the grid's own range);
    values beyond it take the end colours, marked on the colour bar;
    colours gives zone codes 1.. their colours (default zone_colours)."""
    grid = np.asarray(grid)
    active = np.ones(grid.shape, bool) if ibound is None else ibound != 0
    # Constant-head cells (IBOUND below 0) are neither kriged nor recharged:
    # their zeros are drawn apart and kept out of the colour scale.
    fixed = np.zeros(grid.shape, bool) if ibound is None else ibound < 0
    # A fixed layout: the map, its colour bar on the right and the legend
    # below always in the same places, whatever the legend holds.
    fig = new_figure(MAP_SIZE, layout=None)
    ax = fig.add_axes([0.07, 0.21, 0.80, 0.69])
    extent = (0.5, R.NCOL + 0.5, R.NROW + 0.5, 0.5)
    legend = []

    overlay = np.zeros(grid.shape + (4,))

    def paint(mask, colour, label):
        if mask.any():
            overlay[mask] = colors.to_rgba(colour)
            legend.append(Patch(facecolor=colour, edgecolor="0.4",
                                label=label))

    if style == "zones":
        if zone_names is not None:
            codes = list(range(1, len(zone_names) + 1))
            labels = [f"{c} {n}" for c, n in zip(codes, zone_names)]
        else:
            codes = [c for c in np.unique(grid[active]) if c > 0]
            labels = [f"code {c} (active)" for c in codes]
        for c, colour, label in zip(codes, colours or zone_colours(
                len(codes)), labels):
            paint(active & (grid == c), colour, label)
        if zone_names is not None:
            paint(active & (grid == 0), NOZONE, "0 in no zone")
        else:
            # An unnamed grid is an IBOUND grid: its codes below 0 are the
            # constant-head cells, in the brown every other map uses.
            negative = np.unique(grid[active & (grid < 0)])
            paint(active & (grid < 0), FIXED, "code " + ", ".join(
                str(c) for c in negative) + " (constant head)")
            paint(grid == 0, INACTIVE, "code 0 (outside the model)")
        paint(~active, INACTIVE, "inactive (IBOUND 0)")
        ax.imshow(overlay, extent=extent, interpolation="nearest",
                  aspect="equal")
    else:
        finite = np.isfinite(grid)
        inside, outside = _scale_cells(grid, style, ibound)
        shown = inside | outside
        values = grid[shown]
        lo, hi = limits or value_range(grid, style, ibound) or \
            ((1.0, 1.0) if style == "factor" else (0.0, 0.0))
        cmap, norm = _norm(style, lo, hi)
        data = np.ma.masked_where(~shown, grid)
        if cmap == "viridis":
            zero = shown & (grid == 0)
            data = np.ma.masked_where(~shown | zero, grid)
            paint(zero, ZERO, "zero")
        image = ax.imshow(data, extent=extent, interpolation="nearest",
                          aspect="equal", cmap=cmap, norm=norm)
        paint(~finite, OVERFLOW, "too wide for its field (****)")
        paint(fixed & finite & ~outside, FIXED, "constant head (IBOUND < 0)")
        paint(~active & finite & ~outside, INACTIVE, "inactive (IBOUND 0)")
        ax.imshow(overlay, extent=extent, interpolation="nearest",
                  aspect="equal")
        label = f"{quantity} ({unit}), {scale_name(norm)}" if unit else \
            f"{quantity}, {scale_name(norm)}"
        below = bool(values.size) and values.min() < norm.vmin
        above = bool(values.size) and values.max() > norm.vmax
        fig.colorbar(image, cax=fig.add_axes([0.885, 0.23, 0.018, 0.65]),
                     label=label, extend=("both" if below and above else
                                          "min" if below else "max" if above
                                          else "neither"))
        stats = grid[inside]
        if stats.size:
            where = "active cells (IBOUND > 0)" if ibound is not None \
                else "all cells"
            text = f"{where}: min {stats.min():.4g}, mean " \
                f"{stats.mean():.4g}, max {stats.max():.4g} {unit}".rstrip()
            if outside.any():
                text += f"; {counted(int(outside.sum()), 'non-zero cell')}" \
                    " outside them drawn in colour"
            ax.set_title(text, fontsize=9, loc="right")

    xlim, ylim = [0.5, R.NCOL + 0.5], [R.NROW + 0.5, 0.5]
    if stations is not None:
        names, sx, sy = stations
        col, row = R.model_col_row(sx, sy)
        # Stations may lie beyond the grid: widen the view to show them.
        if len(col):
            xlim = [min(xlim[0], col.min() - 4), max(xlim[1], col.max() + 4)]
            ylim = [max(ylim[0], row.max() + 4), min(ylim[1], row.min() - 4)]
        ax.plot(col, row, "^", color="red", markeredgecolor="black",
                markersize=6, linestyle="none")
        legend.append(ax.lines[-1])
        ax.lines[-1].set_label(counted(len(names), "station"))
        if len(names) <= 40:
            for n, c, r in zip(names, col, row):
                offset, ha, va = _label_offset(c, r, xlim, ylim)
                ax.annotate(n, (c, r), xytext=offset, fontsize=6, ha=ha,
                            va=va, textcoords="offset points")
    ax.set_xlim(xlim)
    ax.set_ylim(ylim)
    ax.set_xticks([1, 50, 100, 150, 200, 250, 300, 326])
    ax.set_yticks([1, 25, 50, 75, 100, 125, 150, 165])
    ax.set_xlabel("model column")
    ax.set_ylabel("model row")
    ax.set_facecolor("white")
    if title:
        fig.suptitle(title, fontsize=12, y=0.98)
    if legend:
        # Just below the column axis, however tall the map came out.
        ax.legend(handles=legend, loc="upper center", fontsize=8,
                  bbox_to_anchor=(0.5, -0.12), ncol=min(len(legend), 7),
                  frameon=False)
    save(fig, out)


# ---- What a file holds ------------------------------------------------------

class MapData:
    """A grid to draw with what it shows: its title says what and when, and
    name is its default picture name."""

    def __init__(self, grid, quantity, unit, style, title, names=None,
                 name=None, colours=None):
        self.grid, self.quantity, self.unit = grid, quantity, unit
        self.style, self.title, self.names = style, title, names
        self.name, self.colours = name, colours


def zone_grids(p):
    """The zone grids a parameter file (readers.Params) names, as (key,
    what, file name or None, has a header line of names)."""
    return [("ibound", "IBOUND codes", p.ibound, False),
            ("soil", "Soils", p.soil, True),
            ("mound", "Mound cells", p.mound, True),
            ("budget", "Budget zones", p.budget and p.budget[0], True),
            ("subareas", "Budget sub-areas", p.budget and p.budget[1], True),
            ("terrain_classes", "Terrain classes",
             p.terrain and p.terrain[0], True)]


def components(n):
    """What each of n RCH files holds and its short name in picture names:
    the four components, or the sum of all in one file."""
    if n == 4:
        return list(zip(COMPONENTS4, SHORT4))
    if n == 1:
        return [("all components", "all")]
    return [(f"file {k + 1}", str(k + 1)) for k in range(n)]


def steady_years(p):
    """'steady period' and its years when the parameter file gives them."""
    if p is not None and p.steady and p.steady[0] > 0:
        return f"steady period {p.steady[0]}-{p.steady[1]}"
    return "steady period"


def _run_of(path):
    """(folder, Params) of the run a file belongs to: quon.par in its folder
    or, for a state folder's files, the one above; None when neither holds
    a readable one."""
    folder = os.path.dirname(os.path.abspath(path))
    for d in (folder, os.path.dirname(folder)):
        par = os.path.join(d, "quon.par")
        if os.path.isfile(par):
            try:
                return d, R.read_params(par)
            except R.InputError:
                return None
    return None


def _same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def _describe(path, kind, label=None, column=None):
    """Title and default picture name of a map of path. kind: a quantity
    name, or 'rch', 'zones', 'ibound'; label: the RCH period drawn."""
    base = os.path.basename(path)
    folder = os.path.basename(os.path.dirname(os.path.abspath(path)))
    shown = os.path.join(folder, base)
    run = _run_of(path)
    p = run[1] if run else None
    what, when, state, slug = kind, "", "", None
    month = re.match(r"(\d{4})\.(\d{2})\.", base)
    year = re.match(r"(\d{4})\.", base)
    if label is not None:
        if label.strip() == "Steady":
            when, slug = steady_years(p), "steady"
        else:
            m, y = int(label[:2]), int(label[3:7])
            when, slug = f"{MONTHS[m - 1]} {y}", f"{y}-{m:02d}"
    elif month and 1 <= int(month.group(2)) <= 12:
        when = f"{MONTHS[int(month.group(2)) - 1]} {month.group(1)}"
    elif year:
        when = year.group(1)
    elif base.lower().startswith("steady."):
        when = steady_years(p)
    if folder.lower() in R.STATES:
        state = folder.upper()
    if kind == "rch":
        what = "Recharge"
        for name, (comp, _) in zip(p.recharge if p else [],
                                   components(len(p.recharge) if p else 0)):
            if _same_file(os.path.join(run[0], name), path):
                what = "Recharge" if comp == "all components" else \
                    f"Recharge from {comp}"
    elif kind in ("zones", "ibound"):
        what = "IBOUND codes" if kind == "ibound" else "Zones"
        for _, grid_what, name, _ in zone_grids(p) if p else []:
            if name and _same_file(os.path.join(run[0], name), path):
                what = grid_what
    title = ", ".join(t for t in (what, when, state) if t) + \
        f" ({shown}{', ' + column if column else ''})"
    # The folder too: co/1950.07.pmp and ks/1950.07.pmp must not share a
    # picture; and the period or column drawn.
    parts = ([folder] if os.path.dirname(path) else []) + [base] + \
        [t for t in (slug, column) if t]
    return title, "_".join(parts) + ".png"


def _is_budget_grid(path):
    """True when path is the budget zone grid of its run."""
    run = _run_of(path)
    name = run and run[1].budget and run[1].budget[0]
    return bool(name) and _same_file(os.path.join(run[0], name), path)


def _first_lines(path, n):
    try:
        with open(path, "rb") as f:
            return [f.readline().decode("latin-1").rstrip("\r\n")
                    for _ in range(n)]
    except FileNotFoundError:
        raise R.InputError(path, "no such file") from None
    except IsADirectoryError:
        raise R.InputError(path, "is a folder, not a file") from None
    except OSError as e:
        raise R.InputError(path, e.strerror or "cannot be read") from None


def _by_name(path):
    ext = os.path.splitext(path)[1].lstrip(".").lower()
    return QUANTITIES.get(ext, ("Value", "", "amount"))


def load(path, period=None, column="irr_af"):
    """Reads any grid file quon reads or writes and says what it shows and
    when: an RCH file (one period, by label; default the first), a year.csv
    table (the irr_af or mi_af column), an unformatted or text cell grid, a
    zone grid, an IBOUND grid or the terrain plot file."""
    def data(grid, q, u, s, kind=None, names=None, **how):
        title, name = _describe(path, kind or q, **how)
        colours = budget_colours(len(names)) if names and _is_budget_grid(
            path) else None
        return MapData(grid, q, u, s, title, names, name, colours)

    if R.is_unformatted(path):
        return data(R.read_unformatted(path), *_by_name(path))
    head = _first_lines(path, 3)
    if not head[0] and not head[1]:
        raise R.InputError(path, "empty file")
    if head[0].replace(" ", "").startswith("node,row,col,irr_af,mi_af"):
        if column not in ("irr_af", "mi_af"):
            raise R.InputError(path, f"no column '{column}' (irr_af or "
                               "mi_af)")
        grid = R.read_year_csv(path)[column]
        q = "Irrigation pumping" if column == "irr_af" else \
            "Municipal and industrial pumping"
        return data(grid, q, "acre-feet a year", "amount", column=column)
    if any(line.startswith("INTERNAL") for line in head[1:]):
        with R.RchFile(path) as rch:
            if not rch.labels:
                raise R.InputError(path, "holds no period")
            k = 0
            if period is not None:
                label = R.period_label(period)
                if label is None:
                    raise R.InputError(path, f"'{period}' is not a period "
                                       "(Steady, 7/1951 or 1951-07)")
                k = rch.find(label)
            grid = rch.period(k)
            label = rch.labels[k]
        return data(grid, "Recharge in the period", "inches", "amount",
                    "rch", label=label)
    if period is not None:
        raise R.InputError(path, "--period applies to RCH files only")
    first = head[0]
    if len(first) >= R.NCOL * R.PLOT_WIDTH and \
            first[:R.PLOT_WIDTH * 3].count(".") == 3 and \
            all(f[2:3] == "." or "*" in f
                for f in (first[k:k + 6] for k in range(0, 18, 6))):
        return data(R.read_terrain_plot(path), "Terrain multiplier", "",
                    "factor", "Terrain multipliers")
    line = head[1]
    if line and "." not in line and set(line) <= set("0123456789 -+"):
        header = bool(set(first) - set("0123456789 -+"))
        # A grid without names has two-character fields: a digit closes
        # every field of its first row.
        pairs = first[:2 * R.NCOL]
        if header or (len(pairs) == 2 * R.NCOL and pairs[1::2].isdigit()):
            grid, names = R.read_zones(path, header=header)
            return data(grid, "Zone", "", "zones",
                        "zones" if header else "ibound",
                        names if header else None)
    try:
        grid = R.read_text_grid(path)
    except R.InputError as e:
        raise R.InputError(path, f"not a grid quon reads or writes "
                           f"({e.what})") from None
    return data(grid, *_by_name(path))

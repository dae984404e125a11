"""maps.py - draws one 165 x 326 grid of the model as a map: row 1 at the
top as the model draws it, axes in model columns and rows, a colour bar with
the quantity and its unit, cells outside the model (IBOUND 0) in grey, zero
amounts in white apart from the smallest non-zero ones, zone grids in
categorical colours named in the legend, stations marked when given.
"""

import os

import numpy as np
from matplotlib import colormaps, colors
from matplotlib.backends.backend_agg import FigureCanvasAgg
from matplotlib.figure import Figure
from matplotlib.patches import Patch

from . import readers as R

INACTIVE = "#9a9a9a"
ZERO = "#ffffff"
OVERFLOW = "#ff00ff"
NOZONE = "#ececec"
FIXED = "#4a3b2a"  # constant-head cells: in the model, never recharged
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


def _amount_norm(values):
    """A scale from 0 that stretches the small values, so that recharge or
    pumping of a few hundredths stays visible beside the largest."""
    top = float(values.max()) if values.size else 1.0
    return colors.PowerNorm(gamma=0.5, vmin=0.0, vmax=top if top > 0 else 1.0)


def zone_colours(n):
    """n distinct colours: tab10 for up to 10 zones, else tab20 then
    tab20b (40 colours, beyond the 24 names a zone grid may hold)."""
    if n <= 10:
        return [colormaps["tab10"](k) for k in range(n)]
    both = [colormaps["tab20"](k) for k in range(20)] + \
        [colormaps["tab20b"](k) for k in range(20)]
    return [both[k % len(both)] for k in range(n)]


def draw_map(grid, out, quantity, unit, style, *, ibound=None, stations=None,
             title=None, zone_names=None):
    """Draws grid (165 x 326) into out. style is 'amount', 'level', 'factor'
    or 'zones'; ibound, when given, greys out its cells of code 0; stations
    is (names, x, y); zone_names names zone codes 1.. of a zone grid (None
    for an unnamed grid such as IBOUND, whose codes are shown as they are)."""
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
            codes = [c for c in np.unique(grid[active]) if c != 0]
            labels = [f"code {c}" for c in codes]
        for c, colour, label in zip(codes, zone_colours(len(codes)), labels):
            paint(active & (grid == c), colour, label)
        if zone_names is not None:
            paint(active & (grid == 0), NOZONE, "0 in no zone")
        else:
            paint(grid == 0, INACTIVE, "code 0 (outside the model)")
        paint(~active, INACTIVE, "inactive (IBOUND 0)")
        ax.imshow(overlay, extent=extent, interpolation="nearest",
                  aspect="equal")
    else:
        finite = np.isfinite(grid)
        inside = active & ~fixed & finite
        # An amount outside the active cells (a well in an inactive cell,
        # say) is drawn in colour all the same: greying it would hide it.
        # Levels and factors there (terrain 1.0, say) mean nothing.
        outside = ~(active & ~fixed) & finite & (grid != 0) & \
            (style == "amount")
        shown = inside | outside
        values = grid[shown]
        data = np.ma.masked_where(~shown, grid)
        if style == "factor":
            lo = min(float(values.min()) if values.size else 1.0, 0.999)
            hi = max(float(values.max()) if values.size else 1.0, 1.001)
            norm = colors.TwoSlopeNorm(vcenter=1.0, vmin=lo, vmax=hi)
            cmap = "RdBu"
        elif style == "amount" and values.size and values.min() < 0:
            span = float(np.abs(values).max())
            norm = colors.TwoSlopeNorm(vcenter=0.0, vmin=-span, vmax=span)
            cmap = "RdBu_r"
        elif style == "amount":
            norm = _amount_norm(values)
            cmap = "viridis"
            zero = shown & (grid == 0)
            data = np.ma.masked_where(~shown | zero, grid)
            paint(zero, ZERO, "zero")
        else:
            lo = float(values.min()) if values.size else 0.0
            hi = float(values.max()) if values.size else 1.0
            norm = colors.Normalize(vmin=lo, vmax=hi if hi > lo else lo + 1)
            cmap = "YlGnBu"
        image = ax.imshow(data, extent=extent, interpolation="nearest",
                          aspect="equal", cmap=cmap, norm=norm)
        paint(~finite, OVERFLOW, "too wide for its field (****)")
        paint(fixed & finite & ~outside, FIXED, "constant head (IBOUND < 0)")
        paint(~active & finite & ~outside, INACTIVE, "inactive (IBOUND 0)")
        ax.imshow(overlay, extent=extent, interpolation="nearest",
                  aspect="equal")
        label = f"{quantity} ({unit})" if unit else quantity
        fig.colorbar(image, cax=fig.add_axes([0.885, 0.23, 0.018, 0.65]),
                     label=label)
        stats = grid[inside]
        if stats.size:
            where = "active cells (IBOUND > 0)" if ibound is not None \
                else "all cells"
            text = f"{where}: min {stats.min():.4g}, mean " \
                f"{stats.mean():.4g}, max {stats.max():.4g} {unit}"
            if outside.any():
                text += f"; {int(outside.sum())} non-zero cells outside " \
                    "them drawn in colour"
            ax.set_title(text, fontsize=9, loc="right")

    xlim, ylim = [0.5, R.NCOL + 0.5], [R.NROW + 0.5, 0.5]
    if stations is not None:
        names, sx, sy = stations
        col, row = R.model_col_row(sx, sy)
        ax.plot(col, row, "^", color="red", markeredgecolor="black",
                markersize=6, linestyle="none")
        legend.append(ax.lines[-1])
        ax.lines[-1].set_label(f"stations ({len(names)})")
        if len(names) <= 40:
            for n, c, r in zip(names, col, row):
                ax.annotate(n, (c, r), xytext=(3, 3), fontsize=6,
                            textcoords="offset points")
        # Stations may lie beyond the grid: widen the view to show them.
        if len(col):
            xlim = [min(xlim[0], col.min() - 4), max(xlim[1], col.max() + 4)]
            ylim = [max(ylim[0], row.max() + 4), min(ylim[1], row.min() - 4)]
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
    """A grid to draw with what it shows."""

    def __init__(self, grid, quantity, unit, style, title, names=None):
        self.grid, self.quantity, self.unit = grid, quantity, unit
        self.style, self.title, self.names = style, title, names


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
    """Reads any grid file quon reads or writes and says what it shows: an
    RCH file (one period, by label; default the first), a year.csv table
    (the irr_af or mi_af column), an unformatted or text cell grid, a zone
    grid, an IBOUND grid or the terrain plot file."""
    # The folder too: co/1950.07.pmp says whose pumping it is.
    name = os.path.join(os.path.basename(os.path.dirname(
        os.path.abspath(path))), os.path.basename(path))
    if R.is_unformatted(path):
        q, u, s = _by_name(path)
        return MapData(R.read_unformatted(path), q, u, s, name)
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
        return MapData(grid, q, "acre-feet a year", "amount",
                       f"{name}, {column}")
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
            label = rch.labels[k].strip()
        return MapData(grid, "Recharge in the period", "inches", "amount",
                       f"{name}, period {label}")
    if period is not None:
        raise R.InputError(path, "--period applies to RCH files only")
    first = head[0]
    if len(first) >= R.NCOL * R.PLOT_WIDTH and \
            first[:R.PLOT_WIDTH * 3].count(".") == 3 and \
            all(f[2:3] == "." or "*" in f
                for f in (first[k:k + 6] for k in range(0, 18, 6))):
        return MapData(R.read_terrain_plot(path), "Terrain multiplier",
                       "multiplier", "factor", name)
    data = head[1]
    if data and "." not in data and set(data) <= set("0123456789 -+"):
        header = bool(set(first) - set("0123456789 -+"))
        # A grid without names has two-character fields: a digit closes
        # every field of its first row.
        pairs = first[:2 * R.NCOL]
        if header or (len(pairs) == 2 * R.NCOL and pairs[1::2].isdigit()):
            grid, names = R.read_zones(path, header=header)
            return MapData(grid, "Zone", "", "zones", name,
                           names if header else None)
    q, u, s = _by_name(path)
    try:
        grid = R.read_text_grid(path)
    except R.InputError as e:
        raise R.InputError(path, f"not a grid quon reads or writes "
                           f"({e.what})") from None
    return MapData(grid, q, u, s, name)

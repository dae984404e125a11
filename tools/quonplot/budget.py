"""budget.py - the annual budget table of fort.2 as charts: one panel per
column group (pumping by kind, irrigated areas, recharge by component), each
zone or state stacked over the years with the group's total from the file
drawn on top, the steady row apart beside the precipitation recharge; the
sub-area files below when asked for. Zones and sub-areas take the colours
their maps give them."""

import numpy as np
from matplotlib.lines import Line2D
from matplotlib.ticker import FuncFormatter, MaxNLocator

from . import readers as R
from .maps import NOZONE, budget_colours, counted, new_figure, save, \
    zone_colours

TITLES = {
    "gwIrr_af": ("Irrigation pumping", "acre-feet"),
    "gwMI_af": ("Municipal and industrial pumping", "acre-feet"),
    "gwArea_ac": ("Groundwater-irrigated area", "acres"),
    "coArea_ac": ("Commingled irrigated area", "acres"),
    "swArea_ac": ("Surface-water-irrigated area", "acres"),
    "RchRcp_af": ("Recharge from precipitation", "acre-feet"),
    "RchRcg_af": ("Recharge from groundwater irrigation", "acre-feet"),
    "RchRcs_af": ("Recharge from surface-water irrigation", "acre-feet"),
    "RchRcc_af": ("Recharge from commingled irrigation", "acre-feet"),
}
# Panel places on a 3 x 4 grid: pumping, areas, recharge, one row each.
PLACES = {"gwIrr_af": (0, 0), "gwMI_af": (0, 1), "gwArea_ac": (1, 0),
          "coArea_ac": (1, 1), "swArea_ac": (1, 2), "RchRcp_af": (2, 0),
          "RchRcg_af": (2, 1), "RchRcs_af": (2, 2), "RchRcc_af": (2, 3)}
# What the colours of the upper panels stand for: the report file lists
# precipitation recharge by budget zone, every other group by state, the
# states taking the columns (and colours) of the first three zones.
STATES_LEGEND = ("Recharge from precipitation: by budget zone.\n"
                 "All other panels: by state, CO in the colour of the "
                 "first zone,\nKS in the second's, NE in the third's.")
BARS_UP_TO = 5  # years; longer runs are drawn as stacked areas
TICKS = 8  # points: tick labels stay readable on the report page


def subarea_colours(n):
    """Colours of the n columns of a sub-area file: sub-area 0 (in no
    sub-area) in the neutral grey of the maps' cells of no zone, then
    sub-area k in the colour the sub-area map gives zone k."""
    return [NOZONE] + zone_colours(n - 1)


def _thousands(ax):
    ax.yaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{v:,.0f}"))
    # Years as they are: a short run would otherwise get an offset axis
    # ("-1, 0, +1.95e3").
    ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{v:.0f}"))
    ax.xaxis.set_major_locator(MaxNLocator(integer=True, nbins=6))


def _stack(ax, years, parts, colours, labels, total=None):
    """Draws parts (series x years) stacked, and the total (from the file)
    as a black line. Values the file could not show (NaN) leave a gap and a
    note in the panel."""
    years = np.asarray(years, dtype=float)
    missing = int(np.isnan(parts).sum())
    filled = np.nan_to_num(parts)
    if len(years) <= BARS_UP_TO:
        bottom = np.zeros(len(years))
        for row, colour, label in zip(filled, colours, labels):
            ax.bar(years, row, bottom=bottom, color=colour, label=label,
                   width=0.6)
            bottom += row
    elif len(parts):
        ax.stackplot(years, filled, colors=colours, labels=labels)
    if total is not None:
        missing += int(np.isnan(total).sum())
        ax.plot(years, total, color="black", marker=".", linewidth=1.2,
                label="total")
    top = np.nanmax([filled.sum(axis=0).max() if len(parts) else 0.0,
                     np.nanmax(total) if total is not None and
                     np.isfinite(total).any() else 0.0])
    if top > 0:
        ax.set_ylim(0, top * 1.08)  # room above the total line
    if missing:
        ax.text(0.01, 0.97, f"{counted(missing, 'value')} too wide for the "
                "table (****), left out", transform=ax.transAxes, fontsize=7,
                va="top", color="red")


def draw_budget(budget, out, subareas=None, title=None):
    """Charts the budget table (readers.Budget) into out; subareas, when
    given, is (pumping, recharge) of readers.SubareaBudget."""
    rows = 4 if subareas else 3
    fig = new_figure((15.0, 3.3 * rows + 0.8))
    grid = fig.add_gridspec(rows, 4)
    names = budget.names
    colours = budget_colours(len(names))
    years = budget.years
    nz = len(names)
    for g, group in enumerate(R.BUDGET_GROUPS):
        r, c = PLACES[group]
        ax = fig.add_subplot(grid[r, c])
        what, unit = TITLES[group]
        ax.set_title(f"{what}\n{group}", fontsize=9)
        ax.set_ylabel(unit, fontsize=8)
        ax.tick_params(labelsize=TICKS)
        _thousands(ax)
        if not years:
            ax.text(0.5, 0.5, "no transient year", ha="center",
                    transform=ax.transAxes)
        else:
            _stack(ax, years, budget.values[:, g, :nz].T, colours, names,
                   budget.values[:, g, nz])
        if group == "RchRcp_af" and budget.steady is not None:
            # The steady period's row stands apart, left of the years.
            gap = max(2.0, 0.08 * len(years))
            width = max(0.6, 0.04 * len(years))
            x = (years[0] if years else 0) - gap
            bottom = 0.0
            for v, colour in zip(np.nan_to_num(budget.steady[:nz]), colours):
                ax.bar([x], [v], bottom=bottom, color=colour, width=width,
                       hatch="//", edgecolor="white")
                bottom += v
            ax.plot([x], [budget.steady[nz]], "k*", markersize=8)
            high = np.nanmax(np.append(budget.steady, bottom))
            if np.isfinite(high) and high * 1.08 > ax.get_ylim()[1]:
                ax.set_ylim(0, high * 1.08)
            ax.axvline(x + gap / 2, color="0.5", linestyle="--",
                       linewidth=0.8)
            shown = years[::max(1, -(-len(years) // 4))]
            ax.set_xticks([x] + shown, ["SS"] + [str(y) for y in shown])
        if (r, c) == (0, 0):
            zone_handles = ax.get_legend_handles_labels()
        if group == "RchRcp_af" and budget.steady is not None and years:
            star = Line2D([], [], color="black", marker="*", markersize=8,
                          linestyle="none", label="steady row's total (SS)")
            zone_handles = (zone_handles[0] + [star],
                            zone_handles[1] + [star.get_label()])
    notes = fig.add_subplot(grid[0, 2:])
    notes.axis("off")
    if years:
        notes.legend(*zone_handles, loc="upper left", fontsize=9,
                     ncol=5 if len(zone_handles[0]) <= 5 else 4,
                     frameon=False, title=STATES_LEGEND, title_fontsize=9)
    lines = [counted(len(years), "transient year") +
             (f", {years[0]}-{years[-1]}" if years else ""),
             "steady row (SS): " + ("hatched, left of the years in the "
                                    "precipitation recharge panel;\n  the "
                                    "star is its total from the file"
                                    if budget.steady is not None else "none"),
             f"{counted(len(budget.other), 'other line')} in the report "
             "file (warnings, errors)"]
    notes.text(0.02, 0.3, "\n".join(lines), fontsize=9, va="center",
               transform=notes.transAxes)
    if subareas:
        key = fig.add_subplot(grid[1, 3])
        key.axis("off")
        for k, (table, what) in enumerate(zip(subareas, (
                "Pumping", "Recharge"))):
            ax = fig.add_subplot(grid[3, 2 * k:2 * k + 2])
            ax.set_title(f"{what} by sub-area (CO + KS + NE), "
                         f"{'pump' if k == 0 else 'rech'}.bsn", fontsize=9)
            ax.set_ylabel("acre-feet", fontsize=8)
            ax.tick_params(labelsize=TICKS)
            _thousands(ax)
            if table.years:
                parts = table.values.sum(axis=2).T
                _stack(ax, table.years, parts,
                       subarea_colours(len(table.names)),
                       [f"{table.names[0]} (no sub-area)"] +
                       table.names[1:])
        if table.years:
            key.legend(*ax.get_legend_handles_labels(), loc="center",
                       fontsize=8, ncol=2, frameon=False,
                       title="sub-areas (bottom row)", title_fontsize=9)
    if title:
        fig.suptitle(title, fontsize=12, x=0.02, ha="left")
    save(fig, out)

#!/usr/bin/python3
"""analysis.py - a year-by-year look at a finished quon run, from the two
files made for analysis: the budget table written by BUDGETCSV (read with
pandas) and the NetCDF file of quon-export (read with xarray).

    examples/analysis.py RUN/budget.csv RUN.nc [--plot years.png]

For every transient year it prints the mean precipitation over the model's
active cells, the recharge from precipitation as the budget table has it
and as the NetCDF file's yearly recharge grid sums to over the budget
zones, and the groundwater pumping (irrigation and municipal) of the
budget table; with --plot also draws them."""

import argparse
import sys

import numpy as np
import pandas as pd
import xarray as xr

# One cell is a square mile, 640 acres; an inch over it is 640 / 12
# acre-feet.
ACRE_FEET_PER_INCH = 640.0 / 12.0


def budget_totals(path):
    """The budget table's state or zone totals of every transient year,
    one column per quantity (acre-feet or acres). The round-trip reader
    gives the exact doubles quon wrote."""
    table = pd.read_csv(path, float_precision="round_trip")
    rows = table[(table.period == "year") & (table.area_kind == "zone") &
                 (table.area == "total")]
    return rows.pivot(index="first_year", columns="quantity", values="value")


def yearly_grids(path, zones):
    """Mean precipitation (inches, active cells) and the recharge grid of
    each year summed over the cells of a budget zone (acre-feet). NaN
    marks the cells outside the model, left out of both."""
    ds = xr.open_dataset(path)
    inside = ds.budget_zone.isin(zones) if "budget_zone" in ds else True
    rech = ds.annual_recharge.where(inside).sum(dim=("y", "x"))
    return pd.DataFrame({
        "precip_in": ds.precipitation.mean(dim=("y", "x")).values,
        "rech_grid_af": rech.values * ACRE_FEET_PER_INCH,
    }, index=pd.Index(ds.year.values, name="year"))


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("budget", help="the BUDGETCSV table")
    p.add_argument("netcdf", help="the run's quon-export file")
    p.add_argument("--plot", metavar="PNG", help="also draw the years")
    a = p.parse_args(argv)
    totals = budget_totals(a.budget)
    zones = range(1, 10)
    grids = yearly_grids(a.netcdf, list(zones))
    years = pd.DataFrame({
        "precip_in": grids.precip_in,
        "rech_budget_af": totals["RchRcp_af"],
        "rech_grid_af": grids.rech_grid_af,
        "pumping_af": totals["gwIrr_af"] + totals["gwMI_af"],
    }).rename_axis("year")
    years["rech_diff_af"] = years.rech_grid_af - years.rech_budget_af
    print(years.to_string(float_format=lambda v: f"{v:,.1f}"))
    if a.plot:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        fig, ax = plt.subplots(figsize=(8, 4.4))
        fig.subplots_adjust(bottom=0.22, left=0.12, right=0.9)
        ax.plot(years.index, years.rech_budget_af, "o-",
                label="recharge from precipitation (budget table)")
        ax.plot(years.index, years.pumping_af, "s-",
                label="groundwater pumping (budget table)")
        ax.set_ylabel("acre-feet")
        ax.yaxis.set_major_formatter(lambda v, _: f"{v:,.0f}")
        ax.set_ylim(bottom=0)
        ax.set_xticks(years.index, [str(y) for y in years.index])
        ax2 = ax.twinx()
        ax2.plot(years.index, years.precip_in, "^--", color="grey",
                 label="mean precipitation (NetCDF)")
        ax2.set_ylabel("inches")
        ax2.set_ylim(bottom=0)
        fig.legend(loc="lower center", ncol=2, fontsize=8, frameon=False)
        fig.savefig(a.plot)
        print(a.plot)
    return 0 if np.isfinite(years.to_numpy()).all() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

"""cli.py - the quon-plot command line: map, budget and report. Every fault
of an input or output file ends the command with one line
'quon-plot: <file>: <what>' on standard error and exit status 1."""

import os

import matplotlib

matplotlib.use("Agg")  # pictures only, never a display

from . import readers as R  # noqa: E402


def _parser():
    p = R.OneLineParser(
        prog="quon-plot",
        description="Pictures of quon's files: maps of grids, budget charts "
        "and a report of a run. The picture type follows the output name: "
        ".png, .svg or .pdf.")
    sub = p.add_subparsers(dest="command", required=True, metavar="COMMAND",
                           parser_class=R.OneLineParser)

    m = sub.add_parser("map", help="a map of one 165 x 326 grid")
    m.add_argument("file", metavar="FILE", help="RCH file, store or cell "
                   "array grid (text or unformatted), zone grid, terrain "
                   "plot file or year.csv table")
    m.add_argument("-o", dest="out", metavar="OUT",
                   help="picture to write (default, in the current folder: "
                   "FILE's folder and name, the period or column drawn and "
                   ".png, such as co_1950.07.pmp.png or "
                   "gwirr.rch_1951-07.png)")
    m.add_argument("--period", metavar="LABEL", help="RCH period: Steady, "
                   "' 7/1951' or 1951-07 (default the first)")
    m.add_argument("--ibound", metavar="ZONEGRID", help="IBOUND grid: "
                   "cells of code 0 are drawn grey")
    m.add_argument("--stations", metavar="LOCFILE", help="station "
                   "locations to mark")
    m.add_argument("--title", metavar="T", help="title of the map "
                   "(default what the file holds and when)")
    m.add_argument("--scale", metavar="LO,HI", help="colour scale of the "
                   "values (default the map's own range; amounts start at "
                   "0), so that maps drawn one by one can share one")
    m.add_argument("--column", default="irr_af", choices=("irr_af", "mi_af"),
                   help="column of a year.csv table (default irr_af)")

    b = sub.add_parser("budget", help="charts of the budget table")
    b.add_argument("file", metavar="FORT2", help="the report file (fort.2)")
    b.add_argument("-o", dest="out", metavar="OUT",
                   help="picture to write (default budget.png)")
    b.add_argument("--subareas", metavar="DIR", help="folder of pump.bsn "
                   "and rech.bsn, charted too")

    r = sub.add_parser("report", help="a folder with index.html and the "
                       "pictures of a whole run")
    r.add_argument("file", metavar="RUNDIR", help="the folder quon ran in")
    r.add_argument("-o", dest="out", metavar="OUTDIR",
                   help="folder to write (default RUNDIR/report)")
    r.add_argument("--years", metavar="Y1,Y2,...", help="years to map "
                   "(default the first, middle and last transient year)")
    r.add_argument("--par", metavar="FILE", help="parameter file (default "
                   "RUNDIR/quon.par)")
    return p


def _check_out(out, source):
    """quon-plot never writes over a file it reads."""
    if os.path.exists(out) and os.path.exists(source) and \
            os.path.samefile(out, source):
        raise R.InputError(out, "is the input file; choose another -o")


def _scale(text):
    """The two numbers of --scale LO,HI."""
    try:
        lo, hi = (float(v) for v in text.split(","))
    except ValueError:
        raise R.InputError(text, "--scale takes two numbers such as "
                           "0,30") from None
    if not lo < hi:
        raise R.InputError(text, "--scale needs LO below HI")
    return lo, hi


def _map(a):
    from . import maps
    limits = _scale(a.scale) if a.scale else None
    if a.out:
        maps.check_output(a.out)
        _check_out(a.out, a.file)
    data = maps.load(a.file, a.period, a.column)
    # The default name says which file, period and column it shows.
    out = a.out or data.name
    _check_out(out, a.file)
    ibound = R.read_zones(a.ibound, header=False)[0] if a.ibound else None
    stations = R.read_stations(a.stations) if a.stations else None
    maps.draw_map(data.grid, out, data.quantity, data.unit, data.style,
                  ibound=ibound, stations=stations,
                  title=a.title or data.title, zone_names=data.names,
                  limits=limits, colours=data.colours)
    return out


def _budget(a):
    from . import budget, maps
    out = a.out or "budget.png"
    maps.check_output(out)
    _check_out(out, a.file)
    table = R.read_budget(a.file)
    subareas = None
    if a.subareas:
        subareas = (R.read_subareas(os.path.join(a.subareas, "pump.bsn")),
                    R.read_subareas(os.path.join(a.subareas, "rech.bsn")))
    budget.draw_budget(table, out, subareas=subareas,
                       title="Annual budget (" + os.path.join(
                           os.path.basename(os.path.dirname(os.path.abspath(
                               a.file))), os.path.basename(a.file)) + ")")
    return out


def _report(a):
    from . import report
    years = None
    if a.years:
        try:
            years = [int(y) for y in a.years.split(",") if y.strip()]
        except ValueError:
            raise R.InputError(a.years, "--years takes years such as "
                               "1950,1975") from None
    out = a.out or os.path.join(a.file, "report")
    index, failed = report.make_report(a.file, out, years=years, par=a.par)
    if failed:
        # The page is written, but a report with holes must not pass for
        # a whole one.
        raise R.InputError(a.file, f"{failed} pictures or markings left out "
                           f"for missing or bad files (see {index})")
    return index


def main(argv):
    a = _parser().parse_args(argv)
    run = {"map": _map, "budget": _budget, "report": _report}[a.command]
    return R.run_command("quon-plot", lambda: run(a), a.file)

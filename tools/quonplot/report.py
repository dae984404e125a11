"""report.py - the pictures of a whole run in one folder with an index.html
that opens in any browser from the folder (no server, nothing fetched): the
budget charts; for chosen years the kriged precipitation with the stations,
the recharge of each component and the pumping; the steady recharge; the
zone grids and terrain multipliers; the run's warnings and its parameter
file. The maps of one quantity share one colour scale across the years. A
file the report wants that is absent is named on the page."""

import html
import os
import re
import struct

import numpy as np

from . import readers as R
from .budget import draw_budget
from .maps import (budget_colours, components, counted, draw_map,
                   joint_range, steady_years, value_range, zone_grids)

WARNINGS_SHOWN = 200  # lines of fort.2 shown on the page; all are counted


class Page:
    """The report's sections as they are filled: pictures and notes."""

    def __init__(self, outdir):
        self.outdir = outdir
        self.sections = []  # (heading, [("img", file, caption) | ("note", t)])
        self.failed = 0  # pictures not drawn for a missing or bad file

    def section(self, heading):
        self.sections.append((heading, []))

    def note(self, text):
        self.sections[-1][1].append(("note", text))

    def fault(self, text):
        """A note on a file the run should have and that is missing or bad."""
        self.note(text)
        self.failed += 1

    def picture(self, name, caption, draw):
        """Draws one picture with draw(path); a missing or bad input becomes
        a note instead, and the report goes on."""
        item = []
        self.sections[-1][1].append(item)
        self._draw(item, name, caption, draw)

    def _draw(self, item, name, caption, draw):
        """Draws into item's place: the picture, or the note of its fault."""
        try:
            draw(os.path.join(self.outdir, name))
        except R.InputError as e:
            item[:] = ["note", f"{caption}: not drawn, {e.path}: {e.what}"]
            self.failed += 1
            return
        item[:] = ["img", name, caption]

    def scaled(self, name, caption, key, style, load, draw):
        """A map of one quantity (key) of one of several years, drawn by
        draw_scaled once every map of its key is read, so that they share
        one colour scale: load() reads its grid, draw(grid, out, limits)
        draws it."""
        self.sections[-1][1].append(["scaled", name, caption, key, style,
                                     load, draw])

    def draw_scaled(self, ibound):
        """Reads every map of scaled(), then draws each on the joint range
        of its key's grids (the grids are held meanwhile: a few megabytes a
        year). A grid that cannot be read is a note and no part of the
        scale."""
        items = [i for _, its in self.sections for i in its
                 if i[0] == "scaled"]
        grids, ranges = [], {}
        for i in items:
            try:
                grid = i[5]()
            except R.InputError as e:
                grid = e
            else:
                ranges.setdefault(i[3], []).append(
                    value_range(grid, i[4], ibound))
            grids.append(grid)
        for i, grid in zip(items, grids):
            name, caption, key, draw = i[1], i[2], i[3], i[6]

            def one(out, grid=grid, key=key, draw=draw):
                if isinstance(grid, R.InputError):
                    raise grid
                draw(grid, out, joint_range(ranges[key]))
            self._draw(i, name, caption, one)

    def pictures(self):
        return [i[1] for _, items in self.sections for i in items
                if i[0] == "img"]


def _default_years(years):
    if not years:
        return []
    picked = [years[0], years[len(years) // 2], years[-1]]
    return sorted(set(picked))


def _read_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("latin-1")
    except OSError:
        return None


def make_report(rundir, outdir, years=None, par=None):
    """Writes outdir/index.html and its pictures for the run in rundir;
    returns the page's path and the number of pictures or markings (IBOUND
    greying, stations) left out for a missing or bad file. Only a missing or unreadable parameter file
    or an output folder that cannot be written ends it (InputError)."""
    if not os.path.isdir(rundir):
        raise R.InputError(rundir, "no such folder")
    par = par or os.path.join(rundir, "quon.par")
    p = R.read_params(par)
    try:
        os.makedirs(outdir, exist_ok=True)
    except OSError as e:
        raise R.InputError(outdir, e.strerror or "cannot be made") from None

    def at(name):
        # '*' is a zone grid with every cell in zone 1, not a file.
        if os.path.isabs(name) or name.strip() == "*":
            return name
        return os.path.join(rundir, name)

    page = Page(outdir)
    span = p.transient_years()
    if years is None:
        chosen = _default_years(span)
    else:
        chosen = [y for y in years if y in span]
    # ---- Budget
    page.section("Annual budget")
    ibound = None
    if p.ibound:
        try:
            ibound = R.read_zones(at(p.ibound), header=False)[0]
        except R.InputError as e:
            page.fault(f"{e.path}: {e.what}; every cell drawn as active")
    stations = None
    if p.stations and p.stations[0]:
        try:
            stations = R.read_stations(at(p.stations[0]))
        except R.InputError as e:
            page.fault(f"{e.path}: {e.what}; stations not marked")
    fort2 = os.path.join(rundir, "fort.2")
    table = None
    if not p.budget:
        page.note("no BUDGET keyword: no budget table")
    else:
        try:
            table = R.read_budget(fort2)
        except R.InputError as e:
            page.fault(f"budget charts: not drawn, {e.path}: {e.what}")
    if table is not None:
        subareas = None
        if p.budget[1]:
            try:
                subareas = tuple(R.read_subareas(os.path.join(
                    rundir, "quon", f)) for f in ("pump.bsn", "rech.bsn"))
            except R.InputError as e:
                page.fault(f"sub-area charts: not drawn, {e.path}: "
                           f"{e.what}")
        else:
            page.note("no sub-area grid on the BUDGET keyword: no sub-area "
                      "charts")
        page.picture("budget.png", "Budget table of fort.2 by group" +
                     (", with the sub-area files" if subareas else ""),
                     lambda out: draw_budget(table, out, subareas=subareas,
                                             title="Annual budget (fort.2)"))

    # ---- RCH files, indexed once
    rch = []
    for name, (what, short) in zip(p.recharge, components(len(p.recharge))):
        try:
            rch.append((what, short, R.RchFile(at(name))))
        except R.InputError as e:
            rch.append((what, short, e))

    def opts(**kw):
        return dict(ibound=ibound, **kw)

    # ---- Steady period
    page.section("Steady period")
    if not p.ibound:
        page.note("no IBOUND keyword: every cell is active")
    if not p.steady or p.steady[0] <= 0:
        page.note("no STEADY keyword: no steady period")
    elif not rch:
        page.note("no RECHARGE keyword: no RCH file")
    else:
        def steady(out):
            total = np.zeros((R.NROW, R.NCOL))
            for _, _, f in rch:
                if isinstance(f, R.InputError):
                    raise f
                total += f.period(f.find("Steady"))
            draw_map(total, out, "Recharge in the steady period", "inches",
                     "amount", title=f"Steady recharge, {steady_years(p)} "
                     f"(sum of {counted(len(rch), 'RCH file')})", **opts())
        page.picture("steady_recharge.png", "Recharge of the steady period, "
                     "all components", steady)

    # ---- Chosen years
    left_out = years is not None and len(chosen) < len(years)
    if not span or left_out:
        page.section("Transient years")
    if not span:
        page.note("no TRANSIENT keyword: no transient year")
    if left_out:
        page.note(f"years outside the transient span {span[0] if span else ''}"
                  f"-{span[-1] if span else ''} left out: " +
                  ", ".join(str(y) for y in years if y not in chosen))
    for year in chosen:
        page.section(f"Year {year}")
        if not p.stations:
            page.note("no STATIONS keyword: no stations to mark")
        if p.store:
            store, ppt, irr, _ = p.store
            page.scaled(f"{year}_precipitation.png", f"Kriged precipitation "
                        f"{year} with the stations", "ppt", "level",
                        lambda f=at(f"{store}/{year}.{ppt}"): R.read_grid(f),
                        lambda grid, out, limits, year=year: draw_map(
                            grid, out, "Precipitation", "inches a year",
                            "level", title=f"Kriged precipitation {year}",
                            limits=limits, **opts(stations=stations)))
            page.scaled(f"{year}_irrigated.png", f"Irrigated area {year}",
                        "irr", "amount",
                        lambda f=at(f"{store}/{year}.{irr}"): R.read_grid(f),
                        lambda grid, out, limits, year=year: draw_map(
                            grid, out, "Irrigated area", "acres", "amount",
                            title=f"Irrigated area {year}", limits=limits,
                            **opts()))
        else:
            page.note("no FILE keyword: no stored precipitation and "
                      "irrigated-area grids")
        if not rch:
            page.note("no RECHARGE keyword: no RCH file")
        for what, short, f in rch:
            def component(f=f, year=year):
                if isinstance(f, R.InputError):
                    raise f
                return f.year_total(year)

            def draw(grid, out, limits, f=f, what=what, year=year):
                draw_map(grid, out, "Recharge in the year", "inches",
                         "amount", title=f"Recharge from {what}, {year} "
                         f"(12 months of {os.path.basename(f.path)})",
                         limits=limits, **opts())
            page.scaled(f"{year}_recharge_{short}.png", f"Recharge from "
                        f"{what} in {year}", f"rch_{short}", "amount",
                        component, draw)
        csv = os.path.join(rundir, f"{year}.csv")
        if os.path.exists(csv):
            def pumping(csv=csv):
                table = R.read_year_csv(csv)
                return table["irr_af"] + table["mi_af"]
            source = f", irrigation + municipal ({year}.csv)"
        elif p.well:
            page.note(f"no {year}.csv in the run folder (quon writes it "
                      "with ANNPUMP): pumping summed from the twelve months "
                      f"of {p.well}")

            def pumping(year=year):
                return R.read_wel_year(at(p.well), year)
            source = " (WEL file)"
        else:
            pumping = None
            page.note(f"no {year}.csv and no WELL keyword: no pumping map")
        if pumping:
            page.scaled(f"{year}_pumping.png", f"Pumping in {year}", "pump",
                        "amount", pumping,
                        lambda grid, out, limits, title=f"Pumping {year}"
                        f"{source}": draw_map(
                            grid, out, "Pumping", "acre-feet a year",
                            "amount", title=title, limits=limits, **opts()))
    page.draw_scaled(ibound)

    # ---- Zone grids and terrain
    page.section("Zone grids and terrain")
    for key, what, name, header in zone_grids(p):
        if not name:
            page.note(f"{what}: not given in the parameter file")
            continue

        def zones(out, name=name, header=header, what=what, key=key):
            grid, names = R.read_zones(at(name), header=header)
            draw_map(grid, out, "Zone", "", "zones", title=f"{what} "
                     f"({name})", zone_names=names if header else None,
                     ibound=ibound if header else None,
                     colours=budget_colours(len(names)) if key == "budget"
                     else None)
        page.picture(f"zones_{key}.png", f"{what} ({name})", zones)
    if p.terrain and p.terrain[2]:
        page.picture("terrain_multipliers.png", "Terrain multipliers "
                     f"({p.terrain[2]})",
                     lambda out: draw_map(R.read_terrain_plot(
                         at(p.terrain[2])), out, "Terrain multiplier",
                         "", "factor", title="Terrain multipliers "
                         f"({p.terrain[2]})", **opts()))
    else:
        page.note("no TERRAIN keyword: every multiplier is 1")
    for _, _, f in rch:
        if not isinstance(f, R.InputError):
            f.close()

    if table is not None:
        warnings = [f"{n:5d}: {line}" for n, line in table.other]
    else:
        text = _read_text(fort2)
        warnings = text.splitlines() if text is not None else None
    index = os.path.join(outdir, "index.html")
    _write_page(index, rundir, par, p, page, warnings, chosen,
                table is not None)
    return index, page.failed


def _png_size(path):
    """(width, height) of a PNG picture, None for other kinds."""
    try:
        with open(path, "rb") as f:
            head = f.read(24)
    except OSError:
        return None
    if head[:8] != b"\x89PNG\r\n\x1a\n" or len(head) < 24:
        return None
    return struct.unpack(">II", head[16:24])


def _write_page(index, rundir, par, p, page, warnings, chosen,
                table_lines):
    failed = counted(page.failed, "picture or marking",
                     "pictures or markings")
    e = html.escape
    out = ["<!DOCTYPE html>", "<html lang=\"en\"><head><meta charset=\"utf-8\">",
           f"<title>quon run {e(os.path.abspath(rundir))}</title>",
           # Maps may shrink with the window; a picture of class full (the
           # budget charts) never does, or its tick labels could not be
           # read: it scrolls sideways instead.
           "<style>body{font-family:sans-serif;margin:1.5em;max-width:"
           "1540px}img{max-width:100%;height:auto;border:1px solid #ccc}"
           "img.full{max-width:none}figure{margin:1em 0;overflow-x:auto}"
           ".note{color:#8a4b00}pre{background:#f4f4f4;padding:.6em;"
           "overflow-x:auto;font-size:85%}</style></head><body>",
           f"<h1>quon run: {e(os.path.abspath(rundir))}</h1>",
           "<p>Parameter file <code>" + e(par) + "</code>; steady " +
           (e(f"{p.steady[0]}-{p.steady[1]}") if p.steady else "none") +
           "; transient " + (e(f"{p.transient[0]}-{p.transient[1]}")
                             if p.transient else "none") +
           "; years mapped: " + (e(", ".join(map(str, chosen))) or "none") +
           (" (the maps of one quantity share one colour scale across these "
            "years)" if len(chosen) > 1 else "") + ".</p>",
           f"<p><b>{counted(len(page.pictures()), 'picture')} drawn</b>" +
           (f"; <b class=\"note\">{failed} left out for a missing or "
            "unreadable file (named below)</b>"
            if page.failed else "") +
           (f"; <b class=\"note\">{counted(len(warnings), 'line')} of "
            "warnings or errors in fort.2</b>" if warnings else "") +
           ".</p>", "<ul>"]
    for k, (heading, _) in enumerate(page.sections):
        out.append(f"<li><a href=\"#s{k}\">{e(heading)}</a></li>")
    out.append("<li><a href=\"#warnings\">Warnings</a></li>")
    out.append("<li><a href=\"#par\">Parameter file</a></li></ul>")
    for k, (heading, items) in enumerate(page.sections):
        out.append(f"<h2 id=\"s{k}\">{e(heading)}</h2>")
        for item in items:
            if item[0] == "note":
                out.append(f"<p class=\"note\">{e(item[1])}</p>")
            else:
                # Drawn at their own size, so the page never rescales them.
                size = _png_size(os.path.join(page.outdir, item[1]))
                attrs = f" width=\"{size[0]}\" height=\"{size[1]}\"" \
                    if size else ""
                if item[1] == "budget.png":
                    attrs += " class=\"full\""
                out.append(f"<figure><a href=\"{e(item[1])}\"><img src=\""
                           f"{e(item[1])}\" alt=\"{e(item[2])}\"{attrs}>"
                           f"</a><figcaption>{e(item[2])}</figcaption>"
                           "</figure>")
    out.append("<h2 id=\"warnings\">Warnings and other lines of fort.2</h2>")
    if warnings is None:
        out.append("<p class=\"note\">no fort.2 in the run folder</p>")
    elif not warnings:
        out.append("<p>none: fort.2 holds only the budget table</p>")
    else:
        # Counted by kind (the text without its numbers), then the lines
        # themselves up to a page's worth.
        kinds = {}
        for line in warnings:
            kind = " ".join(re.sub(r"[-+]?\d[\d.E+-]*", "", line.split(":", 1)
                                   [-1] if table_lines else line).split())
            kinds[kind] = kinds.get(kind, 0) + 1
        out.append("<table>" + "".join(
            f"<tr><td>{e(k)}</td><td align=\"right\">{n}</td></tr>"
            for k, n in sorted(kinds.items(), key=lambda kv: -kv[1])) +
            "</table>")
        shown = warnings[:WARNINGS_SHOWN]
        more = len(warnings) - len(shown)
        out.append("<pre>" + e("\n".join(shown)) + "</pre>" +
                   (f"<p>... and {counted(more, 'more line')} in fort.2</p>"
                    if more
                    else ""))
    out.append("<h2 id=\"par\">Parameter file</h2>")
    out.append("<pre>" + e(_read_text(par) or "") + "</pre>")
    out.append("</body></html>")
    try:
        with open(index, "w", encoding="utf-8") as f:
            f.write("\n".join(out) + "\n")
    except OSError as err:
        raise R.InputError(index, err.strerror or "cannot be written") \
            from None

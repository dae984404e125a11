"""test_quonplot.py - quon-plot's readers against files of known values, its
three commands on generated runs, and its one-line refusals of bad input."""

import os
import re
import struct

import numpy as np
import pytest
from conftest import quon_plot

from quonplot import readers as R
from quonplot.cli import main


def f95(v):
    """One (20F9.5) field as the Fortran runtime writes it."""
    s = f"{v:9.5f}"
    return s if len(s) == 9 else "*" * 9


def write_rch(path, periods, header=True, newline="\n"):
    """An RCH file of the given {label: {(row, col): value}} periods."""
    with open(path, "w", newline=newline) as f:
        if header:
            f.write(f"{1:10d}{50:10d}\n")
        for label, cells in periods.items():
            f.write(f"{1:10d}{0:10d}\n")
            f.write(f"INTERNAL  2.64067398E-09 (20F9.5)  -1 {label}\n")
            grid = np.zeros((R.NROW, R.NCOL))
            for (r, c), v in cells.items():
                grid[r - 1, c - 1] = v
            for row in grid:
                for k in range(0, R.NCOL, 20):
                    f.write("".join(f95(v) for v in row[k:k + 20]) + "\n")


@pytest.mark.parametrize("header,newline", [(True, "\n"), (False, "\n"),
                                            (True, "\r\n")])
def test_rch_periods_by_label(tmp_path, header, newline):
    path = tmp_path / "a.rch"
    write_rch(path, {"Steady ": {(3, 45): 1.25}, " 7/1951": {
        (165, 326): 999.99, (1, 1): -0.5, (2, 21): 1234.5}}, header, newline)
    with R.RchFile(path) as rch:
        assert rch.labels == ["Steady ", " 7/1951"]
        for text in ("1951-07", "7/1951", " 7/1951"):
            assert rch.find(R.period_label(text)) == 1
        steady = rch.period(rch.find(R.period_label("Steady")))
        july = rch.period(1)
        with pytest.raises(R.InputError):
            rch.find(R.period_label("1951-08"))
    assert steady[2, 44] == 1.25 and steady.sum() == 1.25
    assert july[164, 325] == 999.99 and july[0, 0] == -0.5
    assert np.isnan(july[1, 20])  # written as asterisks
    assert R.period_label("1951-13") is None


def test_rch_of_a_run_matches_its_lines(text_run):
    path = text_run / "quon.rch"
    lines = path.read_text().splitlines()
    with R.RchFile(path) as rch:
        assert rch.labels == ["Steady "] + [f"{m:2d}/{y}" for y in (1949, 1950)
                                            for m in range(1, 13)]
        k = rch.find(" 6/1950")
        grid = rch.period(k)
        total = rch.year_total(1950)
    base = 1 + k * (2 + R.NROW * 17) + 2
    for r, c in ((80, 160), (100, 50), (60, 250)):
        line = lines[base + (r - 1) * 17 + (c - 1) // 20]
        field = line[(c - 1) % 20 * 9:(c - 1) % 20 * 9 + 9]
        assert grid[r - 1, c - 1] == float(field)
    assert grid.max() > 0 and total.sum() > grid.sum()


def test_budget_rows_steady_and_asterisks(tmp_path):
    names = ["Alpha", "B"]
    head = " Year" + "".join(f"{n:>10}" for g in R.BUDGET_GROUPS
                             for n in names + [g])
    row = np.arange(27, dtype=float).reshape(9, 3) * 10 + 0.5
    lines = [head, " SS  " + "".join(f"{v:10.1f}" for v in (1.0, 2.0, 3.0)),
             " WARNING: Missing soil type     3    4",
             " 1950" + "".join(f"{v:10.1f}" for v in row.ravel()),
             " 1951" + "".join(f"{v:10.1f}" for v in row.ravel() * 2)[:-10] +
             "*" * 10]
    (tmp_path / "fort.2").write_text("\n".join(lines) + "\n")
    b = R.read_budget(tmp_path / "fort.2")
    assert b.names == names and b.years == [1950, 1951]
    assert list(b.steady) == [1.0, 2.0, 3.0]
    assert list(b.series("gwMI_af", "B")) == [40.5, 81.0]
    assert b.series("RchRcc_af", "Alpha")[1] == 481.0
    assert np.isnan(b.series("RchRcc_af", "total")[1])
    assert [n for n, _ in b.other] == [3]


def test_subarea_file(text_run):
    s = R.read_subareas(text_run / "quon" / "pump.bsn")
    assert s.names[0] == "nonOsken" and s.years == [1949, 1950]
    row = (text_run / "quon" / "pump.bsn").read_text().splitlines()[2]
    assert s.values[1, 0, 1] == float(row[16:28])


@pytest.mark.parametrize("header,rows,names,codes", [
    ('a "b c" d', ["0123" + "3" * 322] * 165, ["a", "b c", "d"],
     [0, 1, 2, 3]),
    (" ".join(f"z{k}" for k in range(10)), [" 910 0 1"] * 165,
     [f"z{k}" for k in range(10)], [9, 10, 0, 1]),
    (None, ["-1 1 0 2"] * 165, [], [-1, 1, 0, 2]),
])
def test_zone_grids(tmp_path, header, rows, names, codes):
    path = tmp_path / "z.zon"
    path.write_text("\n".join(([header] if header else []) + rows) + "\n")
    grid, got = R.read_zones(path)
    assert got == names
    assert list(grid[164, :4]) == codes and grid.shape == (165, 326)
    assert (R.read_zones("*")[0] == 1).all()


@pytest.mark.parametrize("row,first", [
    (" ".join(["1.5"] * 326), [1.5, 1.5, 1.5]),
    ("2.5 3\n" + " ".join(["0"] * 324) + " 9 9", [2.5, 3.0, 0.0]),
    ("1,2,,4," + ",".join(["1"] * 322), [1.0, 2.0, 0.0, 4.0]),
    ("2*7.5 1.0d1 1.5+1 322*0", [7.5, 7.5, 10.0, 15.0]),
    ("5 /", [5.0, 0.0]),
    ("1 2\n,3 " + " ".join(["0"] * 323), [1.0, 2.0, 3.0, 0.0]),
    ("\n,3 " + " ".join(["1"] * 325), [3.0, 1.0]),
    ("1,\n,3 " + " ".join(["1"] * 323), [1.0, 0.0, 3.0, 1.0]),
])
def test_free_format_grids(tmp_path, row, first):
    path = tmp_path / "g.txt"
    path.write_text("\n".join([row] * 165) + "\n")
    grid = R.read_text_grid(path)
    assert list(grid[164, :len(first)]) == first
    assert (grid[0] == grid[164]).all()


def test_store_grids_text_and_unformatted_alike(text_run, bin_run):
    for name in ("1950.ppt", "1950.irr", "1950.rch"):
        text, binary = text_run / "store" / name, bin_run / "store" / name
        assert R.is_unformatted(binary) and not R.is_unformatted(text)
        a, b = R.read_grid(text), R.read_grid(binary)
        assert a.max() > 0 and np.array_equal(a, b)
    ibound = R.read_zones(text_run / "ibound.zon", header=False)[0]
    ppt = R.read_grid(text_run / "store" / "1950.ppt")
    assert (ppt[ibound > 0] > 0).all() and (ppt[ibound <= 0] == 0).all()


def png_size(path):
    data = open(path, "rb").read(24)
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", data[16:24])


@pytest.mark.parametrize("args,size", [
    (["map", "quon.rch", "--period", "1950-07", "--ibound", "ibound.zon"],
     (1000, 560)),
    (["map", "store/1949.ppt", "--stations", "stations.loc", "--ibound",
      "ibound.zon", "--title", "Rain"], (1000, 560)),
    (["map", "subarea.zon"], (1000, 560)),
    (["map", "1950.csv", "--column", "mi_af"], (1000, 560)),
    (["map", "terrain.plt"], (1000, 560)),
    (["budget", "fort.2", "--subareas", "quon"], (1500, 1400)),
    (["map", "ks/1950.agw"], "svg"),
    (["map", "store/1950.ppt", "--scale", "10,40"], (1000, 560)),
])
def test_commands_write_pictures(text_run, tmp_path, monkeypatch, capsys,
                                 args, size):
    out = tmp_path / ("p.svg" if size == "svg" else "p.png")
    monkeypatch.chdir(text_run)
    assert main(args + ["-o", str(out)]) == 0
    assert capsys.readouterr().err == ""
    assert os.path.getsize(out) > 10000
    if size == "svg":
        assert out.read_bytes().startswith(b"<?xml")
    else:
        assert png_size(out) == size


def test_report_links_every_picture(text_run, tmp_path, capsys):
    out = tmp_path / "report"
    assert main(["report", str(text_run), "-o", str(out), "--years",
                 "1950,1990"]) == 0
    assert capsys.readouterr().err == ""
    page = (out / "index.html").read_text()
    linked = set(re.findall(r'<img src="([^"]+)"', page))
    written = {p for p in os.listdir(out) if p.endswith(".png")}
    assert linked == written and len(written) == 13
    assert {png_size(out / p) for p in written} == {(1000, 560), (1500, 1400)}
    assert {"1950_precipitation.png", "1950_recharge_all.png"} <= written
    # Every picture at its own size; the budget charts never shrunk.
    for name, w, h in re.findall(r'<img src="([^"]+)"[^>]* width="(\d+)" '
                                 r'height="(\d+)"', page):
        assert png_size(out / name) == (int(w), int(h))
    assert re.search(r'<img src="budget.png"[^>]*class="full"', page)
    assert "left out: 1990" in page and "TRANSIENT 1949 1950" in page
    assert "http" not in page.replace("http-equiv", "")


@pytest.mark.parametrize("args,file", [
    (["map", "nothere.rch"], "nothere.rch"),
    (["map", "quon.par"], "quon.par"),
    (["map", "quon.rch", "--period", "1999-01"], "quon.rch"),
    (["map", "quon.rch", "-o", "x.gif"], "x.gif"),
    (["map", "stations.loc"], "stations.loc"),
    (["budget", "stations.ppt"], "stations.ppt"),
    (["report", "nofolder"], "nofolder"),
    (["budget", "fort.2", "-o", "fort.2"], "fort.2"),
    (["map", "quon.rch", "--scale", "5,1"], "5,1"),
])
def test_bad_input_gives_one_line(text_run, tmp_path, args, file):
    if "-o" not in args:
        args = args + ["-o", tmp_path / "x.png"]
    status, stdout, stderr = quon_plot(*args, cwd=text_run)
    assert status == 1 and stdout == ""
    assert stderr.count("\n") == 1 and "Traceback" not in stderr
    assert stderr.startswith(f"quon-plot: {file}: ")


def test_report_of_a_run_without_outputs(text_run, tmp_path):
    bare = tmp_path / "bare"
    bare.mkdir()
    (bare / "quon.par").write_bytes((text_run / "quon.par").read_bytes())
    status, _, stderr = quon_plot("report", bare, "-o", bare / "report")
    assert status == 1 and stderr.count("\n") == 1
    assert "left out for missing or bad files" in stderr
    page = (bare / "report" / "index.html").read_text()
    assert "0 pictures drawn" in page and "fort.2: no such file" in page


def test_wel_file_and_pumping_table_agree(text_run):
    """Two writers of the same pumping, read by two readers: the WEL rates
    (cubic feet a second, 6 decimals) summed over the months against the
    year.csv acre-feet (2 decimals)."""
    wel = R.read_wel_year(text_run / "quon.wel", 1950)
    table = R.read_year_csv(text_run / "1950.csv")
    total = table["irr_af"] + table["mi_af"]
    assert total.sum() > 1000 and np.abs(wel - total).max() < 0.01


def test_parameter_file_as_quon_reads_it(tmp_path):
    (tmp_path / "q.par").write_text("\n".join([
        "# comment", "recharge a.rch", "Recharge one.rch two.rch x.rch y.rch",
        "FILE \"my store\" p i r", "SOIL soil.zon", "FUNCTION f.txt 2",
        "  0.0 0 0", "", "# inside the block", " 10.0 1 2",
        "transient\t1950 1960", "STEADY 1940 1945 1.0",
        " IBOUND not-a-keyword.zon", "BUDGET zones.zon"]) + "\n")
    p = R.read_params(tmp_path / "q.par")
    assert p.recharge == ["one.rch", "two.rch", "x.rch", "y.rch"]
    assert p.store == ("my store", "p", "i", "r")
    assert p.transient_years() == list(range(1950, 1961))
    assert p.steady == (1940, 1945) and p.soil == "soil.zon"
    assert p.ibound == "not-a-keyword.zon"  # leading blank: still a keyword
    assert p.budget == ("zones.zon", None) and p.stations is None


def test_terrain_plot_asterisks(tmp_path):
    row = "******" + " 1.250" + "10.000" + " 0.000" * 323
    (tmp_path / "t.plt").write_text("\n".join([row] * 165) + "\n")
    grid = R.read_terrain_plot(tmp_path / "t.plt")
    assert np.isnan(grid[0, 0]) and list(grid[164, 1:3]) == [1.25, 10.0]


@pytest.mark.parametrize("name,quantity,style,names", [
    ("quon.rch", "Recharge in the period", "amount", None),
    ("store/1950.ppt", "Precipitation", "level", None),
    ("ks/1950.agw", "Groundwater-irrigated area", "amount", None),
    ("xfactor.dat", "Value", "amount", None),  # integers, yet not a zone grid
    ("ibound.zon", "Zone", "zones", None),
    ("soil.zon", "Zone", "zones", ["sand", "loam", "silt", "clay"]),
    ("terrain.plt", "Terrain multiplier", "factor", None),
    ("1950.csv", "Irrigation pumping", "amount", None),
])
def test_map_tells_file_kinds_apart(text_run, name, quantity, style, names):
    from quonplot.maps import load
    data = load(str(text_run / name))
    assert (data.quantity, data.style, data.names) == (quantity, style, names)
    if name == "ibound.zon":
        assert set(np.unique(data.grid)) == {-1, 0, 1}


@pytest.mark.parametrize("args,name,title", [
    (["co/1950.07.pmp"], "co_1950.07.pmp.png",
     "Irrigation pumping, July 1950, CO (co/1950.07.pmp)"),
    (["ks/1950.07.pmp"], "ks_1950.07.pmp.png",
     "Irrigation pumping, July 1950, KS (ks/1950.07.pmp)"),
    (["quon.rch", "--period", "1950-07"], "quon.rch_1950-07.png",
     "Recharge, July 1950 (text/quon.rch)"),
    (["quon.rch"], "quon.rch_steady.png",
     "Recharge, steady period 1948-1948 (text/quon.rch)"),
    (["co/steady.pmp"], "co_steady.pmp.png",
     "Irrigation pumping, steady period 1948-1948, CO (co/steady.pmp)"),
    (["1950.csv", "--column", "mi_af"], "1950.csv_mi_af.png",
     "Municipal and industrial pumping, 1950 (text/1950.csv, mi_af)"),
    (["ibound.zon"], "ibound.zon.png", "IBOUND codes (text/ibound.zon)"),
    (["subarea.zon"], "subarea.zon.png",
     "Budget sub-areas (text/subarea.zon)"),
])
def test_map_names_and_titles(text_run, tmp_path, monkeypatch, capsys, args,
                              name, title):
    """Default names never collide across state folders or periods; titles
    say what and when."""
    from quonplot.maps import load
    monkeypatch.chdir(tmp_path)
    path = text_run / args[0]
    assert main(["map", str(path)] + args[1:]) == 0
    # A file of the run folder itself is named with that folder.
    want = name if "/" in args[0] else f"{text_run.name}_{name}"
    assert capsys.readouterr().out == want + "\n"
    assert png_size(tmp_path / want) == (1000, 560)
    period = args[2] if args[1:2] == ["--period"] else None
    column = args[2] if args[1:2] == ["--column"] else "irr_af"
    data = load(str(path), period, column)
    assert data.title == title.replace("text/", f"{text_run.name}/")


def test_report_maps_share_one_scale_per_quantity(tmp_path):
    """Each quantity's maps get the joint range of that quantity's grids
    over the years; a grid that cannot be read is a note, not part of it."""
    from quonplot.report import Page
    page = Page(str(tmp_path))
    drawn = {}

    def draw(grid, out, limits):
        drawn[os.path.basename(out)] = limits

    def bad():
        raise R.InputError("store/1952.ppt", "no such file")
    grids = {"ppt": [10.0, 30.0, None], "rch": [2.0, 0.5, 1.0]}
    for year in range(3):
        page.section(f"Year {year}")
        for key, values in grids.items():
            grid = np.zeros((R.NROW, R.NCOL))
            if values[year] is not None:
                grid[5, 7] = values[year]
            grid[0, 0] = 12.0 if key == "ppt" else 0.0
            page.scaled(f"{year}_{key}.png", f"{key} {year}", key,
                        "level" if key == "ppt" else "amount",
                        (lambda g=grid: g) if values[year] is not None
                        else bad, draw)
    page.draw_scaled(None)
    assert drawn == {"0_ppt.png": (0.0, 30.0), "1_ppt.png": (0.0, 30.0),
                     **{f"{y}_rch.png": (0.0, 2.0) for y in range(3)}}
    assert page.failed == 1 and sorted(page.pictures()) == sorted(drawn)
    assert ["note", "ppt 2: not drawn, store/1952.ppt: no such file"] in \
        page.sections[2][1]


@pytest.mark.parametrize("col,row,where", [
    (150, 80, ((3, 3), "left", "bottom")),
    (150, -4, ((3, -3), "left", "top")),  # at the top edge: below
    (335, 80, ((-3, 3), "right", "bottom")),  # at the right edge: left
    (335, -4, ((-3, -3), "right", "top")),
    (-5, 170, ((3, 3), "left", "bottom")),
])
def test_station_labels_stay_inside_the_frame(col, row, where):
    from quonplot.maps import _label_offset
    assert _label_offset(col, row, [-9, 339], [174, -8]) == where


@pytest.mark.parametrize("names", [4, 11, 24])
def test_sub_areas_keep_their_map_colours_in_the_charts(names):
    """Column 0 of a sub-area file (no sub-area) is the neutral grey of a
    map's cells of no zone; sub-area k has the colour of zone k of the
    sub-area map, which has one name fewer than the file has columns."""
    from quonplot.budget import subarea_colours
    from quonplot.maps import NOZONE, zone_colours
    chart, map_ = subarea_colours(names), zone_colours(names - 1)
    assert chart[0] == NOZONE and NOZONE not in map_
    assert chart[1:] == map_ and len(set(map(str, chart))) == names


def drawn_figures(monkeypatch):
    """The figures draw_map and draw_budget make, kept instead of saved."""
    from quonplot import budget, maps
    figures = []
    monkeypatch.setattr(maps, "save", lambda fig, out: figures.append(fig))
    monkeypatch.setattr(budget, "save", lambda fig, out: figures.append(fig))
    return figures


def legend_of(fig):
    """(title, [(label, face colour)]) of the figure's legends, in order."""
    out = []
    for ax in fig.axes:
        leg = ax.get_legend()
        if leg is not None:
            out.append((leg.get_title().get_text(), [
                (t.get_text(), h.get_facecolor() if hasattr(
                    h, "get_facecolor") else None)
                for t, h in zip(leg.get_texts(), leg.legendHandles)]))
    return out


@pytest.mark.parametrize("style,values,scale", [
    ("amount", (0.0, 0.04, 3.0), "Recharge (inches), square-root scale"),
    ("amount", (-2.0, 0.0, 1.0),
     "Recharge (inches), linear scale each side of 0"),
    ("factor", (0.5, 1.0, 1.5),
     "Recharge (inches), linear scale each side of 1"),
    ("level", (12.0, 20.0, 31.0), "Recharge (inches), linear scale"),
])
def test_map_colour_bar_says_its_scale(monkeypatch, style, values, scale):
    from quonplot.maps import draw_map
    figures = drawn_figures(monkeypatch)
    grid = np.full((R.NROW, R.NCOL), values[1])
    grid[:10], grid[-10:] = values[0], values[2]
    ibound = np.ones(grid.shape, np.int32)
    ibound[:, :3] = 0
    names, x, y = ["A"], [R.X0 + 5e5], [R.Y0 + 4e5]
    draw_map(grid, "m.png", "Recharge", "inches", style, ibound=ibound,
             stations=(names, x, y))
    fig, = figures
    bar = fig.axes[1]
    assert bar.get_ylabel() == scale
    labels = [label for label, _ in legend_of(fig)[0][1]]
    assert labels[-2:] == ["inactive (IBOUND 0)", "1 station"]
    assert ("zero" in labels) == (scale.endswith("square-root scale"))


def test_zone_palettes_on_maps_and_charts(text_run, monkeypatch):
    """Sub-areas and terrain classes in colours of their own, far from the
    states' and the same on map and chart; budget zones 1-3 in the states'
    colours on map and chart; the budget legend in words, counts in the
    singular and plural."""
    from matplotlib import colors
    from quonplot import budget, maps
    figures = drawn_figures(monkeypatch)
    states = [np.array(colors.to_rgb(c)) for c in maps.STATE_COLOURS]
    for key in ("subarea", "terrain", "budget"):
        path = text_run / f"{key}.zon"
        data = maps.load(str(path))
        maps.draw_map(data.grid, "z.png", data.quantity, data.unit,
                      data.style, zone_names=data.names,
                      colours=data.colours)
        entries = legend_of(figures[-1])[0][1]
        coloured = {label.split(" ", 1)[1]: colors.to_hex(face)
                    for label, face in entries if label[0].isdigit() and
                    not label.startswith("0 ")}
        assert list(coloured) == data.names
        far = [min(np.linalg.norm(np.array(colors.to_rgb(c)) - s)
                   for s in states) for c in coloured.values()]
        if key == "budget":
            assert list(coloured.values())[:3] == list(maps.STATE_COLOURS)
            budget_map = coloured
        else:
            assert min(far) > 0.25 and len(set(coloured.values())) == \
                len(coloured)
            if key == "subarea":
                subarea_map = coloured
    budget.draw_budget(R.read_budget(text_run / "fort.2"), "b.png",
                       subareas=[R.read_subareas(text_run / "quon" / n)
                                 for n in ("pump.bsn", "rech.bsn")])
    (zones_title, zones), (subs_title, subs) = legend_of(figures[-1])
    assert "by state" in zones_title and "column" not in zones_title
    chart = {label: colors.to_hex(face) for label, face in zones + subs
             if face is not None}
    for name, colour in {**budget_map, **subarea_map}.items():
        assert chart[name] == colour, name
    texts = " ".join(t.get_text() for ax in figures[-1].axes
                     for t in ax.texts)
    assert "2 transient years" in texts and "0 other lines" in texts


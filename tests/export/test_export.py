"""test_export.py - quon-export on generated runs: the RCH and WEL files
rebuilt byte for byte from the NetCDF file, the store grids to the last bit,
the georeference as GDAL and xarray see it, and the one-line refusals of bad
input that leave no file behind."""

import os
import re
import subprocess

import netCDF4
import numpy as np
import pytest
import xarray as xr
from conftest import BUILD, quon_export
from osgeo import gdal

from quonplot import readers as R

# The CRS of the grid's coordinates: UTM zone 14 north in US survey feet.
CRS = "+proj=utm +zone=14 +datum=NAD83 +units=us-ft"


@pytest.fixture(scope="module")
def exported(run4, run1, tmp_path_factory):
    out = tmp_path_factory.mktemp("nc")
    for name, run, crs in (("four", run4, ["--crs", CRS]),
                           ("one", run1, [])):
        status, _, err = quon_export(run / "quon.par", "-o", out / (
            name + ".nc"), "--geotiff", out / name, "--quon",
            os.path.join(BUILD, "quon"), *crs)
        assert (status, err) == (0, "")
    return out


def f95(v):
    s = f"{v:9.5f}"
    return s if len(s) == 9 else "*" * 9


def inactive(run):
    """The cells the run's IBOUND grid marks 0."""
    grid, _ = R.read_zones(run / "ibound.zon", False)
    return grid == 0


def labels(nc):
    dates = netCDF4.num2date(nc["time"][:], nc["time"].units,
                             nc["time"].calendar)
    return ["Steady "] + [f"{d.month:2d}/{d.year:4d}" for d in dates]


def test_rch_and_wel_files_rebuilt_from_the_export(run4, run1, exported):
    """Every value of every period, written back in quon's layouts, gives
    the files the export was made from."""
    for run, label in ((run4, "four"), (run1, "one")):
        nc = netCDF4.Dataset(exported / (label + ".nc"))
        names = R.read_params(run / "quon.par").recharge
        for name in names:
            var = [nc[v] for v in nc.variables if nc[v].ndim == 3 and
                   getattr(nc[v], "source_file", "") == name][0]
            seconds = [31557600] + list(nc["period_length"][:])
            text = [open(run / name).readline()]
            for label, secs, grid in zip(labels(nc), seconds, [
                    nc[var.name + "_steady"][:]] + list(var[:])):
                # quon writes zeros where the export says "no data".
                assert (np.isnan(grid) == inactive(run)).all()
                grid = np.where(inactive(run), 0.0, grid)
                s1 = 0.08333333333333333 / secs  # quon's multiplier
                text.append(f"{1:10d}{0:10d}\nINTERNAL {s1:15.8E} (20F9.5)  "
                            f"-1 {label}\n")
                text += ["".join(map(f95, row[k:k + 20])) + "\n"
                         for row in grid for k in range(0, R.NCOL, 20)]
            assert "".join(text) == (run / name).read_text()
        text = [open(run / "quon.wel").readline()]
        counts = [nc["pumping_steady"].well_count] + list(nc["well_count"][:])
        for label, count, grid in zip(labels(nc), counts, [
                nc["pumping_steady"][:]] + list(nc["pumping"][:])):
            rows, cols = np.nonzero(grid)
            assert len(rows) == count
            text.append(f"{count:5d}{-1:3d} {label}\n")
            text += [f"1{r + 1:4d}{c + 1:4d}{grid[r, c]:11.6f}\n"
                     for r, c in zip(rows, cols)]
        assert "".join(text) == (run / "quon.wel").read_text()
        assert len(names) == (4 if run == run4 else 1)


def test_store_grids_to_the_last_bit(run4, run1, exported):
    for run, label, binary in ((run4, "four", False), (run1, "one", True)):
        nc = netCDF4.Dataset(exported / (label + ".nc"))
        for var, ext in (("precipitation", "ppt"), ("irrigated_area", "irr"),
                         ("annual_recharge", "rch")):
            for k, year in enumerate((1949, 1950)):
                path = run / "store" / f"{year}.{ext}"
                want = np.fromfile(path, "<f8", R.NCELL, offset=4) if binary \
                    else np.array(path.read_text().split(), dtype=float)
                assert want.max() > 0
                want = np.where(inactive(run).ravel(), np.nan, want)
                assert nc[var][k].tobytes() == want.tobytes()
                tif = gdal.Open(str(exported / label / f"{var}_{year}.tif"))
                assert tif.ReadAsArray().tobytes() == want.tobytes()
                assert np.isnan(tif.GetRasterBand(1).GetNoDataValue())


def gdalinfo(target):
    return subprocess.run(["gdalinfo", target], capture_output=True,
                          text=True, check=True).stdout


@pytest.mark.parametrize("run,target,crs", [
    ("four", 'NETCDF:"{}/four.nc":recharge_gw_irrigation', True),
    ("four", "{}/four/recharge_sw_irrigation_steady.tif", True),
    ("four", "{}/four/irrigated_area_1950.tif", True),
    ("one", 'NETCDF:"{}/one.nc":pumping', False),
    ("one", "{}/one/annual_recharge_1949.tif", False),
])
def test_gdal_sees_the_georeference(exported, run, target, crs):
    info = gdalinfo(target.format(exported))
    assert "Size is 326, 165" in info
    assert "Origin = (266023.000000000000000,14964006.000000000000000)" in info
    assert "Pixel Size = (5280.000000000000000,-5280.000000000000000)" in info
    assert ('PARAMETER["Longitude of natural origin",-99' in info or
            "longitude_of_central_meridian=-99" in info) == crs
    assert ("Coordinate System is:" in info) == crs
    nc = netCDF4.Dataset(exported / f"{run}.nc")
    assert ("crs_note" in nc.ncattrs()) != crs
    assert all(("grid_mapping" in nc[v].ncattrs()) == crs
               for v in nc.variables if nc[v].ndim >= 2
               and nc[v].dimensions[-1] == "x")


def test_xarray_selects_a_cell_as_the_file_holds_it(run4, exported):
    ds = xr.open_dataset(exported / "four.nc")
    lines = (run4 / "gwirr.rch").read_text().splitlines()
    # June 1950 is period 19: the steady period and 1949 come before it.
    base = 1 + 18 * (2 + R.NROW * 17) + 2
    for r, c in ((80, 160), (100, 50), (60, 250)):
        line = lines[base + (r - 1) * 17 + (c - 1) // 20]
        field = float(line[(c - 1) % 20 * 9:(c - 1) % 20 * 9 + 9])
        got = ds.recharge_gw_irrigation.sel(
            x=266023 + (c - 0.5) * 5280, y=14964006 - (r - 0.5) * 5280,
            time="1950-06")
        assert float(got) == field
    assert ds.soil.flag_meanings == "no_zone sand loam silt clay"
    assert list(ds.ibound.flag_values) == [-1, 0, 1]
    assert ds.subarea.flag_meanings.split()[:2] == ["nonOsken", "NorthFork"]
    assert int(ds.period_length.sel(time="1950-02")) == 28 * 86400
    assert ds.attrs["quon_version"].startswith("1.0.0 (commit ") and \
        ds.attrs["quon_version_from"].endswith("quon --version")
    assert ds.attrs["transient_span"] == "1949-1950"


def test_analysis_by_year_and_no_data(run4, exported):
    """Years select as integers, statistics leave out the inactive cells,
    and counts have units."""
    ds = xr.open_dataset(exported / "four.nc")
    assert ds.year.dtype.kind == "i" and list(ds.year.values) == [1949, 1950]
    ppt = ds.precipitation.sel(year=1950)
    out = inactive(run4)
    assert 0 < out.sum() < out.size
    assert (np.isnan(ppt.values) == out).all()
    assert float(ppt.mean()) == pytest.approx(ppt.values[~out].mean())
    assert str(ds.year_bounds.values[1][0])[:10] == "1950-01-01"
    assert str(ds.time_bounds.values[0][1])[:10] == "1949-02-01"
    assert "MODFLOW never applies" in ds.recharge_precipitation.inactive_cells
    # Pumping is the WEL file's, zeros between the wells included: no cell
    # of it is masked.
    assert not np.isnan(ds.pumping.values).any()
    assert ds.well_count.units == "1"


@pytest.mark.parametrize("crs,warned", [
    (CRS, None),
    ("EPSG:2263", "(75.6°N to 77.5°N, 80.6°W to 64.8°W) lies outside the "
     "area of use of 'NAD83 / New York Long Island (ftUS)' (40.5°N to "
     "41.3°N, 74.3°W to 71.8°W)"),
    ("EPSG:2227", "lies outside the area of use of 'NAD83 / California zone"
     " 3 (ftUS)'"),
])
def test_crs_whose_area_does_not_hold_the_grid_warns(run1, tmp_path, crs,
                                                     warned):
    status, _, err = quon_export(run1 / "quon.par", "-o", tmp_path / "a.nc",
                                 "--crs", crs, "--quon",
                                 os.path.join(BUILD, "quon"))
    assert status == 0
    if warned is None:
        assert err == ""
    else:
        assert err.count("\n") == 1 and err.startswith(
            f"quon-export: {crs}: warning: the grid ")
        assert warned in err


def linked(run, folder, changes):
    """A copy of a run folder of symbolic links, with the parameter file
    lines of the given keywords replaced."""
    for name in os.listdir(run):
        if name != "quon.par":
            os.symlink(run / name, folder / name)
    par = (run / "quon.par").read_text()
    for key, line in changes.items():
        par = re.sub(rf"(?m)^{key} .*$", line, par)
    (folder / "quon.par").write_text(par)


@pytest.mark.parametrize("changes,damage,args,message", [
    ({"RECHARGE": "RECHARGE precip.rch nothere.rch swirr.rch coirr.rch"},
     None, [], "nothere.rch: no such file"),
    ({"RECHARGE": "RECHARGE precip.rch bad.rch swirr.rch coirr.rch"},
     lambda b: b[:len(b) - 1000], [],
     "bad.rch: period '12/1950' ends before its 165 rows"),
    ({"RECHARGE": "RECHARGE precip.rch bad.rch swirr.rch coirr.rch"},
     lambda b: b[:-400] + b"x" + b[-399:], [],
     "bad.rch: period '12/1950': a field is not a number"),
    ({"RECHARGE": "RECHARGE bad.rch gwirr.rch swirr.rch coirr.rch"},
     lambda b: b.replace(b" 3/1949", b" 2/1949"), [],
     "bad.rch: periods repeat or go back in time"),
    ({"WELL": "WELL bad.wel"}, lambda b: b.replace(b" 7/1950", b" 8/1950"),
     [], "bad.wel: period 20 is not '7/1950' as in the RCH files"),
    ({}, None, ["--crs", "EPSG:99999"], "EPSG:99999: a CRS pyproj does not "
     "know"),
    ({}, None, ["--crs", "EPSG:26914"], "EPSG:26914: CRS 'NAD83 / UTM zone "
     "14N' measures in metre; the grid's coordinates are feet"),
])
def test_bad_input_gives_one_line_and_no_file(run4, tmp_path, changes,
                                              damage, args, message):
    linked(run4, tmp_path, changes)
    if damage:
        source = "quon.wel" if "WELL" in changes else "gwirr.rch"
        bad = tmp_path / ("bad.wel" if "WELL" in changes else "bad.rch")
        bad.write_bytes(damage((run4 / source).read_bytes()))
    out = tmp_path / "out"
    out.mkdir()
    (out / "old.nc").write_text("an earlier export")
    status, stdout, stderr = quon_export(tmp_path / "quon.par", "-o",
                                         out / "old.nc", *args)
    assert (status, stdout) == (1, "")
    assert stderr.count("\n") == 1 and stderr.startswith("quon-export: ")
    assert stderr.rstrip().endswith(message)
    assert os.listdir(out) == ["old.nc"]
    assert (out / "old.nc").read_text() == "an earlier export"


def test_wel_reader_takes_any_line_ends(tmp_path):
    text = ("    2 -1  1/1950\n1   1   2 -12.500000\n1 165 326   0.25\n"
            "    1 -1  2/1950\n1   3   4***********\n")
    (tmp_path / "a.wel").write_text(text)
    (tmp_path / "b.wel").write_bytes(("     14000        50 NOPRINT\n" +
                                      text).replace("\n", "\r\n").encode())
    for name in ("a.wel", "b.wel"):
        got = list(R.wel_periods(tmp_path / name))
        assert [g[0] for g in got] == [" 1/1950", " 2/1950"]
        assert list(got[0][1]) == [0, 164] and list(got[0][2]) == [1, 325]
        assert list(got[0][3]) == [-12.5, 0.25] and np.isnan(got[1][3][0])
    (tmp_path / "c.wel").write_text(text[:-21])
    with pytest.raises(R.InputError, match="ends before its 1 well lines"):
        list(R.wel_periods(tmp_path / "c.wel"))


@pytest.mark.parametrize("odd,error", [
    (None, False), ("*********", False), ("1 1.00000", True),
    ("  1.2345 ", False), ("--1.00000", True)])
def test_rch_values_read_fast_as_read_field_by_field(tmp_path, odd, error):
    fields = ["  1.25000", " -0.50000", "-12.34567", "999.99999",
              "  0.00000", " -0.00000", "  0.00001", " 98.76543"]
    values = [fields[k % 8] for k in range(R.NCELL)]
    if odd:
        values[R.NCELL // 2] = odd
    rows = ["".join(values[r * R.NCOL + k:r * R.NCOL + min(k + 20, R.NCOL)])
            for r in range(R.NROW) for k in range(0, R.NCOL, 20)]
    (tmp_path / "a.rch").write_text(
        f"{1:10d}{0:10d}\nINTERNAL  3.11131023E-08 (20F9.5)  -1  1/1950\n" +
        "\n".join(rows) + "\n")
    with R.RchFile(tmp_path / "a.rch") as rch:
        if error:
            with pytest.raises(R.InputError, match="not a number"):
                rch.values(0)
            return
        fast, slow = rch.values(0), rch.period(0)
    assert fast.tobytes() == slow.tobytes()
    assert fast.ravel()[:8].tobytes() == np.array(
        [float(f) for f in fields]).tobytes()


@pytest.mark.parametrize("crs,false_easting", [
    ("EPSG:2263", 984250.0),  # its parameters are in feet already
    ("+proj=utm +zone=14 +datum=NAD83 +units=us-ft", 500000 / 0.3048006096),
])
def test_grid_mapping_gives_false_easting_in_feet(crs, false_easting):
    from quonplot.export import cf_grid_mapping, parse_crs
    cf = cf_grid_mapping(parse_crs(crs))
    assert cf["false_easting"] == pytest.approx(false_easting, rel=1e-9)
    assert cf["false_northing"] == 0.0

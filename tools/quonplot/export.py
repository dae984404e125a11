"""export.py - the quon-export command: a finished run's grids as one CF-1.8
NetCDF-4 file (and on request GeoTIFFs) that GIS tools open in place. It
reads the run's parameter file and the files it names, never changes them,
and writes the NetCDF file under a temporary name that takes the final name
only when the whole file is written. Every fault ends the command with one
line 'quon-export: <file>: <what>' on standard error and exit status 1."""

import datetime
import os
import re
import shutil
import subprocess
import sys

import numpy as np

from . import readers as R

# The source tree, for the project's version number when no quon is found.
TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(
    __file__))))
# North-west corner of the grid: the GeoTIFF origin.
NORTH = R.Y0 + R.NROW * R.CELLSIZE
GEOTRANSFORM = (R.X0, R.CELLSIZE, 0.0, NORTH, 0.0, -R.CELLSIZE)
FOOT = 0.3048  # metres; a US survey foot differs by 2 in a million
COMPRESSION = dict(zlib=True, complevel=1, shuffle=False)

# Names of the RCH files' variables by their place on the RECHARGE line:
# one file holds the sum of the four components, four files one each.
RCH_ONE = ("recharge", "recharge from precipitation and irrigation return")
RCH_FOUR = (("recharge_precipitation", "recharge from precipitation"),
            ("recharge_gw_irrigation", "groundwater-irrigation recharge"),
            ("recharge_sw_irrigation", "surface-water-irrigation recharge"),
            ("recharge_commingled", "commingled-irrigation recharge"))
# The three yearly grids of the FILE store, in the order of its names.
STORE = (("precipitation", "kriged precipitation of the year", "inch year-1"),
         ("irrigated_area", "irrigated area of the cell, at most 640 acres",
          "acre"),
         ("annual_recharge", "recharge rate of the year, before its split "
          "into months", "inch year-1"))
# Zone grids: keyword, variable name, whether the file has a header of
# names, how many characters quon keeps of a name, and the name of zone 0
# (the sub-area files call it "nonOsken").
ZONES = (("ibound", "ibound", False, 16, None),
         ("soil", "soil", True, 16, "no_zone"),
         ("mound", "mound", True, 16, "no_zone"),
         ("terrain", "terrain_class", True, 16, "no_zone"),
         ("budget", "budget_zone", True, 16, "no_zone"),
         ("subarea", "subarea", True, 10, "nonOsken"))


# What the missing values of recharge and the yearly grids mean.
INACTIVE = ("_FillValue (NaN) at the cells the IBOUND grid {} marks 0: "
            "they are outside the model, MODFLOW never applies a value "
            "there (quon's files list these cells all the same)")


def _parser():
    p = R.OneLineParser(
        prog="quon-export",
        description="A finished run's RCH and WEL periods, yearly store "
        "grids and zone grids as one CF NetCDF file, and on request "
        "GeoTIFFs.")
    p.add_argument("par", metavar="PARFILE", help="the run's parameter file; "
                   "the files it names are taken from its folder")
    p.add_argument("-o", dest="out", metavar="OUT.nc", required=True,
                   help="NetCDF file to write (replaced when it exists)")
    p.add_argument("--crs", metavar="CRS", help="the coordinate reference "
                   "system of the grid's feet: EPSG:n, a PROJ string or WKT; "
                   "its unit must be the foot")
    p.add_argument("--geotiff", metavar="DIR", help="folder to write the "
                   "yearly grids and steady arrays into as GeoTIFFs")
    p.add_argument("--quon", metavar="EXE", help="quon program whose "
                   "version to record (default: quon on PATH, else the "
                   "version of this source tree)")
    return p


def parse_crs(text):
    """The pyproj CRS named by text; InputError when pyproj does not know
    it or when it does not measure in feet (the grid's coordinates are
    feet, and a CRS in another unit would misplace every cell)."""
    import pyproj
    try:
        crs = pyproj.CRS.from_user_input(text)
    except pyproj.exceptions.CRSError:
        raise R.InputError(text, "a CRS pyproj does not know") from None
    axes = crs.axis_info
    if not axes or any(abs(a.unit_conversion_factor - FOOT) > 1e-5
                       for a in axes[:2]):
        unit = axes[0].unit_name if axes else "no unit"
        raise R.InputError(text, f"CRS '{crs.name}' measures in {unit}; the "
                           "grid's coordinates are feet")
    return crs


def grid_lonlat(crs):
    """(west, south, east, north) in degrees of the grid's outline as crs
    places it: its edges sampled every tenth of a side, since a projection
    bends them."""
    import pyproj
    to_deg = pyproj.Transformer.from_crs(crs, crs.geodetic_crs,
                                         always_xy=True)
    t = np.linspace(0.0, 1.0, 11)
    xs = R.X0 + R.NCOL * R.CELLSIZE * t
    ys = R.Y0 + R.NROW * R.CELLSIZE * t
    x = np.concatenate([xs, xs, np.full(11, xs[0]), np.full(11, xs[-1])])
    y = np.concatenate([np.full(11, ys[0]), np.full(11, ys[-1]), ys, ys])
    lon, lat = to_deg.transform(x, y)
    return lon.min(), lat.min(), lon.max(), lat.max()


def area_of_use_warning(text, crs):
    """The warning line for a CRS whose area of use (as pyproj knows it)
    does not contain the grid: coordinates in another CRS than the one
    given put the grid far from the model's region, silently. None when
    the grid lies inside, or when pyproj knows no area of use (a PROJ
    string)."""
    area = crs.area_of_use
    if area is None:
        return None
    try:
        west, south, east, north = grid_lonlat(crs)
    except Exception:  # coordinates the CRS cannot take back to degrees
        west = south = east = north = float("nan")
    if west >= area.west and east <= area.east and south >= area.south \
            and north <= area.north:
        return None

    def box(w, s, e, n):
        return f"{_deg(s, 'N', 'S')} to {_deg(n, 'N', 'S')}, " \
            f"{_deg(w, 'E', 'W')} to {_deg(e, 'E', 'W')}"
    grid = box(west, south, east, north)
    return (f"quon-export: {text}: warning: the grid ({grid}) "
            f"lies outside the area of use of '{crs.name}' "
            f"({box(area.west, area.south, area.east, area.north)}); are the "
            "model's coordinates in this CRS?\n")


def _deg(v, pos, neg):
    if not np.isfinite(v):
        return "?"
    return f"{abs(v):.1f}\u00b0{pos if v >= 0 else neg}"


def cf_grid_mapping(crs):
    """The CF grid-mapping attributes of crs. The false easting and northing
    are given in the unit of the coordinates, as CF has them (pyproj gives
    a CRS made from a PROJ string with +units=us-ft its metres)."""
    cf = crs.to_cf()
    unit = crs.axis_info[0].unit_conversion_factor
    for p in crs.coordinate_operation.params if crs.coordinate_operation \
            else []:
        if p.unit_category == "linear" and re.match(
                r"(False|Easting|Northing)", p.name) and \
                p.unit_conversion_factor != unit:
            key = "false_easting" if "ast" in p.name else "false_northing"
            cf[key] = p.value * p.unit_conversion_factor / unit
    return cf


def quon_version(exe=None):
    """(version, where it was found): from 'EXE --version' of the quon
    given or on PATH, else the project's version in CMakeLists.txt."""
    exe = exe or shutil.which("quon")
    if exe:
        try:
            p = subprocess.run([exe, "--version"], capture_output=True,
                               text=True, timeout=30)
        except OSError as e:
            raise R.InputError(exe, e.strerror or "cannot be run") from None
        m = re.fullmatch(r"quon (\S+(?: \(commit \S+\))?)\s*", p.stdout)
        if p.returncode or not m:
            raise R.InputError(exe, "'--version' does not say 'quon "
                               "<version>'")
        return m.group(1), f"{exe} --version"
    cmake = os.path.join(TOP, "CMakeLists.txt")
    try:
        with open(cmake) as f:
            m = re.search(r"project\(quon VERSION ([0-9.]+)", f.read())
    except OSError:
        m = None
    if m:
        return m.group(1), f"project version in {cmake} (no quon program " \
            "found)"
    return "unknown", "no quon program and no source tree found"


def _period_order(label):
    """(year, month) of a transient period label."""
    return int(label[3:7]), int(label[:2])


def _time_axis(labels, path):
    """Transient labels in file order, checked to run forward in time, and
    whether the file starts with a steady period."""
    steady = bool(labels) and labels[0].strip() == "Steady"
    months = labels[1:] if steady else labels
    keys = []
    for label in months:
        if label.startswith("Steady"):
            raise R.InputError(path, "a second steady period (an appended "
                               "file?)")
        if R.period_label(label) != label:
            raise R.InputError(path, f"period '{label.strip()}' is neither "
                               "'Steady' nor a month")
        keys.append(_period_order(label))
    if any(b <= a for a, b in zip(keys, keys[1:])):
        raise R.InputError(path, "periods repeat or go back in time")
    return months, steady


def _next_month(year, month):
    return (year + 1, 1) if month == 12 else (year, month + 1)


def _flag_word(name):
    """A zone name as one flag_meanings word (letters, digits and _-.+@)."""
    if name == "*":
        return "every_cell"
    return re.sub(r"[^A-Za-z0-9_.+@-]", "_", name) or "_"


class Writer:
    """The NetCDF file being written, and the GeoTIFFs that go with it, all
    under temporary names until finish() renames them."""

    def __init__(self, out, crs, geotiff):
        import netCDF4
        self.out, self.crs, self.geotiff = out, crs, geotiff
        folder = os.path.dirname(os.path.abspath(out))
        if not os.path.isdir(folder):
            raise R.InputError(out, "its folder does not exist")
        if geotiff:
            try:
                os.makedirs(geotiff, exist_ok=True)
            except OSError as e:
                raise R.InputError(geotiff, e.strerror or "cannot be made "
                                   "a folder") from None
        self.tmp = os.path.join(folder, f".{os.path.basename(out)}."
                                f"{os.getpid()}.tmp")
        self.tiffs = []  # (temporary name, final name)
        try:
            self.nc = netCDF4.Dataset(self.tmp, "w", format="NETCDF4")
        except OSError as e:
            raise R.InputError(out, f"cannot be written ({e})") from None
        self.nc.set_auto_mask(False)

    def discard(self):
        """Removes every file written so far."""
        try:
            self.nc.close()
        except Exception:
            pass
        for path in [self.tmp] + [t for t, _ in self.tiffs]:
            if os.path.exists(path):
                os.remove(path)

    def finish(self):
        self.nc.close()
        for tmp, final in self.tiffs:
            os.replace(tmp, final)
        os.replace(self.tmp, self.out)

    def grid(self):
        """The x and y axes (cell centres in feet, row 1 the north edge) and
        the grid mapping, or a note that no CRS is claimed."""
        nc = self.nc
        nc.createDimension("x", R.NCOL)
        nc.createDimension("y", R.NROW)
        nc.createDimension("nv", 2)
        unit = "ft"
        if self.crs and "survey" in self.crs.axis_info[0].unit_name.lower():
            unit = "US_survey_foot"
        for axis, n, first, step, what in (
                ("x", R.NCOL, R.X0 + R.CELLSIZE / 2, R.CELLSIZE, "column"),
                ("y", R.NROW, NORTH - R.CELLSIZE / 2, -R.CELLSIZE, "row")):
            v = nc.createVariable(axis, "f8", (axis,))
            v[:] = first + step * np.arange(n)
            v.setncatts({"axis": axis.upper(), "units": unit,
                         "standard_name": f"projection_{axis}_coordinate",
                         "long_name": f"{axis} of the cell centre, model "
                         f"{what} 1 to {n}"})
        if self.crs is None:
            nc.setncattr("crs_note", "x and y are the model's own "
                         "coordinates in feet; no coordinate reference "
                         "system is claimed")
            return
        v = nc.createVariable("crs", "i4", ())
        v.setncatts(cf_grid_mapping(self.crs))
        v.setncattr("spatial_ref", self.crs.to_wkt())

    def variable(self, name, dims, dtype, attrs, fill=False):
        """A compressed data variable, chunked one grid a chunk; fill is its
        _FillValue (False: none)."""
        chunks = tuple(1 if d in ("time", "year") else len(
            self.nc.dimensions[d]) for d in dims)
        v = self.nc.createVariable(name, dtype, dims, chunksizes=chunks,
                                   fill_value=fill, **COMPRESSION)
        # Each chunk is written once and never read back: a cache of one
        # chunk keeps the memory of a long run bounded and small.
        v.set_var_chunk_cache(size=R.NCELL * 8, nelems=7)
        v.setncatts(attrs)
        if self.crs is not None:
            v.setncattr("grid_mapping", "crs")
        return v

    def tiff(self, name, grid, attrs, nodata=None):
        """One grid as a GeoTIFF DIR/name.tif (under a temporary name), with
        nodata as its NoData value when given."""
        if not self.geotiff:
            return
        from osgeo import gdal
        gdal.UseExceptions()
        final = os.path.join(self.geotiff, name + ".tif")
        tmp = f"{final}.{os.getpid()}.tmp"
        self.tiffs.append((tmp, final))
        try:
            ds = gdal.GetDriverByName("GTiff").Create(
                tmp, R.NCOL, R.NROW, 1, gdal.GDT_Float64,
                ["COMPRESS=DEFLATE", "PREDICTOR=3"])
        except RuntimeError as e:
            raise R.InputError(final, f"cannot be written ({e})") from None
        ds.SetGeoTransform(GEOTRANSFORM)
        if self.crs is not None:
            ds.SetProjection(self.crs.to_wkt())
        else:
            ds.SetMetadataItem("crs_note", "model feet, no CRS claimed")
        band = ds.GetRasterBand(1)
        band.SetDescription(attrs["long_name"])
        band.SetMetadata({k: str(v) for k, v in attrs.items()})
        if nodata is not None:
            band.SetNoDataValue(nodata)
        band.WriteArray(grid)
        ds = None  # closes the file


class Export:
    """One export: the parameter file read, the time axes laid out, then
    each kind of grid written in turn."""

    def __init__(self, par):
        self.par = par
        self.folder = os.path.dirname(os.path.abspath(par))
        self.p = R.read_params(par)
        self.years = self.p.transient_years()
        self.w = None  # the Writer, once the inputs are known to be there
        self.rch = []
        self.inactive = None  # cells the IBOUND grid marks 0, when read

    def read_ibound(self):
        """The cells the IBOUND grid marks 0 (none without an IBOUND line,
        or with '*'). MODFLOW leaves them out of the model: recharge and
        the yearly grids there are never applied, and the export marks them
        as missing."""
        name = self.p.ibound
        if not name or name.strip() == "*":
            return
        grid, _ = R.read_zones(self.path(name), False)
        if (grid == 0).any():
            self.inactive = grid == 0

    def masked(self, grid, attrs):
        """grid with NaN at the inactive cells, and the variable's
        attributes and fill value for it."""
        if self.inactive is None:
            return grid, attrs, False
        grid = np.where(self.inactive, np.nan, grid)
        return grid, dict(attrs, inactive_cells=INACTIVE.format(
            self.p.ibound.strip())), np.nan

    def path(self, name):
        """A file name of the parameter file, taken from its folder."""
        return os.path.join(self.folder, name)

    def periods(self):
        """Opens the RCH files and reads the WEL file's labels; lays out the
        time axis from the first of them."""
        for name in self.p.recharge:
            self.rch.append(R.RchFile(self.path(name)))
        self.wel = self.path(self.p.well) if self.p.well else None
        if self.rch:
            source, labels = self.rch[0].path, self.rch[0].labels
        elif self.wel:
            source = self.wel
            labels = [p[0] for p in R.wel_periods(self.wel)]
        else:
            raise R.InputError(self.par, "names no RCH and no WEL file")
        self.labels = labels
        self.months, self.steady = _time_axis(labels, source)
        for rch in self.rch[1:]:
            if rch.labels != labels:
                raise R.InputError(rch.path, "its periods are not those of "
                                   f"{source}")

    def time(self):
        """The transient time axis with its bounds and period lengths, and
        the year axis of the store grids; both in days from January 1 of the
        first year."""
        nc = self.w.nc
        first = [_period_order(m)[0] for m in self.months[:1]] + self.years
        epoch = datetime.date(min(first) if first else 1970, 1, 1)
        units = f"days since {epoch.isoformat()} 00:00:00"

        def axis(name, starts, ends, what):
            nc.createDimension(name, len(starts))
            v = nc.createVariable(name, "f8", (name,))
            b = nc.createVariable(name + "_bounds", "f8", (name, "nv"))
            v.setncatts({"axis": "T", "standard_name": "time", "units": units,
                         "calendar": "standard", "bounds": name + "_bounds",
                         "long_name": what})
            v[:] = [(d - epoch).days for d in starts]
            b[:] = [[(d - epoch).days for d in p] for p in zip(starts, ends)]
        months = [_period_order(m) for m in self.months]
        axis("time", [datetime.date(y, m, 1) for y, m in months],
             [datetime.date(*_next_month(y, m), 1) for y, m in months],
             "start of the transient stress period")
        # The years are plain integers, so that ds.sel(year=1951) finds
        # one; their bounds stay the days of January 1 to January 1.
        nc.createDimension("year", len(self.years))
        v = nc.createVariable("year", "i4", ("year",))
        v.setncatts({"long_name": "transient year of the yearly grids",
                     "comment": "calendar year; year_bounds gives its "
                     "start and end as days"})
        v[:] = self.years
        b = nc.createVariable("year_bounds", "f8", ("year", "nv"))
        b.setncatts({"units": units, "calendar": "standard",
                     "long_name": "start and end of the year"})
        b[:] = [[(datetime.date(y + d, 1, 1) - epoch).days for d in (0, 1)]
                for y in self.years]
        seconds = nc.createVariable("period_length", "i4", ("time",))
        seconds.setncatts({"units": "s", "long_name": "length of the stress "
                           "period as quon counts it (February of every year "
                           "divisible by 4 has 29 days, 2100 too)"})
        seconds[:] = [R.period_seconds(m) for m in self.months]

    def _rch_variables(self):
        names = [RCH_ONE] if len(self.rch) == 1 else RCH_FOUR
        out = []
        for rch, (name, what), file in zip(self.rch, names, self.p.recharge):
            attrs = {"units": "inch", "source_file": file,
                     "long_name": f"{what}: inches of water over the cell "
                     "in the period, as the RCH file holds them",
                     "comment": "MODFLOW takes value / (12 * period_length) "
                     "as the rate in ft s-1 (the array control record's "
                     "multiplier); NaN where the file shows asterisks"}
            _, attrs, fill = self.masked(None, attrs)
            v = self.w.variable(name, ("time", "y", "x"), "f8",
                                dict(attrs, cell_methods="time: sum"), fill)
            s = None
            steady = dict(attrs, long_name=attrs["long_name"].replace(
                "the period", "the steady period (365.25 days)"))
            if self.steady:
                s = self.w.variable(name + "_steady", ("y", "x"), "f8",
                                    steady, fill)
            out.append((rch, v, s, steady))
        return out

    def _wel_variables(self):
        self.wel_attrs = attrs = {
            "units": "ft3 s-1", "source_file": self.p.well,
            "long_name": "pumping rate of the cell as the WEL file gives it: "
            "cubic feet per second, withdrawal negative, 0 where no well is "
            "listed", "comment": "NaN where the file shows asterisks; every "
            "well of the WEL file is kept, also in inactive cells"}
        v = self.w.variable("pumping", ("time", "y", "x"), "f8",
                            dict(attrs, cell_methods="time: mean"))
        n = self.w.nc.createVariable("well_count", "i4", ("time",))
        n.setncatts({"long_name": "wells the WEL file lists in the period",
                     "units": "1"})
        s = None
        if self.steady:
            s = self.w.variable("pumping_steady", ("y", "x"), "f8", dict(
                attrs, long_name=attrs["long_name"] + ", steady period"))
        return v, n, s

    def stress_periods(self):
        """Every period of every RCH file and of the WEL file, one period at
        a time; the steady arrays also as GeoTIFFs. The WEL file's periods
        must be those of the RCH files."""
        rch = self._rch_variables()
        wel = iter(R.wel_periods(self.wel)) if self.wel else None
        if wel:
            pumping, counts, pumping_steady = self._wel_variables()
        grid = np.zeros((R.NROW, R.NCOL))
        for k, label in enumerate(self.labels):
            t = k - 1 if self.steady else k
            for f, v, s, steady in rch:
                values, _, fill = self.masked(f.values(k), {})
                if t < 0:
                    s[:] = values
                    self.w.tiff(s.name, values, steady,
                                None if fill is False else fill)
                else:
                    v[t] = values
            if not wel:
                continue
            got = next(wel, None)
            if got is None or got[0] != label:
                raise R.InputError(self.wel, f"period {k + 1} is not "
                                   f"'{label.strip()}' as in the RCH files"
                                   if got else "ends before period "
                                   f"'{label.strip()}' of the RCH files")
            _, rows, cols, rates = got
            grid[:] = 0.0
            np.add.at(grid, (rows, cols), rates)
            if t < 0:
                pumping_steady[:] = grid
                pumping_steady.setncattr("well_count", np.int32(len(rates)))
                self.w.tiff("pumping_steady", grid, self.wel_attrs)
            else:
                pumping[t] = grid
                counts[t] = len(rates)
        if wel and next(wel, None) is not None:
            raise R.InputError(self.wel, "holds more periods than the RCH "
                               "files")

    def store(self):
        """The FILE store's yearly grids at full precision. quon writes no
        file for an all-zero grid, so a missing year is zeros; the variable
        names such years."""
        if not self.p.store:
            self.w.nc.setncattr("store_note", "the run stored no yearly "
                                "grids (no FILE line)")
            return
        folder, names = self.p.store[0].rstrip() or " ", self.p.store[1:]
        for (var, what, units), name in zip(STORE, names):
            name = name.rstrip()
            attrs = {"units": units, "long_name": what, "source_files":
                     f"{folder}/<year>.{name}"}
            _, attrs, fill = self.masked(None, attrs)
            v = self.w.variable(var, ("year", "y", "x"), "f8", attrs, fill)
            missing = []
            for k, year in enumerate(self.years):
                path = self.path(os.path.join(folder, f"{year:4d}.{name}"))
                if os.path.exists(path):
                    grid = R.read_grid(path)
                else:
                    grid = np.zeros((R.NROW, R.NCOL))
                    missing.append(str(year))
                grid, _, _ = self.masked(grid, {})
                v[k] = grid
                self.w.tiff(f"{var}_{year}", grid, attrs,
                            None if fill is False else fill)
            if missing:
                v.setncattr("years_without_file", " ".join(missing))
            if self.years and len(missing) == len(self.years):
                sys.stderr.write(f"quon-export: {folder}/<year>.{name}: no "
                                 "file for any year; exported as zeros\n")

    def zones(self):
        """The zone grids the run read, with their names as flags."""
        p = self.p
        files = {"ibound": p.ibound, "soil": p.soil, "mound": p.mound,
                 "terrain": p.terrain[0] if p.terrain else None,
                 "budget": p.budget[0] if p.budget else None,
                 "subarea": p.budget[1] if p.budget else None}
        for key, var, header, keep, zero in ZONES:
            name = files[key]
            if not name:
                continue
            grid, names = R.read_zones(
                name if name.strip() == "*" else self.path(name), header)
            if header:
                values = np.arange(len(names) + 1)
                words = [zero] + [_flag_word(n[:keep].rstrip())
                                  for n in names]
            else:
                values = np.unique(grid)
                words = ["inactive" if c == 0 else
                         "active" if c == 1 else f"active_{c}" if c > 0 else
                         "constant_head" if c == -1 else f"constant_head_{-c}"
                         for c in values]
            v = self.w.variable(var, ("y", "x"), "i4", {
                "long_name": f"{key} zone grid", "source_file": name,
                "flag_values": values.astype(np.int32),
                "flag_meanings": " ".join(words)})
            v[:] = grid

    def attributes(self, version, args):
        p, nc = self.p, self.w.nc
        span = (lambda s: f"{s[0]}-{s[1]}" if s and s[0] > 0 else "none")
        now = datetime.datetime.now(datetime.timezone.utc).strftime(
            "%Y-%m-%dT%H:%M:%SZ")
        nc.setncatts({
            "Conventions": "CF-1.8",
            "title": f"quon run {os.path.basename(self.par)}: recharge, "
                     "pumping and yearly grids",
            "source": f"quon {version[0]}",
            "quon_version": version[0], "quon_version_from": version[1],
            "parameter_file": os.path.abspath(self.par),
            "steady_span": span(p.steady), "transient_span": span(p.transient),
            "date_created": now,
            "history": f"{now} quon-export {' '.join(args)}"})


def export(a, argv):
    crs = parse_crs(a.crs) if a.crs else None
    if crs is not None:
        warning = area_of_use_warning(a.crs, crs)
        if warning:
            sys.stderr.write(warning)
    if not os.path.isfile(a.par):
        raise R.InputError(a.par, "no such file")
    version = quon_version(a.quon)
    e = Export(a.par)
    try:
        e.periods()
        e.read_ibound()
        for source in [a.par, e.wel] + [r.path for r in e.rch]:
            if source and os.path.exists(source) and os.path.exists(a.out) \
                    and os.path.samefile(source, a.out):
                raise R.InputError(a.out, "is a file of the run; choose "
                                   "another -o")
        e.w = w = Writer(a.out, crs, a.geotiff)
        w.grid()
        e.time()
        e.stress_periods()
        e.store()
        e.zones()
        e.attributes(version, argv)
        w.finish()
    except BaseException:
        if e.w:
            e.w.discard()
        raise
    finally:
        for rch in e.rch:
            rch.close()


def main(argv):
    a = _parser().parse_args(argv)

    def run():
        export(a, argv)
        return a.out
    return R.run_command("quon-export", run, a.par)

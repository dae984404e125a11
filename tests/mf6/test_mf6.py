"""test_mf6.py - quon's MODFLOW 6 files through mf6 and FloPy: budgets by
package against quon's MODFLOW-2005 files, DAYS against seconds, saved
flows, the states' observations, FloPy's load and round trip, quon-mf6
--into a 3-layer model, and quon-mf6's faults as one line each."""

import csv
import filecmp
import os
import shutil
import subprocess

import numpy as np
import pytest

from conftest import HOLE, MONTH, TOP, mf6_binary, flopy_module, quon, quon_mf6
from quonplot import readers as rd

PACKAGES = ("PRECIP", "GWIRR", "SWIRR", "COIRR")


def rows_of(path):
    with open(path) as f:
        return list(csv.DictReader(f))


def test_modflow2005_files_stay_byte_for_byte(plain, seconds, days):
    names = ["quon.wel", "precip.rch", "gwirr.rch", "swirr.rch",
             "coirr.rch", "fort.2"]
    for run in (seconds, days):
        match, bad, err = filecmp.cmpfiles(plain, run, names, shallow=False)
        assert bad == [] and err == [], run


def test_wells_by_state(scenario, seconds):
    """The cell pumped by two states has one line per state; their rates
    add up to the MODFLOW-2005 line's."""
    (r, c) = scenario[1]
    text = open(seconds / "mf6" / "m.wel").read()
    block = text.split("BEGIN PERIOD ")[8]  # Steady, January .. July
    assert "# 7/1950:" in block
    lines = [l.split() for l in block.splitlines()
             if l.split()[1:3] == [str(r), str(c)]]
    assert sorted(l[4] for l in lines) == ["co", "ks"]
    for label, rows, cols, rates in rd.wel_periods(seconds / "quon.wel"):
        if label.strip() == "7/1950":
            at = (rows == r - 1) & (cols == c - 1)
            assert sum(float(l[3]) for l in lines) == \
                pytest.approx(float(rates[at][0]), abs=2e-6)


def test_own_simulation_budgets_days_and_states(own_runs):
    """quon-mf6 --mf6 checked each run by package (fixture); here DAYS
    against seconds, the saved flows and the observations by state."""
    sec, day = own_runs
    s, d = rows_of(sec / "model.budget.csv"), rows_of(day / "model.budget.csv")
    assert len(s) == len(d) == 13
    for a, b in zip(s, d):
        for name in PACKAGES:
            for side in ("IN", "OUT"):
                x = float(a[f"RCHA({name})_{side}"]) * 86400
                y = float(b[f"RCHA(P_{name})_{side}"])
                assert y == pytest.approx(x, rel=1e-9, abs=1e-300)
        x = float(a["WEL(WEL)_OUT"]) * 86400
        assert float(b["WEL(P_WEL)_OUT"]) == pytest.approx(x, rel=1e-9)

    # The observations: the three states add up to WEL every time step.
    for folder, prefix, budget in ((sec, "", s), (day, "P_", d)):
        obs = rows_of(folder / "m.wel.obs.csv")
        assert len(obs) == 13
        for o, b in zip(obs, budget):
            total = sum(float(o[f"{prefix}WEL_{st}"]) for st in
                        ("CO", "KS", "NE"))
            want = float(b[f"WEL({prefix}WEL)_IN"]) - \
                float(b[f"WEL({prefix}WEL)_OUT"])
            assert total == pytest.approx(want, rel=1e-12)
            assert float(o[f"{prefix}WEL_CO"]) < 0

    # IRCHCB and IWELCB are 50: the budget file holds each package's flows
    # every period (text RCHA / WEL, the package name as 4th name).
    cbc = open(sec / "model.cbc", "rb").read()
    assert cbc.count(b"            RCHA") == 13 * len(PACKAGES)
    for name in PACKAGES:
        assert cbc.count(name.encode().ljust(16)) == 13
    assert cbc.count(b"             WEL") == 13


@pytest.fixture(scope="session")
def own_simulation(seconds):
    """quon-mf6's own simulation around the seconds run, not run."""
    status, out, err = quon_mf6(seconds)
    assert status == 0, err
    return seconds / "mf6"


def test_flopy_reads_every_period(own_simulation, seconds):
    """Every period of every package as the files hold them."""
    flopy = flopy_module()
    sim = flopy.mf6.MFSimulation.load(sim_ws=str(own_simulation),
                                      verbosity_level=0)
    model = sim.get_model()
    periods = sim.get_package("tdis").perioddata.get_data()
    assert len(periods) == 13
    assert [p[0] for p in periods] == [31557600.0, 2678400.0, 2419200.0] + \
        [float(rd.period_seconds(f"{m:2d}/1950")) for m in range(3, 13)]
    for name, path in zip(PACKAGES, ("precip.rch", "gwirr.rch", "swirr.rch",
                                     "coirr.rch")):
        pkg = model.get_package(name.lower())
        with rd.RchFile(seconds / path) as f:
            assert len(f.labels) == 13
            for k in range(13):
                want = f.values(k) * f.factors[k]
                np.testing.assert_allclose(pkg.recharge.get_data(key=k),
                                           want, rtol=1e-15, atol=0)
    wel = model.get_package("wel").stress_period_data.get_data()
    assert sorted(wel) == list(range(13))
    for k, (label, rows, cols, rates) in enumerate(
            rd.wel_periods(seconds / "quon.wel")):
        got = {}
        for (lay, r, c), q, state in wel[k]:
            got[(r, c)] = got.get((r, c), 0.0) + q
        want = {(r, c): q for r, c, q in zip(rows, cols, rates)}
        assert got.keys() == want.keys(), label
        for cell, q in want.items():
            assert got[cell] == pytest.approx(q, abs=2e-6)



def test_flopy_reads_the_layers_and_days(days):
    """IRCH in every RCH package and the wells' layers as the grid has
    them; the time unit."""
    flopy = flopy_module()
    assert quon_mf6(days)[0] == 0
    sim = flopy.mf6.MFSimulation.load(sim_ws=str(days / "mf6"),
                                      verbosity_level=0)
    assert sim.get_package("tdis").time_units.get_data() == "days"
    model = sim.get_model()
    want = np.ones((rd.NROW, rd.NCOL), int)
    want[HOLE] = 2
    for name in PACKAGES:
        irch = model.get_package(f"p_{name.lower()}").irch.get_data(key=0)
        assert (irch + 1 == want).all(), name
    wells = model.get_package("p_wel").stress_period_data.get_data()
    assert len(wells) == 13
    for block in wells.values():
        for (lay, r, c), q, state in block:
            assert lay + 1 == want[r, c] and state in ("co", "ks", "ne")


def test_flopy_round_trip(tmp_path, own_runs):
    """Loaded, written elsewhere by FloPy and run: the same budgets."""
    flopy = flopy_module()
    exe = mf6_binary()
    sim = flopy.mf6.MFSimulation.load(sim_ws=str(own_runs[0]),
                                      verbosity_level=0)
    out = tmp_path / "flopy"
    sim.set_sim_path(str(out))
    sim.write_simulation(silent=True)
    p = subprocess.run([exe], cwd=out, capture_output=True, text=True)
    assert p.returncode == 0, p.stdout[-2000:]
    a = rows_of(own_runs[0] / "model.budget.csv")
    b = rows_of(out / "model.budget.csv")
    assert len(a) == len(b) == 13
    for x, y in zip(a, b):
        for key in x:
            if key.startswith(("RCHA", "WEL")):
                assert float(y[key]) == pytest.approx(float(x[key]),
                                                      rel=1e-12), key


@pytest.fixture(scope="session")
def model(tmp_path_factory, scenario):
    """The example's 3-layer model, for quon-mf6 --into."""
    sim = tmp_path_factory.mktemp("sim") / "sim"
    subprocess.run(["/usr/bin/python3", os.path.join(
        TOP, "examples", "mf6", "make_model.py"), str(scenario[0]),
        str(sim)], check=True, stdout=subprocess.DEVNULL)
    return sim


def test_into_a_three_layer_model(tmp_path, model, seconds, days, scenario):
    sim = tmp_path / "sim"
    shutil.copytree(model, sim)
    before = {n: open(sim / n).read() for n in os.listdir(sim)}

    # quon's WEL against the model's own: refused, pointing at PREFIX.
    status, out, err = quon_mf6("--into", sim, seconds)
    assert status == 1 and "package name WEL is already the model's" in err \
        and "PREFIX" in err and len(err.splitlines()) == 1

    # Recharge and wells in layer 1 under its inactive block: counted, the
    # top-layer grid written, the wells refused (mf6 would stop).
    run = tmp_path / "run"
    shutil.copytree(scenario[0], run)
    (run / "mf6").mkdir()
    with open(run / "quon.par", "a") as f:
        f.write("MF6 mf6/m DAYS PREFIX P_\n")
    assert quon(run).returncode == 0
    status, out, err = quon_mf6("--into", sim, run)
    assert status == 1
    assert "cells receive recharge where layer 1 is inactive" in out
    assert "WELLAYER" in err and len(err.splitlines()) == 1
    top = np.loadtxt(sim / "quon-top-layer.txt", dtype=int)
    want = np.ones((rd.NROW, rd.NCOL), int)
    want[HOLE] = 2
    ibound, _ = rd.read_zones(run / "ibound.zon", header=False)
    assert (top[ibound > 0] == want[ibound > 0]).all()
    assert {n: open(sim / n).read() for n in before} == before

    # With the layers: in, run, budget by package as quon's files (the
    # held and inactive cells left out) and the states adding up.
    if os.environ.get("QUON_MF6"):
        status, out, err = quon_mf6("--into", sim, "--mf6", mf6_binary(),
                                    days)
    else:
        status, out, err = quon_mf6("--into", sim, days)
    assert status == 0, out + err
    nam = open(sim / "basin.nam").read()
    assert "  WEL6  basin.wel  WEL" in nam and "  WEL6  m.wel  P_WEL" in nam
    assert "  RCH6  m-precip.rch  P_PRECIP" in nam
    assert "TDIS6  m.tdis" in open(sim / "mfsim.nam").read()
    sto = open(sim / "basin.sto").read()
    assert sto.count("BEGIN PERIOD") == 2 and "STEADY-STATE" in sto and \
        "TRANSIENT" in sto
    for n in ("mfsim.nam", "basin.nam", "basin.sto"):
        assert open(sim / f"{n}.before-quon").read() == before[n]
    for n in ("basin.dis", "basin.wel", "basin.chd", "basin.ghb"):
        assert open(sim / n).read() == before[n]
    # Again: nothing doubled, the first copies kept.
    assert quon_mf6("--into", sim, days)[0] == 0
    assert open(sim / "basin.nam").read() == nam
    assert open(sim / "mfsim.nam.before-quon").read() == before["mfsim.nam"]
    if not os.environ.get("QUON_MF6"):
        pytest.skip("QUON_MF6 does not name an mf6 binary: model not run")
    assert "largest relative difference" in out


def test_failures_are_one_line(tmp_path, model, scenario, seconds, days):
    """Faults as one line 'quon-mf6: file: what', status 1 (2 usage); no
    file of the run written, also through a link."""
    sim = tmp_path / "sim"
    shutil.copytree(model, sim)
    dis = sim / "basin.dis"
    # --into would copy quon's TDIS over the run's record.
    os.symlink(days / "fort.2", sim / "m.tdis")
    broken = tmp_path / "broken"  # a run whose files are damaged per case
    shutil.copytree(seconds, broken, symlinks=True)
    linked = tmp_path / "linked"  # the own simulation's name file a link
    shutil.copytree(seconds, linked, symlinks=True)
    if os.path.lexists(linked / "mf6" / "mfsim.nam"):
        os.remove(linked / "mf6" / "mfsim.nam")
    os.symlink(f"../co/{MONTH}.pmp", linked / "mf6" / "mfsim.nam")
    bare = tmp_path / "bare"  # an MF6 line, quon not run
    shutil.copytree(scenario[0], bare)
    with open(bare / "quon.par", "a") as f:
        f.write("MF6 m\n")
    clash = tmp_path / "clash"  # the IBOUND grid named model.dis
    shutil.copytree(scenario[0], clash)
    os.rename(clash / "ibound.zon", clash / "model.dis")
    par = open(clash / "quon.par").read().replace("IBOUND ibound.zon",
                                                   "IBOUND model.dis")
    open(clash / "quon.par", "w").write(par + "MF6 m\n")
    assert quon(clash).returncode == 0

    into = ("--into", sim, seconds)
    packages = broken / "mf6" / "m.packages"
    cases = [  # (arguments, (file, text, edited text), status, message)
        ((), None, 2, "the following arguments are required"),
        (("--model", "X", seconds), None, 2, "--model goes with --into"),
        ((tmp_path / "none",), None, 1, "none: no such folder"),
        ((scenario[0],), None, 1, "quon.par: no MF6 line"),
        ((bare,), None, 1, "m.packages: no such file"),
        (("--mf6", "/nonexistent/mf6", seconds), None, 1,
         "/nonexistent/mf6: no such program"),
        ((clash,), None, 1, "model.dis: is a file the run reads"),
        ((linked,), None, 1, "mfsim.nam: is a file the run reads ("
         f"{linked}/co/{MONTH}.pmp)"),
        (("--into", sim, days), None, 1, "m.tdis: is a file the run writes"),
        (("--quon", tmp_path / "nothere", seconds), None, 1,
         "nothere: no such program (--quon)"),
        (into, (dis, "NCOL 326", "NCOL 300"), 1,
         "basin.dis: NCOL is 300, quon's grid has 326"),
        (into, (dis, "DELR\n    CONSTANT 5280.0", "DELR\n    CONSTANT "
                "5000.0"), 1,
         "basin.dis: DELR is 5000 at cell 1, quon's cells are 5280 ft"),
        (into, (dis, "LENGTH_UNITS feet", "LENGTH_UNITS meters"), 1,
         "basin.dis: LENGTH_UNITS is meters, quon's grid is in feet"),
        (("--into", tmp_path, seconds), None, 1, "mfsim.nam: no such file"),
        # Broken files of the run: one line, no traceback.
        ((broken,), (packages, "WEL6", "WELL6"), 1,
         "m.packages: not a package list of quon"),
        ((broken,), (broken / "ibound.zon", "", "x"), 1,
         "ibound.zon: row 1 holds a field that is not"),
        ((broken,), (broken / "quon.par", "MF6 mf6/m", "MF6 mf6/m IRCH "
                     "nothere.txt"), 1, "nothere.txt: no such file"),
    ]
    targets = (days / "fort.2", clash / "model.dis",
               linked / "co" / f"{MONTH}.pmp")
    before = [t.read_bytes() for t in targets]
    for args, change, status, text in cases:
        if change:
            kept = open(change[0]).read()
            open(change[0], "w").write(change[2] + kept if not change[1]
                                       else kept.replace(*change[1:]))
        got, out, err = quon_mf6(*args)
        if change:
            open(change[0], "w").write(kept)
        assert (got, len(err.splitlines())) == (status, 1), (args, err)
        assert err.startswith("quon-mf6: ") and text in err, (args, err)
        assert "Traceback" not in err
    assert [t.read_bytes() for t in targets] == before
    assert not [n for n in os.listdir(sim) if n.endswith(".tmp")]

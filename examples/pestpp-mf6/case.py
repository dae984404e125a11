#!/usr/bin/python3
"""case.py - the calibration case of the example, in a working folder that
holds a quon run made by gen_scenario (setup.sh makes it):

  case.py templates WORK   the templates quon.tpl and terrain.tpl from the
                           run's quon.par and terrain.dat, truth.csv, and
                           quon.par and terrain.dat filled with the truth
  case.py layers WORK GRID recharge and wells of quon.tpl and quon.par on
                           the layers of GRID (MF6 options IRCH, WELLAYER)
  case.py observe WORK MF6 observation wells in the simulation WORK/sim (an
                           OBS package of heads), one run of mf6 there with
                           the truth, measured heads with noise, the
                           instruction file heads.ins and the control file
                           case.pst

The settings are the STEADY precipitation multiplier and the terrain
multiplier of each of the three terrain classes (one value at every terrain
location, so the class's kriged grid is that value).
"""
import csv
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)),
                                "tools"))

import numpy as np  # noqa: E402
from quonplot import mf6files as qm6  # noqa: E402

# name, truth, prior mean, lower and upper bound, what it is (for the
# reader). PEST++ takes the prior of a log-transformed parameter as normal in
# log10 around the mean with a standard deviation of a quarter of the log10
# range; every truth lies about one standard deviation from its prior mean.
PARAMETERS = (
    ("stm", 1.30, 1.00, 0.55, 1.80, "STEADY precipitation multiplier"),
    ("tflat", 0.80, 1.05, 0.55, 2.00, "terrain multiplier, flat"),
    ("troll", 1.25, 0.95, 0.50, 1.80, "terrain multiplier, rolling"),
    ("tdiss", 0.65, 0.90, 0.45, 1.80, "terrain multiplier, dissected"),
)
TERRAIN_PARS = ("tflat", "troll", "tdiss")
FIELD = 14  # template field width: digits enough for every parameter value
LIMIT = "LIMIT 0.2 3.0"  # terrain clipping outside every prior value
# quon's MODFLOW 6 files go straight into the simulation folder; the model
# of examples/mf6 works in days and has a WEL package of its own named WEL.
MF6_LINE = "MF6 sim/quon DAYS PREFIX Q_"

LAYERS = 3  # observed, from the top
WELLS_PER_LAYER = 10
HELD_DISTANCE = 8  # cells between an observation well and a held head
# Periods observed: steady, ends of March, June, September, December. quon's
# TDIS gives every period one time step: row k of the OBS output is period k.
OBS_PERIODS = (1, 4, 7, 10, 13)
NOISE_SD = 0.05  # ft, standard deviation of the measurement noise
SEED = 2026  # of the wells and the noise
REALIZATIONS = 12
ITERATIONS = 3
PESTPP_SEED = 358183147


def field(name):
    return "~" + f" {name}".ljust(FIELD - 2) + "~"


def fill(template, values):
    """The file PEST++ writes from a template: each field replaced by its
    value, as wide as the field."""
    lines = template.split("\n")
    marker = lines[0].split()[1]
    body = "\n".join(lines[1:])
    parts = body.split(marker)
    for k in range(1, len(parts), 2):
        parts[k] = f"{values[parts[k].strip()]:.8g}".rjust(FIELD)
    return "".join(parts)


def templates(work):
    par = open(os.path.join(work, "quon.par")).read().split("\n")
    out = []
    for line in par:
        word = line.split()[0].upper() if line.split() else ""
        if word in ("ANNPUMP", "FILE"):
            continue  # side outputs that nothing reads here
        if word == "STEADY":
            w = line.split()
            line = f"{w[0]} {w[1]} {w[2]} {field('stm')}"
        elif word == "TERRAIN":
            w = line.split()
            line = " ".join(w[:4]) + " " + LIMIT
        elif word == "BUDGET":
            line = " ".join(line.split()[:2])  # no sub-area files
        out.append(line)
    out.append(MF6_LINE)
    quon_tpl = "ptf ~\n" + "\n".join(out).rstrip("\n") + "\n"

    terrain = open(os.path.join(work, "terrain.dat")).read().split("\n")
    header = terrain[0].split()
    if len(header) != 2 + len(TERRAIN_PARS):
        raise SystemExit(f"case.py: terrain.dat: {len(header) - 2} classes,"
                         f" not {len(TERRAIN_PARS)}")
    rows = [" ".join(line.split()[:2] + [field(p) for p in TERRAIN_PARS])
            for line in terrain[1:] if line.split()]
    terrain_tpl = "ptf ~\n" + "\n".join([terrain[0]] + rows) + "\n"

    truth = {p[0]: p[1] for p in PARAMETERS}
    for name, text in (("quon.tpl", quon_tpl), ("terrain.tpl", terrain_tpl)):
        open(os.path.join(work, name), "w").write(text)
        target = "quon.par" if name == "quon.tpl" else "terrain.dat"
        open(os.path.join(work, target), "w").write(fill(text, truth))
    with open(os.path.join(work, "truth.csv"), "w") as f:
        f.write("parameter,value\n")
        for p in PARAMETERS:
            f.write(f"{p[0]},{p[1]}\n")


def layers(work, grid):
    for name in ("quon.tpl", "quon.par"):
        path = os.path.join(work, name)
        text = open(path).read().replace(
            MF6_LINE, f"{MF6_LINE} IRCH {grid} WELLAYER {grid}")
        open(path, "w").write(text)


def model_grid(sim):
    """The simulation's groundwater flow model: its name file, its active
    cells (layers, rows, columns) and its cells held at a constant head."""
    models = [e for e in qm6.name_entries(os.path.join(sim, "mfsim.nam"),
                                          "MODELS") if e[0] == "GWF6"]
    if not models:
        raise SystemExit(f"case.py: {sim}/mfsim.nam names no GWF6 model")
    nam = os.path.join(sim, models[0][1])
    packages = qm6.name_entries(nam, "PACKAGES")
    dis = [e[1] for e in packages if e[0] == "DIS6"]
    grid = qm6.Dis(os.path.join(sim, dis[0]), sim)
    held = np.zeros(grid.idomain.shape, bool)
    for e in packages:
        if e[0] == "CHD6":
            held |= qm6.held_in(os.path.join(sim, e[1]), sim, grid.nlay)
    return nam, grid.idomain > 0, held


def pick_wells(active, held, rng):
    """Observation wells: in each layer WELLS_PER_LAYER distinct active
    cells at least HELD_DISTANCE cells from a held head, as (name, layer,
    row, column)."""
    near = np.argwhere(held.any(axis=0))
    wells = []
    for lay in range(min(LAYERS, active.shape[0])):
        cells = np.argwhere(active[lay] & ~held.any(axis=0))
        far = np.abs(cells[:, None, :] - near[None, :, :]).max(axis=2).min(
            axis=1) >= HELD_DISTANCE
        cells = cells[far]
        for r, c in cells[rng.choice(len(cells), WELLS_PER_LAYER,
                                     replace=False)]:
            wells.append((f"w{len(wells) + 1:02d}l{lay + 1}", lay + 1, r + 1,
                          c + 1))
    return wells


def observe(work, mf6):
    sim = os.path.join(work, "sim")
    rng = np.random.default_rng(SEED)
    nam, active, held = model_grid(sim)
    wells = pick_wells(active, held, rng)
    with open(os.path.join(sim, "heads.obs"), "w") as f:
        f.write("BEGIN OPTIONS\n  DIGITS 10\nEND OPTIONS\n\n"
                "BEGIN CONTINUOUS FILEOUT heads.csv\n")
        for name, lay, row, col in wells:
            f.write(f"  {name} HEAD {lay} {row} {col}\n")
        f.write("END CONTINUOUS\n")
    # The heads of the wells join the model's name file.
    text = open(nam).read()
    if "heads.obs" not in text:
        text = re.sub(r"(\n\s*END PACKAGES)", r"\n  OBS6  heads.obs\1", text,
                      count=1, flags=re.I)
    open(nam, "w").write(text)

    done = subprocess.run([mf6], cwd=sim, capture_output=True, text=True)
    listing = open(os.path.join(sim, "mfsim.lst")).read()
    if done.returncode != 0 or "Normal termination" not in listing:
        raise SystemExit(f"case.py: {mf6} ended with status "
                         f"{done.returncode} in {sim}")
    with open(os.path.join(sim, "heads.csv")) as f:
        rows = list(csv.reader(f))
    header, rows = rows[0], rows[1:]
    if max(OBS_PERIODS) > len(rows):
        raise SystemExit(f"case.py: {len(rows)} time steps in heads.csv, "
                         f"fewer than period {max(OBS_PERIODS)}")
    names = [w[0].upper() for w in wells]
    if header[1:] != names:
        raise SystemExit("case.py: heads.csv columns are not the wells")

    obs = []  # (name, true head, measured head)
    for per in OBS_PERIODS:
        for k, w in enumerate(wells):
            true = float(rows[per - 1][k + 1])
            obs.append((f"{w[0]}_p{per:02d}", true,
                        true + rng.normal(0.0, NOISE_SD)))

    # One line per time step; the wells' values follow the time, each after
    # a comma.
    ins = ["pif ~"]
    line = 0  # before the header
    for per in OBS_PERIODS:
        fields = " ".join(f"~,~ !{w[0]}_p{per:02d}!" for w in wells)
        ins.append(f"l{per + 1 - line} {fields}")
        line = per + 1
    open(os.path.join(work, "heads.ins"), "w").write("\n".join(ins) + "\n")

    with open(os.path.join(work, "wells.csv"), "w") as f:
        f.write("well,layer,row,column\n")
        for w in wells:
            f.write(",".join(map(str, w)) + "\n")
    with open(os.path.join(work, "measured.csv"), "w") as f:
        f.write("observation,true_ft,measured_ft\n")
        for name, true, meas in obs:
            f.write(f"{name},{true:.6f},{meas:.6f}\n")
    write_pst(work, obs)


def write_pst(work, obs):
    pars = "\n".join(
        f"{name} log factor {mean:.6g} {lo:.6g} {hi:.6g} recharge 1.0 0.0 1"
        for name, _, mean, lo, hi, _ in PARAMETERS)
    data = "\n".join(f"{name} {meas:.6f} {1.0 / NOISE_SD:.6g} heads"
                     for name, _, meas in obs)
    text = f"""pcf
* control data
restart estimation
{len(PARAMETERS)} {len(obs)} 1 0 1
2 1 single point 1 0 0
10.0 -3.0 0.3 0.03 10
10.0 10.0 0.001
0.1
{ITERATIONS} 0.01 3 3 0.01 3
0 0 0
* parameter groups
recharge relative 0.01 0.0 switch 2.0 parabolic
* parameter data
{pars}
* observation groups
heads
* observation data
{data}
* model command line
sh run.sh
* model input/output
quon.tpl quon.par
terrain.tpl terrain.dat
heads.ins sim/heads.csv
++ies_num_reals({REALIZATIONS})
++random_seed({PESTPP_SEED})
++ies_lambda_mults(0.1,1.0)
++lambda_scale_fac(1.0)
++ies_subset_size(4)
++overdue_giveup_fac(10)
++panther_poll_interval(0)
"""
    open(os.path.join(work, "case.pst"), "w").write(text)


def main(argv):
    if len(argv) == 2 and argv[0] == "templates":
        templates(argv[1])
    elif len(argv) == 3 and argv[0] == "layers":
        layers(argv[1], argv[2])
    elif len(argv) == 3 and argv[0] == "observe":
        observe(argv[1], argv[2])
    else:
        sys.stderr.write("usage: case.py templates WORK | layers WORK GRID | "
                         "observe WORK MF6\n")
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/python3
"""mf6model.py - the groundwater model of the calibration example, until the
project's own multi-layer example model and its splice tool take this place:

  mf6model.py RUNDIR SIMDIR         a three-layer MODFLOW 6 simulation on
                                    the 165 x 326 grid of 5280-ft cells,
                                    from the IBOUND grid of the run
  mf6model.py --into SIMDIR RUNDIR  puts the MF6 files of the quon run in
                                    RUNDIR (its MF6 base) into it

The model: layers 1 to 3 active where IBOUND is not 0, the IBOUND -1 cells
of layer 1 held at a constant head, leakage from layer 3 to a deep aquifer
under every active cell (every area is tied to a head), confined layers
(linear: one outer iteration a period), no head, budget or binary grid file
(the example reads heads through its OBS package only).
--into: quon's TDIS becomes the simulation's, quon's RCH and WEL packages
are added to the model's name file and STO gets quon's steady and transient
PERIOD blocks.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)),
                                "tools"))

import numpy as np  # noqa: E402
from quonplot import readers as rd  # noqa: E402


# Layer bottoms (ft) and horizontal conductivity (ft/s) from the top down; the
# vertical conductivity is a hundredth, so heads differ between the layers.
TOP = 1000.0
BOTTOMS = (700.0, 400.0, 0.0)
K = (2.0e-3, 3.0e-4, 1.0e-3)
ANISOTROPY = 100.0
SS = 2.0e-6
HEAD = 500.0  # ft, of the held cells and the deep aquifer
LEAKANCE = 0.01  # ft2/s, conductance between layer 3 and the deep aquifer


def put(folder, name, text):
    with open(os.path.join(folder, name), "w") as f:
        f.write(text.strip("\n") + "\n")


def make_model(sim, ibound_path):
    ibound, _ = rd.read_zones(ibound_path, header=False)
    os.makedirs(sim, exist_ok=True)
    nlay = len(BOTTOMS)
    idomain = (ibound != 0).astype(int)
    idomain_text = "\n".join(" ".join(map(str, row)) for row in idomain)
    put(sim, "mfsim.nam", """
BEGIN OPTIONS
END OPTIONS
BEGIN TIMING
  TDIS6  model.tdis
END TIMING
BEGIN MODELS
  GWF6  model.nam  MODEL
END MODELS
BEGIN EXCHANGES
END EXCHANGES
BEGIN SOLUTIONGROUP 1
  IMS6  model.ims  MODEL
END SOLUTIONGROUP
""")
    put(sim, "model.tdis", """
BEGIN OPTIONS
  TIME_UNITS seconds
END OPTIONS
BEGIN DIMENSIONS
  NPER 1
END DIMENSIONS
BEGIN PERIODDATA
  1.0 1 1.0
END PERIODDATA
""")
    put(sim, "model.nam", """
BEGIN OPTIONS
END OPTIONS
BEGIN PACKAGES
  DIS6  model.dis  DIS
  NPF6  model.npf  NPF
  IC6   model.ic   IC
  STO6  model.sto  STO
  CHD6  model.chd  CHD
  GHB6  model.ghb  DEEP
END PACKAGES
""")
    bottoms = "\n".join(f"    CONSTANT {b}" for b in BOTTOMS)
    domain = "\n".join(f"    INTERNAL FACTOR 1\n{idomain_text}"
                       for _ in range(nlay))
    put(sim, "model.dis", f"""
BEGIN OPTIONS
  LENGTH_UNITS feet
  NOGRB
END OPTIONS
BEGIN DIMENSIONS
  NLAY {nlay}
  NROW {rd.NROW}
  NCOL {rd.NCOL}
END DIMENSIONS
BEGIN GRIDDATA
  DELR
    CONSTANT {rd.CELLSIZE}
  DELC
    CONSTANT {rd.CELLSIZE}
  TOP
    CONSTANT {TOP}
  BOTM LAYERED
{bottoms}
  IDOMAIN LAYERED
{domain}
END GRIDDATA
""")
    kh = "\n".join(f"    CONSTANT {k}" for k in K)
    kv = "\n".join(f"    CONSTANT {k / ANISOTROPY}" for k in K)
    put(sim, "model.npf", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICELLTYPE
    CONSTANT 0
  K LAYERED
{kh}
  K33 LAYERED
{kv}
END GRIDDATA
""")
    put(sim, "model.ic", f"""
BEGIN GRIDDATA
  STRT
    CONSTANT {HEAD}
END GRIDDATA
""")
    put(sim, "model.sto", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICONVERT
    CONSTANT 0
  SS
    CONSTANT {SS}
  SY
    CONSTANT 0.1
END GRIDDATA
""")
    chd = [f"  1 {r + 1} {c + 1} {HEAD}"
           for r, c in zip(*np.nonzero(ibound < 0))]
    put(sim, "model.chd", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND {max(len(chd), 1)}
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(chd) + "\nEND PERIOD\n")
    deep = [f"  {len(BOTTOMS)} {r + 1} {c + 1} {HEAD} {LEAKANCE}"
            for r, c in zip(*np.nonzero(ibound > 0))]
    put(sim, "model.ghb", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND {len(deep)}
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(deep) + "\nEND PERIOD\n")
    # Symmetric and linear: conjugate gradients, one outer iteration; heads
    # to 1e-3 ft, far below the noise of the measured heads.
    put(sim, "model.ims", """
BEGIN OPTIONS
  COMPLEXITY SIMPLE
END OPTIONS
BEGIN NONLINEAR
  OUTER_DVCLOSE 1.0E-3
  OUTER_MAXIMUM 50
END NONLINEAR
BEGIN LINEAR
  INNER_MAXIMUM 500
  INNER_DVCLOSE 1.0E-4
  INNER_RCLOSE 1.0E-1
  LINEAR_ACCELERATION CG
END LINEAR
""")


def sections(path):
    """The lines of quon's base.packages under each of its headings: the
    TIMING block of mfsim.nam, the model's PACKAGES block, the STO periods."""
    out, key = {}, None
    for line in open(path).read().splitlines():
        if line.startswith("# In "):
            key = ("mfsim.nam" if "TIMING" in line else
                   "gwf" if "PACKAGES" in line else "sto")
            out[key] = []
        elif key and line.strip() and not line.startswith("#"):
            out[key].append(line)
    return out


def splice(sim, run):
    params = rd.read_params(os.path.join(run, "quon.par"))
    base = os.path.join(run, params.mf6)
    pk = sections(base + ".packages")
    rel = os.path.relpath(os.path.dirname(base), sim)

    def path(line):
        words = line.split()
        words[1] = os.path.normpath(os.path.join(rel, words[1]))
        return "  " + "  ".join(words)

    mfsim = os.path.join(sim, "mfsim.nam")
    text = open(mfsim).read()
    text = re.sub(r"(BEGIN TIMING\n).*?(\nEND TIMING)",
                  lambda m: m.group(1) + path(pk["mfsim.nam"][0]) + m.group(2),
                  text, flags=re.S)
    open(mfsim, "w").write(text)
    nam = os.path.join(sim, "model.nam")
    text = open(nam).read().replace(
        "END PACKAGES", "\n".join(path(p) for p in pk["gwf"]) +
        "\nEND PACKAGES")
    open(nam, "w").write(text)
    sto = os.path.join(sim, "model.sto")
    text = open(sto).read().split("BEGIN PERIOD")[0].rstrip("\n")
    open(sto, "w").write(text + "\n" + "\n".join(pk["sto"]) + "\n")


def main(argv):
    if len(argv) == 2 and not argv[0].startswith("-"):
        make_model(argv[1], os.path.join(argv[0], "ibound.zon"))
    elif len(argv) == 3 and argv[0] == "--into":
        splice(argv[1], argv[2])
    else:
        sys.stderr.write("usage: mf6model.py RUNDIR SIMDIR | "
                         "--into SIMDIR RUNDIR\n")
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

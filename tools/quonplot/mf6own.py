"""mf6own.py - quon-mf6 without --into: a one-layer simulation of its own
around quon's MODFLOW 6 files."""
import os

import numpy as np

from . import readers as rd
from .mf6files import START_HEAD, DAY, grid_text, held_cells


def own_simulation(run, out):
    """The simulation of its own around quon's files."""
    folder = run.folder
    held = held_cells(run.ibound)
    active = run.ibound != 0
    nlay = int(max(run.irch[active].max(initial=1),
                   run.wellayer[active].max(initial=1)))

    def put(name, text):
        out.put(os.path.join(folder, name), text.strip("\n") + "\n")

    packages = "\n".join(f"  RCH6  {f}  {n}" for f, n in run.rch) + \
        f"\n  WEL6  {run.wel[0]}  {run.wel[1]}"
    put("mfsim.nam", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN TIMING
  TDIS6  {run.tdis}
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
    put("model.nam", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN PACKAGES
  DIS6  model.dis  DIS
  NPF6  model.npf  NPF
  IC6   model.ic   IC
  STO6  model.sto  STO
  CHD6  model.chd  CHD
  OC6   model.oc   OC
{packages}
END PACKAGES
""")
    idomain = active.astype(int)
    thick = 1000.0 / nlay
    botm = " ".join(f"{1000.0 - thick * (k + 1):g}" for k in range(nlay))
    put("model.dis", f"""
BEGIN OPTIONS
  LENGTH_UNITS feet
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
    CONSTANT 1000.0
  BOTM LAYERED
""" + "\n".join(f"    CONSTANT {b}" for b in botm.split()) + """
  IDOMAIN LAYERED
""" + "\n".join(f"    INTERNAL FACTOR 1\n{grid_text(idomain, '%d', 40)}"
                for _ in range(nlay)) + "\nEND GRIDDATA\n")
    # A confined aquifer of 1000 ft at 10 ft/day: linear, so every period
    # solves in one outer iteration.
    k = 10.0 if run.days else 10.0 / DAY
    put("model.npf", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICELLTYPE
    CONSTANT 0
  K
    CONSTANT {k!r}
END GRIDDATA
""")
    put("model.ic", f"""
BEGIN GRIDDATA
  STRT
    CONSTANT {START_HEAD}
END GRIDDATA
""")
    put("model.sto", """
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICONVERT
    CONSTANT 0
  SS
    CONSTANT 1.0E-06
  SY
    CONSTANT 0.1
END GRIDDATA
""" + "\n".join(run.sto))
    chd = [f"  1 {r + 1} {c + 1} {START_HEAD}"
           for r, c in zip(*np.nonzero(held))]
    put("model.chd", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND {max(len(chd), 1)}
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(chd) + "\nEND PERIOD\n")
    put("model.ims", """
BEGIN OPTIONS
  COMPLEXITY SIMPLE
END OPTIONS
BEGIN NONLINEAR
  OUTER_DVCLOSE 1.0E-4
  OUTER_MAXIMUM 50
END NONLINEAR
BEGIN LINEAR
  INNER_MAXIMUM 500
  INNER_DVCLOSE 1.0E-6
  INNER_RCLOSE 1.0E-2
  LINEAR_ACCELERATION BICGSTAB
END LINEAR
""")
    put("model.oc", """
BEGIN OPTIONS
  BUDGET FILEOUT model.cbc
  BUDGETCSV FILEOUT model.budget.csv
END OPTIONS
BEGIN PERIOD 1
  SAVE BUDGET ALL
END PERIOD
""")
    held3 = np.zeros((nlay, rd.NROW, rd.NCOL), bool)
    held3[0] = held
    dom = np.broadcast_to(active, (nlay, rd.NROW, rd.NCOL))
    return folder, "model.budget.csv", dom, held3

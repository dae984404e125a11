#!/usr/bin/python3
"""make_model.py - writes a modeller's own MODFLOW 6 simulation on quon's
grid (165 x 326 cells of 5280 ft), for quon-mf6 --into to fill:

  make_model.py RUNDIR SIMDIR

Three confined layers, in days: IDOMAIN 1 where the run's IBOUND is not 0,
except a block of layer 1 (rows 60-90, columns 120-170) that is inactive,
so recharge and wells there need layer 2 (quon's IRCH and WELLAYER); the
IBOUND -1 cells held at 500 ft in every layer (CHD); leakage from layer
3 to a deep aquifer (GHB, so every area is tied to a head); a WEL package of its
own named WEL (three wells in layer 3), so quon's needs a PREFIX; a TDIS
of one steady period and an STO with one PERIOD block, which quon-mf6
replaces. Only numpy and the run's IBOUND grid are needed.
"""
import os
import sys

import numpy as np

NROW, NCOL, NLAY = 165, 326, 3
HOLE = (slice(59, 90), slice(119, 170))  # layer 1 inactive here


def ibound_of(path):
    grid = np.zeros((NROW, NCOL), int)
    with open(path) as f:
        for r, line in enumerate(f.read().splitlines()[:NROW]):
            line = line.ljust(2 * NCOL)
            grid[r] = [int(line[k:k + 2]) for k in range(0, 2 * NCOL, 2)]
    return grid


def array(values):
    return "\n".join(" ".join(str(v) for v in row[k:k + 40])
                     for row in values for k in range(0, NCOL, 40))


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_model.py RUNDIR SIMDIR\n")
        return 2
    run, sim = argv
    ibound = ibound_of(os.path.join(run, "ibound.zon"))
    os.makedirs(sim, exist_ok=True)
    idomain = np.repeat((ibound != 0)[None].astype(int), NLAY, axis=0)
    idomain[0][HOLE] = 0
    idomain[0][ibound < 0] = 1  # the held cells stay in every layer

    def put(name, text):
        with open(os.path.join(sim, name), "w") as f:
            f.write(text.strip("\n") + "\n")

    put("mfsim.nam", """
BEGIN OPTIONS
END OPTIONS
BEGIN TIMING
  TDIS6  basin.tdis
END TIMING
BEGIN MODELS
  GWF6  basin.nam  BASIN
END MODELS
BEGIN EXCHANGES
END EXCHANGES
BEGIN SOLUTIONGROUP 1
  IMS6  basin.ims  BASIN
END SOLUTIONGROUP
""")
    put("basin.tdis", """
BEGIN OPTIONS
  TIME_UNITS days
END OPTIONS
BEGIN DIMENSIONS
  NPER 1
END DIMENSIONS
BEGIN PERIODDATA
  365.25 1 1.0
END PERIODDATA
""")
    put("basin.nam", """
BEGIN OPTIONS
END OPTIONS
BEGIN PACKAGES
  DIS6  basin.dis  DIS
  NPF6  basin.npf  NPF
  IC6   basin.ic   IC
  STO6  basin.sto  STO
  CHD6  basin.chd  CHD
  GHB6  basin.ghb  DEEP
  WEL6  basin.wel  WEL
  OC6   basin.oc   OC
END PACKAGES
""")
    layers = "\n".join(f"    INTERNAL FACTOR 1\n{array(idomain[k])}"
                       for k in range(NLAY))
    put("basin.dis", f"""
BEGIN OPTIONS
  LENGTH_UNITS feet
END OPTIONS
BEGIN DIMENSIONS
  NLAY {NLAY}
  NROW {NROW}
  NCOL {NCOL}
END DIMENSIONS
BEGIN GRIDDATA
  DELR
    CONSTANT 5280.0
  DELC
    CONSTANT 5280.0
  TOP
    CONSTANT 1000.0
  BOTM LAYERED
    CONSTANT 900.0
    CONSTANT 500.0
    CONSTANT 0.0
  IDOMAIN LAYERED
{layers}
END GRIDDATA
""")
    put("basin.npf", """
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICELLTYPE
    CONSTANT 0
  K LAYERED
    CONSTANT 20.0
    CONSTANT 10.0
    CONSTANT 5.0
  K33
    CONSTANT 1.0
END GRIDDATA
""")
    put("basin.ic", """
BEGIN GRIDDATA
  STRT
    CONSTANT 500.0
END GRIDDATA
""")
    put("basin.sto", """
BEGIN OPTIONS
END OPTIONS
BEGIN GRIDDATA
  ICONVERT
    CONSTANT 0
  SS
    CONSTANT 1.0E-05
  SY
    CONSTANT 0.1
END GRIDDATA
BEGIN PERIOD 1
  STEADY-STATE
END PERIOD
""")
    held = [(k + 1, r + 1, c + 1) for k in range(NLAY)
            for r, c in zip(*np.nonzero(ibound < 0))]
    put("basin.chd", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND {max(len(held), 1)}
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(f"  {k} {r} {c} 500.0" for k, r, c in held) + "\nEND PERIOD\n")
    # Leakage from layer 3 to a deep aquifer at 480 ft, under every active
    # cell: every area of the model is tied to a head.
    deep = [(r + 1, c + 1) for r, c in zip(*np.nonzero(ibound > 0))]
    put("basin.ghb", f"""
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND {len(deep)}
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(f"  3 {r} {c} 480.0 2000.0" for r, c in deep) +
        "\nEND PERIOD\n")
    # Three wells of the modeller's own in layer 3, in active cells.
    cells = list(zip(*np.nonzero(ibound > 0)))
    own = [cells[len(cells) * k // 4] for k in (1, 2, 3)]
    put("basin.wel", """
BEGIN OPTIONS
END OPTIONS
BEGIN DIMENSIONS
  MAXBOUND 3
END DIMENSIONS
BEGIN PERIOD 1
""" + "\n".join(f"  3 {r + 1} {c + 1} -20000.0" for r, c in own) +
        "\nEND PERIOD\n")
    put("basin.ims", """
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
  INNER_RCLOSE 1.0
  LINEAR_ACCELERATION BICGSTAB
END LINEAR
""")
    put("basin.oc", """
BEGIN OPTIONS
  BUDGET FILEOUT basin.cbc
END OPTIONS
BEGIN PERIOD 1
  SAVE BUDGET ALL
END PERIOD
""")
    print(f"make_model.py: 3-layer simulation written in {sim}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

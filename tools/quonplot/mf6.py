"""mf6.py - quon-mf6: quon's MODFLOW 6 files (a run with MF6 base) in a
simulation, and mf6's budget of them against quon's MODFLOW-2005 files.

  quon-mf6 [--par FILE] [--mf6 BINARY] [--quon EXE] RUNDIR
  quon-mf6 --into SIMDIR [--model NAME] [--par FILE] [--mf6 BINARY]
           [--quon EXE] RUNDIR

Without --into: a small simulation of its own next to the MF6 files (the
folder of base): mfsim.nam, model.nam, model.dis (165 x 326 cells of 5280
ft, IDOMAIN 1 where IBOUND is not 0, as many layers as the IRCH and
WELLAYER grids name), model.npf, model.ic, model.sto, model.chd (the IBOUND
-1 cells held at their start head, and one cell of any area of active cells
without one), model.ims and model.oc (budget file model.cbc and budget CSV
model.budget.csv).

With --into: quon's packages in an existing simulation on the same grid,
any number of layers: quon's TDIS replaces the simulation's, the RCH and
WEL packages (WEL with its observations) join the model's name file, the
STO package gets quon's PERIOD blocks; every other package stays. Each
file changed is first copied to FILE.before-quon (once). Where recharge
lands on an inactive cell, a top-active-layer grid for the MF6 option
IRCH is written.

With --mf6: runs mf6 there and compares the budget of every period,
package by package, with the MODFLOW-2005 files of the run; prints the
table, the totals by package and by state, and the largest relative
difference: 1 when one exceeds 1e-6 or mf6 did not end normally.

No file is written over one the run reads or writes (quon --files lists
them) or the command reads (guard.py); the files take their names when all
are written, before mf6 runs.
"""
import os

from . import guard
from .mf6budget import compare, run_mf6
from .mf6files import TOOL, QuonRun, Writer, fail
from .mf6into import into
from .mf6own import own_simulation
from .runner import OneLineParser, attempt


def main(argv):
    ap = OneLineParser(
        prog=TOOL, description="quon's MODFLOW 6 files (a run with MF6 "
        "base) in a simulation of their own or, with --into, in an existing "
        "one; with --mf6, mf6's budget of them checked against quon's "
        "MODFLOW-2005 files. See quon-mf6(1).")
    ap.add_argument("rundir", metavar="RUNDIR", help="the quon run's folder")
    ap.add_argument("--par", metavar="FILE",
                    help="parameter file (default RUNDIR/quon.par)")
    ap.add_argument("--into", metavar="SIMDIR",
                    help="put quon's packages into this simulation")
    ap.add_argument("--model", metavar="NAME",
                    help="the GWF model of SIMDIR (when it has several)")
    ap.add_argument("--mf6", metavar="BINARY", help="run this mf6 and check")
    ap.add_argument("--quon", metavar="EXE", help="quon program that lists "
                    "the run's files (default: the quon beside this tool, "
                    "else quon on PATH)")
    a = ap.parse_args(argv)
    if a.model and not a.into:
        ap.error("--model goes with --into")
    subject = a.into or a.rundir

    def command():
        run = QuonRun(a.rundir, a.par)
        for f in run.files():
            if not os.path.isfile(run.mf6file(f)):
                fail(run.mf6file(f), "no such file: run quon with this "
                     "parameter file first")
        # Neither the own simulation nor --into writes a file of the run.
        guard.keep(run.par)
        guard.keep_run(run.par, a.quon, folder=run.dir)
        out = Writer(backup=bool(a.into))
        if a.into:
            if not os.path.isdir(a.into):
                fail(a.into, "no such folder")
            folder, csvname, idomain, held = into(run, a.into, a.model, out,
                                                  bool(a.mf6))
            done = f"quon's packages put into {a.into}"
        else:
            folder, csvname, idomain, held = own_simulation(run, out)
            done = f"simulation written in {folder}"
        guard.commit()  # mf6 reads the files by their names
        out.tell()
        print(f"{TOOL}: {done}")
        if not a.mf6:
            return 0
        run_mf6(a.mf6, folder)
        return compare(run, folder, csvname, idomain, held)

    status, fault = attempt(TOOL, lambda: guard.transaction(command),
                            subject)
    return status if fault is None else fault

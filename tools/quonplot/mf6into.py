"""mf6into.py - quon-mf6 --into: quon's packages put into an existing
simulation on the same grid, any number of layers."""
import os

import numpy as np

from . import guard
from . import readers as rd
from .mf6files import (TOOL, Dis, block_lines, blocks, fail,
                       held_in, name_entries, read_text, words_of)


def replace_block(text, name, new_lines):
    """The text with every block NAME taken out and new_lines at the end
    (or, for a block inside a name file, in place of its entries)."""
    out, skip = [], False
    for line in text.splitlines():
        w = words_of(line)
        if w[:2] and w[0].upper() == "BEGIN" and len(w) > 1 and \
                w[1].upper() == name:
            skip = True
        elif skip and w and w[0].upper() == "END":
            skip = False
            continue
        if not skip:
            out.append(line)
    return "\n".join(out).rstrip("\n") + "\n\n" + "\n".join(new_lines) + "\n"


def into(run, simdir, model, out, with_csv):
    """quon's packages in the simulation in simdir."""
    sim = os.path.join(simdir, "mfsim.nam")
    models = [e for e in name_entries(sim, "MODELS") if e[0] == "GWF6"]
    if not models:
        fail(sim, "no GWF6 model")
    if model:
        models = [e for e in models if (e[2] or "").upper() == model.upper()]
        if not models:
            fail(sim, f"no GWF6 model named {model}")
    elif len(models) > 1:
        fail(sim, "several GWF6 models: name one with --model")
    nam = os.path.join(simdir, models[0][1])
    entries = name_entries(nam, "PACKAGES")
    ours = {f.lower() for f in run.files()}
    theirs = [e for e in entries if os.path.basename(e[1]).lower() not in
              ours]
    dis = [e for e in theirs if e[0] == "DIS6"]
    if not dis:
        fail(nam, "no DIS6 package: quon's grid is a DIS grid of 165 x 326 "
             "cells")
    grid = Dis(os.path.join(simdir, dis[0][1]), simdir)
    sto = [e for e in theirs if e[0] == "STO6"]
    if not sto:
        fail(nam, "no STO6 package: every period would be steady")
    names = {(e[2] or "").upper(): e for e in theirs}
    for f, n in run.rch + [run.wel]:
        if n.upper() in names:
            fail(nam, f"package name {n.upper()} is already the model's "
                 f"({names[n.upper()][0]} {names[n.upper()][1]}): name quon's "
                 f"packages apart with PREFIX on its MF6 line, e.g. MF6 "
                 f"{run.params.mf6} PREFIX Q_")
    if run.irch.max() > grid.nlay or run.wellayer.max() > grid.nlay:
        fail(nam, f"the model has {grid.nlay} layers, quon's IRCH or "
             "WELLAYER grid names more")

    # Recharge on inactive cells is lost in mf6 and wells on them stop it:
    # both counted, and a grid of the top active layer of each cell written
    # for IRCH and WELLAYER.
    idom = grid.idomain > 0
    gets = np.zeros((rd.NROW, rd.NCOL), bool)
    for path in run.params.recharge:
        with rd.RchFile(run.path(path)) as f:
            for k in range(len(f.labels)):
                gets |= f.values(k) != 0
    gets &= run.ibound != 0
    r, c = np.indices(gets.shape)
    lost = gets & ~idom[run.irch - 1, r, c]
    wells, first = np.zeros(gets.shape, bool), None
    for label, wr, wc, _ in rd.wel_periods(run.path(run.params.well)):
        keep = run.ibound[wr, wc] != 0
        wr, wc = wr[keep], wc[keep]
        off = ~idom[run.wellayer[wr, wc] - 1, wr, wc]
        wells[wr[off], wc[off]] = True
        if off.any() and first is None:
            first = (label.strip(), wr[off][0], wc[off][0])
    top_name = os.path.abspath(os.path.join(simdir, "quon-top-layer.txt"))
    if lost.any() or first:
        top = np.where(idom.any(axis=0), np.argmax(idom, axis=0) + 1, 1)
        out.put(top_name, "\n".join(" ".join(str(v) for v in row)
                                    for row in top) + "\n")
        guard.commit()  # kept also when the wells end the command
    if lost.any():
        under = "layer 1" if "IRCH" not in run.options else "their IRCH layer"
        print(f"{TOOL}: {int(lost.sum())} cells receive recharge where "
              f"{under} is inactive (mf6 drops it); the top active layer "
              f"of each cell is in {top_name}: give it to quon as MF6 "
              f"{run.params.mf6} IRCH file")
    if first:
        label, r0, c0 = first
        fail(run.path(run.params.well), f"{int(wells.sum())} well cells "
             f"inactive in the model at their layer (mf6 would stop), first "
             f"in period '{label}' at row {r0 + 1}, column {c0 + 1}, layer "
             f"{run.wellayer[r0, c0]}: give quon MF6 {run.params.mf6} "
             f"WELLAYER {top_name}")

    # quon's files beside the simulation's, the TDIS replaced.
    for f in run.files():
        out.copy(run.mf6file(f), os.path.join(simdir, f))
    text = read_text(sim).splitlines()
    timing = [e for e in name_entries(sim, "TIMING") if e[0] == "TDIS6"]
    if not timing:
        fail(sim, "no TDIS6 line in its TIMING block")
    text[timing[0][3]] = f"  TDIS6  {run.tdis}"
    out.put(sim, "\n".join(text) + "\n")

    lines = read_text(nam).splitlines()
    for e in sorted(entries, key=lambda e: -e[3]):
        if os.path.basename(e[1]).lower() in ours:
            del lines[e[3]]
    end = next(i for i, l in enumerate(lines) if words_of(l)[:2] and
               words_of(l)[0].upper() == "END" and
               words_of(l)[1].upper() == "PACKAGES")
    lines[end:end] = [f"  RCH6  {f}  {n}" for f, n in run.rch] + \
        [f"  WEL6  {run.wel[0]}  {run.wel[1]}"]
    out.put(nam, "\n".join(lines) + "\n")

    stopath = os.path.join(simdir, sto[0][1])
    out.put(stopath, replace_block(read_text(stopath), "PERIOD", run.sto))

    csvname = None
    oc = [e for e in theirs if e[0] == "OC6"]
    if with_csv:
        if not oc:
            fail(nam, "no OC6 package to write the budget")
        ocpath = os.path.join(simdir, oc[0][1])
        opts = block_lines(ocpath, "OPTIONS")
        have = [w for w in opts if w[0].upper() == "BUDGETCSV"]
        if have:
            csvname = have[-1][2]
        else:
            csvname = models[0][2].lower() + ".quon-budget.csv"
            text = read_text(ocpath)
            body = [l for b in blocks(ocpath, text) if b[0] == "OPTIONS"
                    for l in b[2]]
            text = replace_block(text, "OPTIONS", [])
            opt = ["BEGIN OPTIONS"] + body + \
                [f"  BUDGETCSV FILEOUT {csvname}", "END OPTIONS", ""]
            out.put(ocpath, "\n".join(opt) + text.lstrip("\n"))

    held = np.zeros(grid.idomain.shape, bool)
    for e in theirs:
        if e[0] == "CHD6":
            held |= held_in(os.path.join(simdir, e[1]), simdir, grid.nlay)
    return simdir, csvname, idom, held

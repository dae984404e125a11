"""mf6budget.py - quon-mf6 --mf6: runs mf6 in the simulation and compares
its budget of every period, package by package and by state, with quon's
MODFLOW-2005 files."""
import csv
import os
import subprocess

import numpy as np

from . import readers as rd
from .mf6files import TOLERANCE, DAY, fail, read_text


def run_mf6(binary, folder):
    exe = os.path.abspath(binary)
    if not (os.path.isfile(exe) and os.access(exe, os.X_OK)):
        fail(binary, "no such program (give the mf6 binary to --mf6)")
    try:
        done = subprocess.run([exe], cwd=folder, capture_output=True,
                              text=True)
    except OSError as e:
        fail(binary, e.strerror or "cannot be run")
    listing = os.path.join(folder, "mfsim.lst")
    text = read_text(listing) if os.path.exists(listing) else ""
    if done.returncode != 0 or "Normal termination" not in text:
        last = [l.strip() for l in (done.stdout + done.stderr).splitlines()
                if l.strip()]
        fail(listing, f"mf6 ended with status {done.returncode}"
             + (f": {last[-1]}" if last else ""))


def read_csv(path):
    with open(path) as f:
        return list(csv.DictReader(f))


def compare(run, folder, csvname, idomain, held):
    """mf6's budget by package against quon's MODFLOW-2005 files; the
    largest relative difference."""
    def receives(layers):
        r, c = np.indices(layers.shape)
        lay = np.clip(layers - 1, 0, idomain.shape[0] - 1)
        return idomain[lay, r, c] & ~held[lay, r, c]
    expect, labels = run.expected(receives)
    rows = read_csv(os.path.join(folder, csvname))
    if len(rows) != len(labels):
        fail(os.path.join(folder, csvname), f"{len(rows)} budget rows for "
             f"{len(labels)} periods")
    wel = run.wel[1].upper()

    def got(row, name):
        key = "WEL" if name == wel else "RCHA"
        try:
            return (float(row[f"{key}({name})_IN"]) -
                    float(row[f"{key}({name})_OUT"]))
        except KeyError:
            fail(os.path.join(folder, csvname), f"no column {key}({name})")
    unit = "cfd" if run.days else "cfs"
    cols = list(expect)
    print("period   " + "".join(f"{c:>18}" for c in cols) +
          f"   ({unit}, mf6)")
    worst = {c: 0.0 for c in cols}
    volume = {c: [0.0, 0.0] for c in cols}  # mf6, quon: acre-feet
    for k, row in enumerate(rows):
        line = f"{labels[k]:8s} "
        secs = rd.period_seconds(labels[k]) / (DAY if run.days else 1.0)
        for c in cols:
            m6, m05 = got(row, c), expect[c][k]
            rel = abs(m6 - m05) / abs(m05) if m05 else abs(m6)
            worst[c] = max(worst[c], rel)
            volume[c][0] += m6 * secs / 43560.0
            volume[c][1] += m05 * secs / 43560.0
            line += f"{m6:18.6f}"
        print(line)
    print("over the run, acre-feet (mf6, quon's MODFLOW-2005 files): " +
          ", ".join(f"{c} {v[0]:.1f} ({v[1]:.1f})"
                    for c, v in volume.items()))
    if run.obs:
        obs = os.path.join(folder, run.obs + ".csv")
        if os.path.exists(obs):
            states = read_csv(obs)
            names = [n for n in (states[0] if states else {})
                     if n.lower() != "time"]
            total = {n: 0.0 for n in names}
            for k, row in enumerate(states):
                secs = rd.period_seconds(labels[k]) / (DAY if run.days
                                                       else 1.0)
                for n in names:
                    total[n] += float(row[n]) * secs / 43560.0
                s = sum(float(row[n]) for n in names)
                m6 = got(rows[k], wel)
                rel = abs(s - m6) / abs(m6) if m6 else abs(s)
                worst[wel] = max(worst[wel], rel)
            print("WEL by state over the run, acre-feet (mf6): " +
                  ", ".join(f"{n} {v:.1f}" for n, v in total.items()))
    print("largest relative difference to the MODFLOW-2005 files: " +
          ", ".join(f"{c} {worst[c]:.2e}" for c in cols))
    return 1 if max(worst.values()) > TOLERANCE else 0

#!/usr/bin/env python3
"""pestpp_mf6_example.py - the head calibration example (examples/pestpp-mf6)
run for real, reduced: setup.sh makes the working folder, then

- quon.par and terrain.dat of the truth run hold the values of truth.csv
  (the STEADY multiplier, each terrain class's column);
- the model command passes every failure on: a parameter file quon refuses
  under --strict, and a simulation mf6 cannot read, each end run.sh with a
  status other than 0;
- pestpp-ies with 4 realizations and one iteration: it ends normally, no run
  failed, every realization is kept, and the mean phi falls.

mf6 and pestpp-ies come from QUON_MF6 and QUON_PESTPP_IES only; without
them the test says so and is skipped (status 77), after checking what
needs neither: how failed runs are read from PEST++'s run record.

Usage: pestpp_mf6_example.py BUILD_DIR WORK_DIR
"""
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(os.path.dirname(HERE), "examples", "pestpp-mf6")
sys.path.insert(0, EXAMPLE)

import results  # noqa: E402

SKIP = 77
REALIZATIONS = 4
IES_SECONDS = 270  # the CTest limit is 300


def tool(var):
    path = os.environ.get(var, "")
    return path if path and os.access(path, os.X_OK) else None


def reduce(pst):
    """The control file cut to one iteration of a few realizations, one
    lambda tried on all of them: 2 x REALIZATIONS model runs."""
    text = open(pst).read()
    lines = text.split("\n")
    words = lines[8].split()
    lines[8] = " ".join(["1"] + words[1:])  # NOPTMAX
    text = "\n".join(lines)
    for key, value in (("ies_num_reals", REALIZATIONS),
                       ("ies_lambda_mults", "1.0"),
                       ("ies_subset_size", REALIZATIONS)):
        text, n = re.subn(rf"\+\+{key}\([^)]*\)", f"++{key}({value})", text)
        assert n == 1, key
    open(pst, "w").write(text)


# Run record lines of pestpp-ies and the failed runs they report.
RECORDS = (
    ("  ---  the following 2 par:obs realization runs failed during "
     "evaluation of the initial parameter ensemble:", 2),
    ("the following par:obs realization runs failed for lambda,scale 1,1", 1),
    ("the following par:obs realizations failed during evaluation of the "
     "remaining ensemble: 3", 1),
    ("all realizations failed during initial evaluation", 1),
    ("control file parameter value run failed...bummer", 1),
    ("          realizations that have failed or have been dropped.", 0),
    ("max_run_fail: 3", 0),
    ("-->12 of 12 complete, 0 failed", 0),
)


def truth_written(work):
    """Faults of the truth run's inputs against truth.csv: the STEADY
    multiplier of quon.par, each terrain class's column of terrain.dat."""
    truth = {r[0]: float(r[1]) for r in
             (line.split(",") for line in
              open(os.path.join(work, "truth.csv")).read().split()[1:])}
    out = []
    par = open(os.path.join(work, "quon.par")).read()
    stm = float(re.search(r"^STEADY\s+\S+\s+\S+\s+(\S+)", par, re.M)[1])
    if stm != truth["stm"]:
        out.append(f"quon.par STEADY multiplier {stm}, truth {truth['stm']}")
    rows = [line.split() for line in
            open(os.path.join(work, "terrain.dat")).read().split("\n")]
    for k, (cls, name) in enumerate(zip(rows[0][2:], ("tflat", "troll",
                                                      "tdiss"))):
        got = {float(r[2 + k]) for r in rows[1:] if r}
        if got != {truth[name]}:
            out.append(f"terrain.dat class {cls}: {got}, truth {name} "
                       f"{truth[name]}")
    return out


def failing_runs(work):
    """run.sh on a copy of the folder broken one way at a time: (what,
    status)."""
    out = []
    for what, path, edit in (
            ("quon refuses the parameter file", "quon.par",
             lambda t: re.sub(r"^STEADY .*$", "STEADY 1948 1949 abc", t,
                              flags=re.M)),
            ("mf6 cannot read the simulation", "sim/mfsim.nam",
             lambda t: t.replace("BEGIN OPTIONS", "BEGIN OPTIONS\n  NOSUCH",
                                 1))):
        copy = work + ".broken"
        shutil.rmtree(copy, ignore_errors=True)
        shutil.copytree(work, copy, symlinks=True)
        full = os.path.join(copy, path)
        text = open(full).read()
        assert edit(text) != text, path
        open(full, "w").write(edit(text))
        done = subprocess.run(["sh", "run.sh"], cwd=copy, capture_output=True,
                              text=True)
        out.append((what, done.returncode, done.stderr))
        shutil.rmtree(copy)
    return out


def main(argv):
    build, work = argv
    faults = [f"failed runs of '{line}': {results.failed_runs(line)}, not {n}"
              for line, n in RECORDS if results.failed_runs(line) != n]
    mf6, ies = tool("QUON_MF6"), tool("QUON_PESTPP_IES")
    if not mf6 or not ies:
        print("pestpp_mf6_example: skipped: needs QUON_MF6 and QUON_PESTPP_IES"
              " (the mf6 and pestpp-ies programs; .ci/run sets them from "
              f"../shared/bin); QUON_MF6={mf6}, QUON_PESTPP_IES={ies}")
        for f in faults:
            print("FAULT:", f)
        return 1 if faults else SKIP
    setup = subprocess.run(["bash", os.path.join(EXAMPLE, "setup.sh"), build,
                            work]).returncode
    if setup != 0:
        print(f"FAULT: setup.sh ended with status {setup}")
        return 1
    faults += truth_written(work)

    for what, status, err in failing_runs(work):
        if status == 0:
            faults.append(f"run.sh passed on status 0 when {what}")
        else:
            print(f"run.sh status {status} when {what}: "
                  f"{err.splitlines()[0] if err else '(no message)'}")

    pst = os.path.join(work, "case.pst")
    reduce(pst)
    try:
        done = subprocess.run([ies, "case.pst"], cwd=work,
                              capture_output=True, text=True,
                              timeout=IES_SECONDS)
        status = done.returncode
    except subprocess.TimeoutExpired:
        status = "timeout"
    if status != 0:
        faults.append(f"pestpp-ies ended with {status}; see {work}/case.rec")
    else:
        phi, _, ens, last, rec = results.read(work)
        text, _ = results.report(work)
        print("(the goals below are the full run's; this reduced run must "
              "only lower phi, with no failed run)")
        print(text)
        failed = results.failed_runs(rec)
        kept = len(ens[last][next(iter(ens[last]))])
        first, final = float(phi[0]["mean"]), float(phi[-1]["mean"])
        for bad, msg in ((last != 1, f"last iteration {last}, not 1"),
                         (failed != 0, f"{failed} failed runs"),
                         (kept != REALIZATIONS,
                          f"{kept} of {REALIZATIONS} realizations kept"),
                         (not final < first,
                          f"mean phi {first:.4g} -> {final:.4g}: no fall")):
            if bad:
                faults.append(msg)
    for f in faults:
        print("FAULT:", f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

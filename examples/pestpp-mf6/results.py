#!/usr/bin/python3
"""results.py - what a pestpp-ies run of case.pst achieved, in its working
folder: the phi of every iteration, the prior and posterior mean of each
setting against truth.csv, the model runs and failed runs, whether the
example's goals are met, and with --plot FILE a picture of phi by iteration
and of the prior and posterior ensembles against the truth.

  results.py [--plot FILE] [WORK]     (WORK default: the current folder)

Goals: the mean phi of the last iteration at most a tenth of the prior's,
and each setting's posterior mean at least twice as close to its truth as
the prior mean (or within 5 % of it). Exit status 0 when both are met, 3
when not, 1 when the results cannot be read.
"""
import argparse
import csv
import os
import re
import sys

PHI_FALL = 0.1  # last mean phi over prior mean phi, at most
CLOSER = 2.0  # posterior error at most prior error / CLOSER ...
WITHIN = 0.05  # ... or within this share of the truth


def table(path):
    with open(path) as f:
        return list(csv.DictReader(f))


def read(work, case="case"):
    phi = table(os.path.join(work, f"{case}.phi.actual.csv"))
    truth = {r["parameter"]: float(r["value"])
             for r in table(os.path.join(work, "truth.csv"))}
    last = int(phi[-1]["iteration"])
    ens = {}
    for it in (0, last):
        rows = table(os.path.join(work, f"{case}.{it}.par.csv"))
        ens[it] = {p: [float(r[p]) for r in rows] for p in truth}
    rec = open(os.path.join(work, f"{case}.rec")).read()
    return phi, truth, ens, last, rec


# How pestpp-ies records failed runs in its run record, the number of them
# where it gives one.
FAILED = re.compile(r"(?:the following (\d+) )?par:obs realizations?(?: runs?)?"
                    r" failed|all (?:remaining )?realizations failed|"
                    r"parameter value run failed")


def failed_runs(rec):
    """The failed runs the run record reports: the number given, else one
    for each report."""
    return sum(int(m.group(1) or 1) for m in FAILED.finditer(rec))


def mean(v):
    return sum(v) / len(v)


def report(work):
    phi, truth, ens, last, rec = read(work)
    out = ["| iteration | model runs | mean phi | min phi | max phi |",
           "|---:|---:|---:|---:|---:|"]
    for r in phi:
        out.append(f"| {r['iteration']} | {r['total_runs']} | "
                   f"{float(r['mean']):.4g} | {float(r['min']):.4g} | "
                   f"{float(r['max']):.4g} |")
    fall = float(phi[-1]["mean"]) / float(phi[0]["mean"])
    ok = fall <= PHI_FALL
    out += ["", f"mean phi fell to {fall:.2e} of the prior's "
            f"({'met' if ok else 'NOT met'}: at most {PHI_FALL})", "",
            "| setting | truth | prior mean | posterior mean | posterior sd |"
            " error prior / posterior | goal |",
            "|---|---:|---:|---:|---:|---:|---|"]
    for p, t in truth.items():
        pm, qm = mean(ens[0][p]), mean(ens[last][p])
        sd = mean([(v - qm) ** 2 for v in ens[last][p]]) ** 0.5
        e0, e1 = abs(pm - t), abs(qm - t)
        good = e1 * CLOSER <= e0 or e1 <= WITHIN * abs(t)
        ok = ok and good
        ratio = e0 / e1 if e1 else float("inf")
        out.append(f"| {p} | {t:.4g} | {pm:.4g} | {qm:.4g} | {sd:.3g} | "
                   f"{ratio:.1f} | {'met' if good else 'NOT met'} |")
    failed = failed_runs(rec)
    out += ["", f"model runs {phi[-1]['total_runs']}, failed runs {failed}"]
    return "\n".join(out), ok and failed == 0


def plot(work, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    phi, truth, ens, last, _ = read(work)
    fig, (a, b) = plt.subplots(1, 2, figsize=(11, 4.2))
    its = [int(r["iteration"]) for r in phi]
    reals = [k for k in phi[0] if k not in (
        "iteration", "total_runs", "mean", "standard_deviation", "min",
        "max")]
    for k in reals:
        ys = [float(r[k]) if r.get(k) not in (None, "") else float("nan")
              for r in phi]
        a.plot(its, ys, color="0.75", lw=0.8)
    a.plot(its, [float(r["mean"]) for r in phi], "o-", color="C0",
           label="mean")
    a.set_yscale("log")
    a.set_xticks(its)
    a.set_xlabel("iteration")
    a.set_ylabel("phi (sum of squared weighted residuals, -)")
    a.set_title("Phi by iteration (grey: each realization)")
    a.legend()

    names = list(truth)
    for i, p in enumerate(names):
        t = truth[p]
        a0 = [v / t for v in ens[0][p]]
        a1 = [v / t for v in ens[last][p]]
        b.scatter([i - 0.15] * len(a0), a0, s=12, color="C1",
                  label="prior" if i == 0 else None)
        b.scatter([i + 0.15] * len(a1), a1, s=12, color="C2",
                  label=f"posterior (iteration {last})" if i == 0 else None)
        b.plot([i - 0.15, i + 0.15], [mean(a0), mean(a1)], "_", ms=22,
               mew=2, color="k", label="ensemble means" if i == 0 else None)
    b.axhline(1.0, color="k", lw=1, label="truth")
    b.set_xticks(range(len(names)))
    b.set_xticklabels(names)
    b.set_xlabel("setting")
    b.set_ylabel("value / true value (-)")
    b.set_title("Prior and posterior ensembles against the truth")
    b.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def main(argv):
    ap = argparse.ArgumentParser(prog="results.py")
    ap.add_argument("work", nargs="?", default=".")
    ap.add_argument("--plot", metavar="FILE")
    a = ap.parse_args(argv)
    try:
        text, ok = report(a.work)
        if a.plot:
            plot(a.work, a.plot)
    except (OSError, KeyError, ValueError, IndexError) as e:
        sys.stderr.write(f"results.py: {a.work}: {e}\n")
        return 1
    print(text)
    return 0 if ok else 3


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

"""partial.py - whether the run whose files a tool reads finished. A run that
stopped (a signal) or ended early leaves in fort.2 the record of the periods
its RCH and WEL files hold; a run whose record is gone is caught by the
periods its files hold falling short of its span. Such files are read only
when asked for (--partial), and what is written from them says so."""

import os
import re

HELD = re.compile(r"The RCH and WEL files hold (?:periods 1 to (\d+) of "
                  r"(\d+)|no period)")


def unfinished(folder, labels=None, span=None):
    """None when the run of folder finished; else (file, what) naming the
    periods its files hold. labels: the period labels of its RCH (or WEL)
    file; span: the number of periods its parameter file asks for."""
    fort2 = os.path.join(folder, "fort.2")
    try:
        with open(fort2, "rb") as f:
            text = f.read().decode("latin-1")
    except OSError:
        text = ""
    held = None
    for m in HELD.finditer(text):
        held = m
    where = ""
    if labels:
        where = f" ({labels[0].strip()} to {labels[-1].strip()})"
    if held and held.group(1):
        return fort2, (f"the run did not finish: its files hold periods 1 "
                       f"to {held.group(1)} of {held.group(2)}{where}")
    if held:
        return fort2, "the run did not finish: its files hold no period"
    if labels is not None and span is not None and len(labels) < span:
        return None, (f"the run did not finish: its files hold "
                      f"{len(labels)} of the {span} periods of its "
                      f"span{where}")
    return None


def span_periods(params):
    """The number of periods the parameter file's span asks for."""
    steady = 1 if params.steady and params.steady[0] > 0 else 0
    return steady + 12 * len(params.transient_years())

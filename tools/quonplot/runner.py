"""runner.py - the command-line plumbing every tool shares: the parser that
makes a usage fault one line naming the tool (exit status 2), the one runner
of a command that prints the file written and turns every fault into one
line 'tool: file: what' (exit status 1), never a Python traceback, and how a
tool finds the quon program whose list of files it asks for."""

import argparse
import os
import shutil
import signal
import sys

USAGE = 2  # exit status of a fault of the command line
FAULT = 1  # exit status of every other fault


class Fault(Exception):
    """A fault of a tool's command that names its file: one line."""

    def __init__(self, path, what):
        super().__init__(f"{path}: {what}")
        self.path = str(path)
        self.what = what


class InputError(Fault):
    """A file that is missing or does not hold what it should, or an output
    that cannot be written."""


class Refused(Fault):
    """An output that would land on a file the command or the run reads. Not
    an InputError: a command that goes on past a bad input (a report noting
    a missing picture) must still end at once."""


class OneLineParser(argparse.ArgumentParser):
    """The tools' command lines: a usage fault is one line naming the tool
    and status 2."""

    def error(self, message):
        tool = self.prog.split()[0]
        sys.stderr.write(_one_line(f"{tool}: {message} (see {tool} --help)"))
        sys.exit(USAGE)


def _one_line(text):
    """text as one line: a name or message holding a line end stays one."""
    return " ".join(str(text).splitlines()) + "\n"


class Stopped(BaseException):
    """A signal that stops the command: raised so that the files written so
    far under temporary names are removed on the way out."""

    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


def _stop(signum, frame):
    raise Stopped(signum)


def attempt(tool, action, subject):
    """Runs action() for a tool's command line: (what it returns, None), or
    (None, exit status) when a fault ended it with one line 'tool: file:
    what' on standard error (1), a fault not foreseen naming subject, the
    file the command was given; a signal ends it with 128 + its number."""
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(sig, _stop)
    try:
        return action(), None
    except Fault as e:
        sys.stderr.write(_one_line(f"{tool}: {e.path}: {e.what}"))
        return None, FAULT
    except MemoryError:
        sys.stderr.write(_one_line(f"{tool}: {subject}: out of memory"))
        return None, FAULT
    except Stopped as e:
        sys.stderr.write(_one_line(f"{tool}: {subject}: stopped by signal "
                                   f"{e.signum}; no file written"))
        return None, 128 + e.signum
    except OSError as e:
        sys.stderr.write(_one_line(f"{tool}: {e.filename or subject}: "
                                   f"{e.strerror or e}"))
        return None, FAULT
    except Exception as e:  # a fault not foreseen still gets one line
        sys.stderr.write(_one_line(f"{tool}: {subject}: "
                                   f"{type(e).__name__}: {e}"))
        return None, FAULT


def run_command(tool, action, subject):
    """Runs action() for a tool's command line (attempt) and prints the name
    it returns (the file written): 0."""
    out, status = attempt(tool, action, subject)
    if status is not None:
        return status
    try:
        print(out, flush=True)
    except OSError as e:  # standard output closed or full
        sys.stderr.write(_one_line(f"{tool}: {out}: written, but its name "
                                   f"could not be printed ({e.strerror})"))
        return FAULT
    return 0


def find_quon(exe=None):
    """The quon program a tool asks for the run's files: the one given
    (--quon), else the quon beside the tool as it was called or in the bin
    folder of the installation the package belongs to, else quon on PATH;
    None when there is none."""
    if exe:
        if not (os.path.isfile(exe) and os.access(exe, os.X_OK)):
            raise InputError(exe, "no such program (--quon)")
        return exe
    here = os.path.dirname(os.path.abspath(sys.argv[0] or "."))
    places = [here]
    # Installed, the package lies in <prefix>/share/quon/quonplot.
    share = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if os.path.basename(share) == "quon" and \
            os.path.basename(os.path.dirname(share)) == "share":
        places.append(os.path.join(share, "..", "..", "bin"))
    for place in places:
        candidate = os.path.normpath(os.path.join(place, "quon"))
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return shutil.which("quon")

"""guard.py - one guard for every tool: no tool writes over a file that it
or the run reads. Each file a command will write is compared, before it is
written, with every file the command reads and every file of the run (quon
--files lists them: the run's inputs, and its outputs, which the tools read)
by device and inode, links followed; a name that does not exist yet is
compared by its folder's device and inode and its own name, so a dangling
link names the file writing it would create. A clash ends the command with
one line naming the output. What passes is written under a temporary name
in its own folder and takes its final name only when the whole command has
succeeded; a command that fails leaves every earlier file as it was."""

import os
import subprocess

from .runner import InputError, Refused, find_quon


def identity(path):
    """What writing path would change: ('file', device, inode) of the file
    the name leads to, links followed; else ('name', device, inode, name) of
    the folder it would be created in; else ('path', the resolved name)."""
    real = os.path.realpath(path)
    try:
        st = os.stat(real)
        return ("file", st.st_dev, st.st_ino)
    except OSError:
        pass
    folder, name = os.path.split(real)
    try:
        st = os.stat(folder)
    except OSError:
        return ("path", real)
    return ("name", st.st_dev, st.st_ino, name)


def run_files(par, quon=None, folder=None):
    """(inputs, outputs) of the run of parameter file par as quon lists them
    (quon --files, run in the run's folder: by default par's), the names
    joined to that folder. The run's own list, so that no tool reads
    a parameter file another way than quon does."""
    exe = find_quon(quon)
    if exe is None:
        raise InputError(par, "no quon program found to list the run's files "
                         "(give --quon EXE, or put quon on PATH)")
    folder = folder or os.path.dirname(os.path.abspath(par))
    try:
        p = subprocess.run([os.path.abspath(exe), "--files",
                            os.path.abspath(par)], cwd=folder,
                           capture_output=True, timeout=600)
    except (OSError, subprocess.SubprocessError) as e:
        raise InputError(exe, f"cannot be run ({e})") from None
    files = {"input": [], "output": []}
    for line in os.fsdecode(p.stdout).splitlines():
        kind, tab, name = line.partition("\t")
        if tab and kind in files:
            files[kind].append(os.path.join(folder, name))
    # 1 and 3: the run would end early or make reports; its files are
    # listed all the same.
    if p.returncode not in (0, 1, 3) or not files["input"]:
        said = os.fsdecode(p.stderr).strip().splitlines()
        raise InputError(par, "'quon --files' listed no files of the run "
                         f"({exe}: exit status {p.returncode}"
                         + (f", {said[-1]}" if said else "") + ")")
    return files["input"], files["output"]


class Outputs:
    """The files one command must not write (what it and the run read) and
    the files it writes, each under a temporary name until commit()."""

    def __init__(self):
        self.kept = {}  # identity -> (name, what it is)
        self.pending = []  # (temporary name, final name)
        self.folders = []  # folders this command made, the outermost first

    def keep(self, path, what="a file this command reads"):
        if path:
            self.kept.setdefault(identity(path), (str(path), what))

    def keep_run(self, par, quon=None, folder=None):
        inputs, outputs = run_files(par, quon, folder)
        for name in inputs:
            self.keep(name, "a file the run reads")
        for name in outputs:
            self.keep(name, "a file the run writes")

    def check(self, out):
        """InputError unless out may be written."""
        clash = self.kept.get(identity(out))
        if clash:
            name, what = clash
            also = "" if os.path.abspath(name) == os.path.abspath(out) \
                else f" ({name})"
            raise Refused(out, f"is {what}{also}; writing it would "
                             "destroy it, choose another output")
        real = os.path.realpath(out)
        if os.path.isdir(real):
            raise InputError(out, "is a folder")
        if not os.path.isdir(os.path.dirname(real)):
            raise InputError(out, "its folder does not exist")

    def writing(self, out):
        """The name to write out under: checked, then a temporary name beside
        its final one (a device or pipe, such as /dev/stdout, is written in
        place: there is nothing to replace)."""
        self.check(out)
        real = os.path.realpath(out)
        if os.path.exists(real) and not os.path.isfile(real):
            return out
        folder, base = os.path.split(real)
        if not os.access(folder, os.W_OK | os.X_OK):
            raise InputError(out, "its folder cannot be written")
        tmp = os.path.join(folder, f".{base}.{os.getpid()}."
                           f"{len(self.pending)}.tmp")
        self.pending.append((tmp, real))
        return tmp

    def make_folder(self, path):
        """Makes the folder path and the folders above it that are missing;
        a command that fails removes them again."""
        missing, p = [], os.path.abspath(path)
        while not os.path.lexists(p):
            missing.append(p)
            p = os.path.dirname(p)
        try:
            os.makedirs(path, exist_ok=True)
        except OSError as e:
            raise InputError(path, e.strerror or "cannot be made a folder") \
                from None
        self.folders.extend(reversed(missing))

    def commit(self):
        for tmp, final in self.pending:
            try:
                os.replace(tmp, final)
            except OSError as e:
                raise InputError(final, e.strerror or "cannot be written") \
                    from None
        self.pending = []
        self.folders = []

    def discard(self):
        for tmp, _ in self.pending:
            try:
                os.remove(tmp)
            except OSError:
                pass
        self.pending = []
        for folder in reversed(self.folders):
            try:
                os.rmdir(folder)  # only when empty
            except OSError:
                pass
        self.folders = []


# The command running now; None outside a command (a library caller's
# pictures are written straight to their names).
_current = None


def keep(path, what="a file this command reads"):
    if _current:
        _current.keep(path, what)


def keep_run(par, quon=None, folder=None):
    if _current:
        _current.keep_run(par, quon, folder)


def check(out):
    if _current:
        _current.check(out)


def writing(out):
    return _current.writing(out) if _current else out


def make_folder(path):
    if _current:
        _current.make_folder(path)
    else:
        os.makedirs(path, exist_ok=True)


def commit():
    """Gives the outputs written so far their names (a command that keeps
    what it wrote although it ends with a fault)."""
    if _current:
        _current.commit()


def written(out):
    """Where out's contents are now: its temporary name until the command
    has succeeded."""
    if _current:
        real = os.path.realpath(out)
        for tmp, final in _current.pending:
            if final == real:
                return tmp
    return out


def transaction(action):
    """Runs action() as one command: its outputs take their names when it
    returns, and are removed when it fails in any way."""
    global _current
    _current = Outputs()
    try:
        result = action()
        _current.commit()
        return result
    finally:
        _current.discard()
        _current = None

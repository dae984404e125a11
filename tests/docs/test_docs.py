"""test_docs.py - the documents agree with the program and with each other.

The keyword table and the exit statuses are written in several places: the
program's own keyword table (run/keywords.cpp), quon --help, the manual page
docs/quon.1 and the keyword and status tables of the Markdown documents
(README.md, docs/*.md: wherever the tables live). Each must name the same
keywords and the same statuses. And every relative link of the Markdown
documents must lead to a file that exists, and to a heading of it (as GitHub
names its anchors) when it names one."""

import glob
import os
import re
import subprocess

import pytest
from conftest import BUILD, TOP

# The Markdown documents a reader browses: the README, the guide, the
# examples' notes.
DOCUMENTS = sorted({os.path.join(TOP, "README.md"),
                    *glob.glob(os.path.join(TOP, "docs", "**", "*.md"),
                               recursive=True),
                    *glob.glob(os.path.join(TOP, "examples", "**", "*.md"),
                               recursive=True)})


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def prose_lines(text):
    """The lines of a Markdown text outside fenced code blocks."""
    fence = None
    for line in text.splitlines():
        m = re.match(r"\s{0,3}(`{3,}|~{3,})", line)
        if m:
            if fence is None:
                fence = m.group(1)[0] * len(m.group(1))
            elif m.group(1).startswith(fence):
                fence = None
            continue
        if fence is None:
            yield line


def markdown_tables(text, first_header):
    """The first column of every Markdown table whose first header cell is
    first_header, without backticks: one list per table."""
    tables, rows, header = [], None, None
    for line in list(prose_lines(text)) + [""]:
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if not line.lstrip().startswith("|"):
            if rows is not None:
                tables.append(rows)
            rows, header = None, None
        elif header is None:
            header = cells[0]
        elif re.fullmatch(r":?-+:?", cells[0]):
            rows = [] if header == first_header else None
        elif rows is not None:
            rows.append(cells[0].strip("`").strip())
    return tables


def help_sections(text):
    """quon --help: the keywords (the indented upper-case words after
    'Parameter file:') and the statuses (after 'Exit status:')."""
    keywords, statuses, part = [], [], None
    for line in text.splitlines():
        heading = re.match(r"([A-Z][A-Za-z ]*):", line)
        if heading:
            part = heading.group(1).lower()
        if not line.startswith(" "):
            continue
        if part == "parameter file":
            m = re.match(r"  ([A-Z][A-Z0-9]*)\b", line)
            if m:
                keywords.append(m.group(1))
        elif part == "exit status":
            m = re.match(r"  (\d+(?:\+n)?)\s", line)
            if m:
                statuses.append(m.group(1))
    return keywords, statuses


def man_section(page, title):
    """The first word of every .TP entry of a section of a manual page."""
    names, inside, after_tp = [], False, False
    for line in page.splitlines():
        if line.startswith(".SH"):
            inside = line[3:].strip().strip('"') == title
            continue
        if not inside:
            continue
        if after_tp:
            words = line.split(None, 1)
            word = words[1].split()[0] if len(words) > 1 else ""
            names.append(re.sub(r"\\f[BIRP]", "", word.strip('"')))
        after_tp = line.startswith(".TP")
    return names


def source_keywords():
    text = read(os.path.join(TOP, "run", "keywords.cpp"))
    return re.findall(r'^\s*\{"([A-Z0-9]+)", kw_\w+\},', text, re.M)


@pytest.fixture(scope="module")
def help_text():
    quon = os.path.join(BUILD, "quon")
    if not os.access(quon, os.X_OK):
        pytest.fail(f"{quon} not built (set QUON_BUILD_DIR)")
    p = subprocess.run([quon, "--help"], capture_output=True, text=True)
    assert p.returncode == 0, p.stderr
    return p.stdout


def document_tables(first_header):
    """Every table headed first_header in the documents: (file, names)."""
    return [(os.path.relpath(d, TOP), names) for d in DOCUMENTS
            for names in markdown_tables(read(d), first_header)]


def test_keywords_and_statuses_agree(help_text):
    man = read(os.path.join(TOP, "docs", "quon.1"))
    help_keywords, help_statuses = help_sections(help_text)
    keywords = {
        "run/keywords.cpp": source_keywords(),
        "quon --help": help_keywords,
        "docs/quon.1": man_section(man, "PARAMETER FILE"),
    }
    statuses = {
        "quon --help": help_statuses,
        "docs/quon.1": man_section(man, "EXIT STATUS"),
    }
    keyword_tables = document_tables("Keyword")
    status_tables = document_tables("Status")
    assert keyword_tables, f"no keyword table in {DOCUMENTS}"
    assert status_tables, f"no exit status table in {DOCUMENTS}"
    for where, names in keyword_tables:
        keywords[where + " (keyword table)"] = names
    for where, names in status_tables:
        statuses[where + " (status table)"] = names

    # The program's own table is the reference; each other source names
    # the same keywords, each once.
    reference = keywords["run/keywords.cpp"]
    assert len(reference) >= 20, "keyword table of run/keywords.cpp not found"
    for where, names in keywords.items():
        assert sorted(names) == sorted(reference), (
            f"{where}: missing {sorted(set(reference) - set(names))}, "
            f"extra {sorted(set(names) - set(reference))}, "
            f"repeated {sorted({n for n in names if names.count(n) > 1})}")
    reference = statuses["quon --help"]
    assert reference[:1] == ["0"] and "128+n" in reference, reference
    for where, names in statuses.items():
        assert names == reference, f"{where}: {names}, not {reference}"


# GitHub's anchors: the heading's text, lower case, without punctuation,
# blanks made hyphens; a repeated heading takes -1, -2, ...
def slug(heading):
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    text = re.sub(r"<[^>]+>", "", text).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(text):
    found, seen = set(), {}
    for line in prose_lines(text):
        m = re.match(r" {0,3}#{1,6}\s+(.*?)\s*#*\s*$", line)
        if m:
            base = slug(m.group(1))
            n = seen.get(base, 0)
            seen[base] = n + 1
            found.add(base if n == 0 else f"{base}-{n}")
        found.update(re.findall(r'<a\s+(?:name|id)="([^"]+)"', line))
    return found


def links(text):
    """The targets of the inline links, images and link definitions,
    outside code."""
    for line in prose_lines(text):
        line = re.sub(r"(`+).*?\1", "", line)
        yield from re.findall(r"\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)",
                              line)
        m = re.match(r" {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s|$)", line)
        if m:
            yield m.group(1)


def broken_links(path):
    """The relative links of a Markdown file that lead nowhere."""
    text, faults = read(path), []
    for target in links(text):
        if re.match(r"[a-zA-Z][a-zA-Z0-9+.-]*:", target):
            continue  # a URL, mailto:
        file, _, anchor = target.partition("#")
        dest = os.path.normpath(os.path.join(os.path.dirname(path), file)) \
            if file else path
        if not os.path.exists(dest):
            faults.append(f"{target}: no file {os.path.relpath(dest, TOP)}")
        elif anchor and dest.endswith(".md") and \
                anchor not in anchors(read(dest)):
            faults.append(f"{target}: no heading #{anchor}")
    return faults


@pytest.mark.parametrize("document", DOCUMENTS,
                         ids=lambda d: os.path.relpath(d, TOP))
def test_relative_links_resolve(document):
    assert broken_links(document) == []


def test_link_checker_finds_faults(tmp_path):
    """The checker itself: GitHub's anchors, and the faults it must see."""
    for heading, expected in [
            ("Checking a run: `--check`, `--strict` and the summary",
             "checking-a-run---check---strict-and-the-summary"),
            ("MODFLOW 6", "modflow-6"),
            ("Exit status", "exit-status"),
            ("The [parameter file](x.md) and quon_par", "the-parameter-file-"
             "and-quon_par"),
            ("Install (Debian)", "install-debian")]:
        assert slug(heading) == expected
    (tmp_path / "other.md").write_text("# One\n## Two\n## Two\n")
    page = tmp_path / "page.md"
    page.write_text(
        "# Top\n[a](other.md#two-1) [b](#top) ![c](other.md) "
        "[d](https://example.org/x#y)\n"
        "[e](missing.md) [f](other.md#three) [g](#nowhere)\n"
        "```\n[h](inside-code.md)\n```\n`[i](in-a-span.md)`\n"
        "[j]: missing-too.md\n")
    assert broken_links(str(page)) == [
        "missing.md: no file " + os.path.relpath(tmp_path / "missing.md", TOP),
        "other.md#three: no heading #three",
        "#nowhere: no heading #nowhere",
        "missing-too.md: no file "
        + os.path.relpath(tmp_path / "missing-too.md", TOP)]

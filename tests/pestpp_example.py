#!/usr/bin/env python3
"""pestpp_example.py - checks the PEST++ example (examples/pestpp) against a
real run of the example, without PEST++ itself.

- The template filled with the control files' base values (a straight field
  substitution) gives a parameter file whose run, made by the example's own
  run.sh in a folder made by setup.sh, is byte for byte the example run.
- Every observation is read from the example's outputs by the instruction
  files under PEST++'s reading rules, holds the value the control files give
  it, and is the field its name says (budget group, zone or total, year; or
  row and column of the steady precipitation recharge array).

Usage: pestpp_example.py BUILD_DIR WORK_DIR
"""
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
EXAMPLE = os.path.join(TOP, 'examples', 'pestpp')
faults = []


def fault(msg):
    faults.append(msg)


def read_pst(path):
    """Parameters {name: (base text, lower, upper)}, observations
    {name: (value text, weight, group)}, the model command and the
    template/instruction file pairs of a classic control file."""
    sections, name = {}, None
    for line in open(path).read().split('\n'):
        if line.startswith('*'):
            name = line[1:].strip()
            sections[name] = []
        elif name and line.strip() and not line.startswith('++'):
            sections[name].append(line.split())
    pars = {t[0]: (t[3], float(t[4]), float(t[5])) for t in sections['parameter data']}
    obs = {t[0]: (t[1], float(t[2]), t[3]) for t in sections['observation data']}
    command = ' '.join(sections['model command line'][0])
    return pars, obs, command, [tuple(t) for t in sections['model input/output']]


def template_fields(text):
    """The marker and the names of the fields of a PEST template."""
    first, _, body = text.partition('\n')
    tag, marker = first.split()
    assert tag == 'ptf' and len(marker) == 1, first
    names = []
    for n, line in enumerate(body.split('\n'), 2):
        parts = line.split(marker)
        if len(parts) % 2 == 0:
            fault('quon.tpl line %d: unbalanced marker' % n)
        names += [p.strip() for p in parts[1::2]]
    return marker, body, names


def read_ins(ins_path, out_path):
    """Runs an instruction file on an output file as PEST++ does, for the
    instructions the example uses (primary markers, l, fixed [name]s:e);
    any other instruction is refused. Returns {name: (value, output line
    number, first column, last column)}."""
    ins = open(ins_path).read().split('\n')
    out = open(out_path).read().split('\n')
    marker = ins[0].split()[1]
    obs, n, raw, cur = {}, 0, '', ''
    for iline in ins[1:]:
        # A marker keeps its blanks; everything else splits on blanks.
        tokens = []
        for i, part in enumerate(iline.split(marker)):
            tokens += [marker + part + marker] if i % 2 else part.split()
        for k, tok in enumerate(tokens):
            if tok.startswith(marker) and k == 0:
                # The search starts on the next output line.
                tag = tok[1:-1]
                while True:
                    if n >= len(out):
                        raise ValueError('%s: marker %r not found' % (ins_path, tok))
                    raw = out[n]
                    n += 1
                    if tag in raw:
                        break
                cur = raw[raw.index(tag) + len(tag):]
            elif tok[0] in 'lL':
                n += int(tok[1:])
                raw = cur = out[n - 1]
            elif tok[0] == '[':
                m = re.fullmatch(r'\[(\w+)\](\d+):(\d+)', tok)
                s, e = int(m.group(2)), min(int(m.group(3)), len(raw))
                text = raw[s - 1:e]
                # PEST++ converts the whole field (no trailing blank) and
                # looks for it after the cursor.
                if text != text.rstrip() or text not in cur:
                    raise ValueError('%s: field %s of line %d is %r' % (ins_path, tok, n, text))
                cur = cur[cur.index(text) + len(text):]
                obs[m.group(1)] = (float(text), n, s, e)
            else:
                raise ValueError('%s: instruction %r not handled' % (ins_path, tok))
    return obs


# Budget table groups by the observation names' prefixes.
GROUPS = dict(irr='gwIrr_af', mi='gwMI_af', agw='gwArea_ac', aco='coArea_ac',
              asw='swArea_ac', rcp='RchRcp_af', rcg='RchRcg_af', rcs='RchRcs_af',
              rcc='RchRcc_af')
BACK = {'co': 3, 'ks': 2, 'ne': 1, 'tot': 0}  # columns before the group total


def check_meaning(name, got, out_path):
    """Checks that an observation is the field its name names, by the file's
    own layout: the budget table's header words, or the RCH file's array of
    the steady period (20 values of 9 characters a line, 17 lines a row)."""
    value, n, s, e = got
    lines = open(out_path).read().split('\n')
    m = re.fullmatch(r'(\w+?)_(co|ks|ne|tot)_(ss|\d{4})', name)
    if m and os.path.basename(out_path) == 'fort.2':
        g, col, label = m.groups()
        header = lines[0].split()
        row = lines[n - 1].split()
        if label == 'ss':
            want = (row[0] == 'SS' and g == 'rcp', 4 - BACK[col])
        else:
            want = (row[0] == label, header.index(GROUPS[g]) - BACK[col])
        word = row[want[1]] if want[0] and want[1] < len(row) else None
        ok = word is not None and len(row) in (5, len(header)) and \
            lines[n - 1][s - 1:e].strip() == word
    elif re.fullmatch(r'ssp_r\d{3}c\d{3}', name):
        r, c = int(name[5:8]), int(name[9:12])
        start = lines.index(next(l for l in lines if l.endswith('Steady ')))
        want_n = start + 2 + (r - 1) * 17 + (c - 1) // 20
        want_s = (c - 1) % 20 * 9 + 1
        ok = (n, s, e) == (want_n, want_s, want_s + 8)
    else:
        ok = False
    if not ok:
        fault('%s is read from line %d, columns %d:%d of %s: not the field it names'
              % (name, n, s, e, out_path))


def run(cmd, **kw):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)
    if p.returncode != 0:
        sys.exit('%s failed with status %d:\n%s' % (' '.join(cmd), p.returncode, p.stdout))


def main():
    build, work = (os.path.abspath(a) for a in sys.argv[1:3])
    marker, body, fields = template_fields(open(os.path.join(EXAMPLE, 'quon.tpl')).read())
    swp = read_pst(os.path.join(EXAMPLE, 'quon.pst'))
    ies = read_pst(os.path.join(EXAMPLE, 'quon_ies.pst'))
    pars, obs, command, io = swp
    if ies != swp:
        fault('quon_ies.pst and quon.pst differ in parameters, observations or model files')
    if sorted(fields) != sorted(pars):
        fault('template fields %s != control file parameters %s' % (sorted(fields), sorted(pars)))
    for p, (base, lo, hi) in pars.items():
        if not lo <= float(base) <= hi:
            fault('%s: base value %s outside its bounds' % (p, base))
    rows = [l.split(',') for l in open(os.path.join(EXAMPLE, 'sweep.csv')).read().split()]
    if sorted(rows[0][1:]) != sorted(pars) or any(len(r) != len(rows[0]) for r in rows):
        fault('sweep.csv does not give every parameter on every row')
    if command != 'sh run.sh':
        fault('model command is %r' % command)

    # The example run, and the same run made through the PEST++ files.
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    ref, pest = os.path.join(work, 'ref'), os.path.join(work, 'pest')
    run(['bash', os.path.join(TOP, 'examples', 'run.sh'), build, ref])
    run(['bash', os.path.join(EXAMPLE, 'setup.sh'), build, pest])
    outputs = []
    for d, _, files in os.walk(ref):
        # The picture report of the example run is not one of quon's outputs.
        if os.path.relpath(d, ref).split(os.sep)[0] == 'report':
            continue
        outputs += [os.path.relpath(os.path.join(d, f), ref) for f in files if f != 'quon.par']
    for rel in ('fort.2', 'precip.rch'):
        if os.path.exists(os.path.join(pest, rel)):
            fault('setup.sh left an output (%s) in the working folder' % rel)
    filled = re.sub(re.escape(marker) + '([^' + re.escape(marker) + ']*)' + re.escape(marker),
                    lambda m: pars[m.group(1).strip()][0], body)
    open(os.path.join(pest, 'quon.par'), 'w').write(filled)
    run(['sh', 'run.sh'], cwd=pest)
    for rel in outputs:
        a, b = os.path.join(ref, rel), os.path.join(pest, rel)
        if not os.path.exists(b) or open(a, 'rb').read() != open(b, 'rb').read():
            fault('%s of the base-value run differs from the example run' % rel)

    # Every observation: read, valued as the control file says, and meant.
    read = {}
    for ins, out in (pair for pair in io if pair[0].endswith('.ins')):
        got = read_ins(os.path.join(EXAMPLE, ins), os.path.join(ref, out))
        for name, g in got.items():
            check_meaning(name, g, os.path.join(ref, out))
        read.update(got)
    if sorted(read) != sorted(obs):
        fault('observations read %s != control file %s' % (sorted(read), sorted(obs)))
    for name in set(read) & set(obs):
        if float(obs[name][0]) != read[name][0]:
            fault('%s: control file value %s, example run %r' % (name, obs[name][0], read[name][0]))

    for f in faults:
        print('FAULT:', f)
    print('%d parameters, %d observations, %d output files compared; %d faults'
          % (len(pars), len(read), len(outputs), len(faults)))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())

// clash.cpp - one file named for two uses: every output against the inputs
// and the other outputs by name, device and inode (links included), and the
// yearly output families against the files the span reads.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "calendar.h"
#include "clash.h"
#include "fmt.h"
#include "guard.h"
#include "inputguard.h"
#include "messages.h"
#include "period.h"
#include "places.h"
#include "say.h"
#include "schedule.h"
#include "tables.h"
#include "reporters.h"
#include "utl.h"

namespace quon {
namespace {

// A file the settings name: its use, its name and its key.
struct Named {
  std::string_view use;
  int number = 0; // RECHARGE file number, else 0
  std::string_view name;
  FileKey key;
};

// A family of per-year files in one folder: the store files, the annual
// pumping tables, or one state's data files.
struct Family {
  std::string_view use;
  std::string_view dir;
  FileKey dirkey;   // the folder itself
  int state = -1;   // a state's data files, else -1
  OutputFamily out; // an output family's endings
};

bool folder_of(const FileKey &k, const FileKey &dir) {
  return k.folder && dir.exists && k.dirdev == dir.dev && k.dirino == dir.ino;
}

bool year_word(std::string_view w, const Run &run) {
  if (w.size() != 4)
    return false;
  int y = 0;
  for (char ch : w) {
    if (ch < '0' || ch > '9')
      return false;
    y = y * 10 + (ch - '0');
  }
  return in_transient(run, y);
}

// True when base is the last component of a file of the family.
bool family_base(const Run &run, const Family &f, std::string_view base) {
  const std::size_t dot = base.find('.');
  if (dot == std::string_view::npos)
    return false;
  const std::string_view head = base.substr(0, dot);
  const std::string_view rest = base.substr(dot + 1);
  if (f.state < 0) {
    if (!year_word(head, run))
      return false;
    for (int e = 0; e < f.out.nexts; ++e)
      if (rest == f.out.exts[std::size_t(e)])
        return true;
    return false;
  }
  if (head == "steady") {
    if (!has_steady(run))
      return false;
    for (int kind = FIRST_PERIOD_KIND; kind < NKIND; ++kind)
      if (rest == KIND[kind] && reads(run, f.state, kind))
        return true;
    return false;
  }
  if (!year_word(head, run))
    return false;
  for (int kind = 0; kind < NKIND; ++kind) {
    if (!ANNUAL[kind] || !reads(run, f.state, kind))
      continue;
    if (rest == KIND[kind])
      return true;
  }
  // year.mm.kind
  if (rest.size() < 4 || rest[2] != '.' || rest[0] < '0' || rest[0] > '1' ||
      rest[1] < '0' || rest[1] > '9')
    return false;
  const int m = (rest[0] - '0') * 10 + (rest[1] - '0');
  if (m < 1 || m > 12)
    return false;
  for (int kind = FIRST_MONTHLY_KIND; kind < NKIND; ++kind)
    if (rest.substr(3) == KIND[kind] && reads(run, f.state, kind))
      return true;
  return false;
}

// One file for two uses: "a.rch (WELL file and RECHARGE file 1)", or both
// names when they differ ("l.rch (WELL file) and a.rch (RECHARGE file 1)").
void two_uses(Stopper &stop, std::string_view name1, std::string_view use1,
              int n1, std::string_view name2, std::string_view use2, int n2) {
  Detail a, b, t;
  use_text(a, use1, n1);
  use_text(b, use2, n2);
  if (name1 != name2)
    say(t, msg::TWO_USES_TWO_NAMES, {name1, a.view(), name2, b.view()});
  else
    say(t, msg::TWO_USES_ONE_NAME, {name1, a.view(), b.view()});
  stop.stop(msg::FILE_TWO_USES, t.view());
}

// The named files of the run: inputs first, then outputs.
struct NamedFiles {
  std::array<Named, NFILEUSE + MAXRCH + 4 + MF6FILES> f;
  int n = 0, ninputs = 0;
  void add(std::string_view use, int number, std::string_view name) {
    const std::size_t k = std::size_t(length0(name));
    if (k == 0 || n == int(f.size()))
      return;
    Named &e = f[std::size_t(n)];
    e.use = use;
    e.number = number;
    e.name = name.substr(0, k);
    if (file_key(e.name, e.key))
      ++n;
  }
};

} // namespace

void check_files(Run &run, Stopper &stop) {
  static NamedFiles nf; // about 100 KB of keys: kept off the stack
  static std::array<Family, 2 + NSTATE> fam;
  nf.n = 0;
  // "*" as a zone grid name reads no file.
  for (int u = 0; u < NINPUTUSE; ++u)
    if (run.usedname[std::size_t(u)].trimmed() != "*")
      nf.add(msg::USE_NAMES[u], 0, run.usedname[std::size_t(u)].full());
  nf.ninputs = nf.n;
  for (const Writer *w : run.writers)
    for (int i = 0; i < w->files(run); ++i) {
      const OutputName o = w->file(run, i);
      nf.add(o.use, o.number, o.name);
    }

  // Outputs against every named file before them, then, by device and
  // inode, against every other file the run reads: a file a keyword named
  // before it was named again, and the per-state files of the span.
  for (int i = nf.ninputs; i < nf.n; ++i) {
    bool input = false;
    for (int j = 0; j < i; ++j) {
      const Named &a = nf.f[std::size_t(j)], &b = nf.f[std::size_t(i)];
      if (same_file(a.key, b.key)) {
        two_uses(stop, a.name, a.use, a.number, b.name, b.use, b.number);
        input = input || j < nf.ninputs;
      }
    }
    const Named &b = nf.f[std::size_t(i)];
    const std::string_view in = input_named(b.key);
    if (!input && !in.empty())
      two_uses(stop, in, msg::USE_INPUT, 0, b.name, b.use, b.number);
  }

  // The per-year families.
  const bool span = run.trans_start <= run.trans_end;
  int nfam = 0;
  auto family = [&](std::string_view use, std::string_view dir, int state,
                    const OutputFamily &out) {
    Family &f = fam[std::size_t(nfam)];
    f.use = use;
    f.dir = dir;
    f.state = state;
    f.out = out;
    if (file_key(dir, f.dirkey) && f.dirkey.exists)
      ++nfam;
  };
  // The writers' yearly families (a family without a folder is in the run
  // folder).
  for (const Writer *w : run.writers) {
    OutputFamily out;
    if (span && nfam < 2 && w->family(run, out))
      family(out.use, out.dir.empty() ? "." : out.dir, -1, out);
  }
  const int noutfam = nfam;
  for (int k = 0; k < NSTATE; ++k)
    family(msg::USE_STATEFILE, state_dir(run, k), k, OutputFamily{});

  // A named file inside a family: outputs against every family, inputs
  // against the output families.
  for (int i = 0; i < nf.n; ++i) {
    const Named &a = nf.f[std::size_t(i)];
    const int last = i < nf.ninputs ? noutfam : nfam;
    for (int j = 0; j < last; ++j) {
      const Family &f = fam[std::size_t(j)];
      if (folder_of(a.key, f.dirkey) && family_base(run, f, a.key.base())) {
        Detail use;
        if (f.state >= 0)
          use.text(run.statecode[std::size_t(f.state)].full());
        use.text(f.use);
        two_uses(stop, a.name, a.use, a.number, a.name, use.view(), 0);
      }
    }
  }

  // Output families against each other and against the state files: the
  // store names against each other, the annual tables and the state files,
  // for the first transient year (every year names its files alike).
  if (!span || run.nstore != 3 || fam[0].use != msg::USE_STORE)
    return;
  const Family &store = fam[0];
  for (int a = 0; a < 3; ++a) {
    const std::string_view na = run.storenames[std::size_t(a)].trimmed();
    Detail path;
    yearly_path(path, store.dir, run.trans_start, na);
    for (int b = 0; b < a; ++b)
      if (na == run.storenames[std::size_t(b)].trimmed())
        two_uses(stop, path.view(), msg::USE_STORE, b + 1, path.view(),
                 msg::USE_STORE, a + 1);
    Detail base;
    yearly_path(base, {}, run.trans_start, na);
    for (int j = 1; j < nfam; ++j) {
      const Family &f = fam[std::size_t(j)];
      if (f.dirkey.dev != store.dirkey.dev || f.dirkey.ino != store.dirkey.ino)
        continue;
      if (!family_base(run, f, base.view()))
        continue;
      Detail use;
      if (f.state >= 0)
        use.text(run.statecode[std::size_t(f.state)].full());
      use.text(f.use);
      two_uses(stop, path.view(), msg::USE_STORE, a + 1, path.view(),
               use.view(), 0);
    }
  }
}

// The per-year outputs of the span against the files the run reads.
void check_year_outputs(Run &run, Stopper &stop) {
  // The per-year outputs of every year that exist (or that a link names)
  // against the files the run reads, by device and inode.
  const int found = stop.count();
  if (run.trans_start <= run.trans_end && spans_runnable(run)) {
    static FileKey key; // a few KB: kept off the stack
    for (int y = run.trans_start; y <= run.trans_end; ++y) {
      auto against = [&](std::string_view use, int number, Detail &path) {
        if (!file_key(path.view(), key))
          return;
        const std::string_view in = input_named(key);
        if (!in.empty())
          two_uses(stop, in, msg::USE_INPUT, 0, path.view(), use, number);
      };
      for (const Writer *w : run.writers) {
        OutputFamily f;
        if (!w->family(run, f))
          continue;
        for (int a = 0; a < f.nexts; ++a) {
          Detail path;
          yearly_path(path, f.dir, y, f.exts[std::size_t(a)]);
          against(f.use, f.nexts > 1 ? a + 1 : 0, path);
        }
      }
      if (stop.count() > found || y == run.trans_end)
        break; // one year's clash tells it; never step past INT_MAX
    }
  }
}
} // namespace quon

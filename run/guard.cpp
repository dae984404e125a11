// guard.cpp - what is checked of a run's settings before its first period:
// conditions under which the periods would be wrong (missing precipitation
// years, too few or coinciding stations, one file named for two uses, a
// year read as 0) end the run, as the span and table checks do; a missing
// state folder is a warning. Also the files the span reads, the dry run's
// inventory of them and the summary at the end of a run.

#include "guard.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "calendar.h"
#include "fmt.h"
#include "messages.h"
#include "mf6.h"
#include "period.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// One line on standard output (no null pointer to fwrite for an empty
// text).
void out(std::string_view a, std::string_view b = {}) {
  if (!a.empty())
    std::fwrite(a.data(), 1, a.size(), stdout);
  if (!b.empty())
    std::fwrite(b.data(), 1, b.size(), stdout);
  std::fputc('\n', stdout);
}

// ---- The span's years and the per-state files -------------------------------

bool has_steady(const Run &run) { return run.steady_start > 0; }

// The transient years, empty when the end is before the start. Years are
// compared, never subtracted, so no year word can overflow a count.
bool in_transient(const Run &run, int y) {
  return y >= run.trans_start && y <= run.trans_end;
}

// The kinds of per-state files in the order a period reads them.
constexpr std::string_view KIND[] = {"agw", "asw", "aco", "mi",
                                     "pmp", "rcg", "rcs", "rcc"};
constexpr int NKIND = 8;
// Kinds read only where the state pumps (not under NOPUMP).
constexpr bool PUMPED[NKIND] = {true, false, false, true,
                                true, true,  false, false};
// Annual kinds (year.kind); the others are monthly (year.mm.kind) and, with
// mi, the steady period's (steady.kind).
constexpr bool ANNUAL[NKIND] = {true,  true,  true,  true,
                                false, false, false, false};

// True when the span's years lie in the table, so that walking them reads
// a bounded number of files.
bool spans_runnable(const Run &run) {
  if (has_steady(run) &&
      (run.steady_end < run.steady_start || run.steady_start < FIRSTYEAR ||
       run.steady_end > LASTYEAR))
    return false;
  return run.trans_start > run.trans_end ||
         (run.trans_start >= FIRSTYEAR && run.trans_end <= LASTYEAR);
}

bool reads(const Run &run, int state, int kind) {
  return !PUMPED[kind] || run.pumpflag[std::size_t(state)] != 0;
}

// The folder of a state as its file names use it.
std::string_view state_dir(const Run &run, int k) {
  const std::string_view d = run.statedir[std::size_t(k)].full();
  return d.substr(0, std::size_t(length(d)));
}

// Calls fn(state, kind, path) for every per-state file the span reads, in
// the order of the run's periods. The path is built in a fixed buffer.
template <class Fn> void for_each_state_file(const Run &run, Fn fn) {
  char path[WORDLEN + 32];
  auto emit = [&](int k, int kind, std::string_view part) {
    // The same cut as the run's own paths: the folder keeps WORDLEN bytes.
    const std::string_view dir = state_dir(run, k);
    std::size_t n = std::min(dir.size(), std::size_t(WORDLEN));
    if (n > 0)
      std::memcpy(path, dir.data(), n);
    path[n++] = '/';
    std::memcpy(path + n, part.data(), part.size());
    n += part.size();
    path[n++] = '.';
    std::memcpy(path + n, KIND[kind].data(), KIND[kind].size());
    n += KIND[kind].size();
    fn(k, kind, part, std::string_view(path, n));
  };
  if (has_steady(run))
    for (int k = 0; k < NSTATE; ++k)
      for (int kind = 3; kind < NKIND; ++kind)
        if (reads(run, k, kind))
          emit(k, kind, "steady");
  for (int y = run.trans_start; in_transient(run, y); ++y) {
    char y4[8];
    const std::string_view year(y4, std::size_t(year_label(y4, y) - y4));
    for (int kind = 0; kind < 3; ++kind)
      for (int k = 0; k < NSTATE; ++k)
        if (reads(run, k, kind))
          emit(k, kind, year);
    for (int m = 1; m <= 12; ++m) {
      char p[8];
      const std::string_view part(p, std::size_t(month_part(p, y, m) - p));
      for (int k = 0; k < NSTATE; ++k) {
        if (m == 1 && reads(run, k, 3))
          emit(k, 3, year);
        for (int kind = 4; kind < NKIND; ++kind)
          if (reads(run, k, kind))
            emit(k, kind, part);
      }
    }
    if (y == run.trans_end) // the last year: never step past INT_MAX
      break;
  }
}

// ---- One file named for two uses --------------------------------------------

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
  FileKey dirkey; // the folder itself
  int state = -1; // a state's data files, else -1
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
    if (f.use == msg::USE_ANNPUMP)
      return rest == "csv";
    for (const Name &n : run.storenames)
      if (run.nstore == 3 && rest == n.trimmed())
        return true;
    return false;
  }
  if (head == "steady") {
    if (!has_steady(run))
      return false;
    for (int kind = 3; kind < NKIND; ++kind)
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
  for (int kind = 4; kind < NKIND; ++kind)
    if (rest.substr(3) == KIND[kind] && reads(run, f.state, kind))
      return true;
  return false;
}

// A use as the messages name it: "RECHARGE file 2", "co data file".
void use_text(Detail &t, std::string_view use, int number) {
  t.text(use);
  if (number > 0)
    t.text(" ").integer(number);
}

// One file for two uses: "a.rch (WELL file and RECHARGE file 1)", or both
// names when they differ ("l.rch (WELL file) and a.rch (RECHARGE file 1)").
void two_uses(Stopper &stop, std::string_view name1, std::string_view use1,
              int n1, std::string_view name2, std::string_view use2, int n2) {
  Detail t;
  t.text(name1).text(" (");
  use_text(t, use1, n1);
  if (name1 != name2)
    t.text(") and ").text(name2).text(" (");
  else
    t.text(" and ");
  use_text(t, use2, n2);
  t.text(")");
  stop.stop(msg::FILE_TWO_USES, t.view());
}

// The named files of the run: inputs first, then outputs. Besides the
// uses: the two MF6 layer grids, the WEL, RCH and report files and the two
// sub-area files.
struct NamedFiles {
  std::array<Named, NFILEUSE + 2 + MAXRCH + 4 + MF6FILES> f;
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

void check_files(Run &run, Stopper &stop) {
  static NamedFiles nf; // about 100 KB of keys: kept off the stack
  static std::array<Family, 2 + NSTATE> fam;
  nf.n = 0;
  // "*" as a zone grid name reads no file.
  for (int u = 0; u < NINPUTUSE; ++u)
    if (run.usedname[std::size_t(u)].trimmed() != "*")
      nf.add(msg::USE_NAMES[u], 0, run.usedname[std::size_t(u)].full());
  nf.add(msg::USE_MF6_IRCH, 0, run.mf6opt.irch.full());
  nf.add(msg::USE_MF6_WELLAYER, 0, run.mf6opt.wellayer.full());
  nf.ninputs = nf.n;
  nf.add(msg::USE_WELL, 0, run.wellname.full());
  for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k)
    nf.add(msg::USE_RECHARGE, k + 1, run.rchnames[std::size_t(k)].full());
  for (int i = 0; i < MF6FILES; ++i) {
    const Mf6Entry e = mf6_entry(run, i);
    nf.add(e.use, e.number, e.name);
  }
  nf.add(msg::USE_REPORT, 0, "fort.2");
  if (run.has_subarea) {
    nf.add(msg::USE_PUMPBSN, 0, "quon/pump.bsn");
    nf.add(msg::USE_RECHBSN, 0, "quon/rech.bsn");
  }
  for (int u = NINPUTUSE; u < NFILEUSE; ++u)
    nf.add(msg::USE_NAMES[u], 0, run.usedname[std::size_t(u)].full());

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
  auto family = [&](std::string_view use, std::string_view dir, int state) {
    Family &f = fam[std::size_t(nfam)];
    f.use = use;
    f.dir = dir;
    f.state = state;
    if (file_key(dir, f.dirkey) && f.dirkey.exists)
      ++nfam;
  };
  if (span && run.nstore == 3)
    family(msg::USE_STORE, run.storedir.trimmed(), -1);
  if (span && run.annpump)
    family(msg::USE_ANNPUMP, ".", -1);
  const int noutfam = nfam;
  for (int k = 0; k < NSTATE; ++k)
    family(msg::USE_STATEFILE, state_dir(run, k), k);

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
  char y4[8];
  const std::string_view year(
      y4, std::size_t(year_label(y4, run.trans_start) - y4));
  for (int a = 0; a < 3; ++a) {
    const std::string_view na = run.storenames[std::size_t(a)].trimmed();
    Detail path;
    path.text(store.dir).text("/").text(year).text(".").text(na);
    for (int b = 0; b < a; ++b)
      if (na == run.storenames[std::size_t(b)].trimmed())
        two_uses(stop, path.view(), msg::USE_STORE, b + 1, path.view(),
                 msg::USE_STORE, a + 1);
    Detail base;
    base.text(year).text(".").text(na);
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
      char y4[8];
      const std::string_view year(y4, std::size_t(year_label(y4, y) - y4));
      auto against = [&](std::string_view use, int number, Detail &path) {
        if (!file_key(path.view(), key))
          return;
        const std::string_view in = input_named(key);
        if (!in.empty())
          two_uses(stop, in, msg::USE_INPUT, 0, path.view(), use, number);
      };
      for (int a = 0; a < (run.nstore == 3 ? 3 : 0); ++a) {
        Detail path;
        path.text(run.storedir.trimmed()).text("/").text(year).text(".");
        path.text(run.storenames[std::size_t(a)].trimmed());
        against(msg::USE_STORE, a + 1, path);
      }
      if (run.annpump) {
        Detail path;
        path.text(year).text(".csv");
        against(msg::USE_ANNPUMP, 0, path);
      }
      if (stop.count() > found || y == run.trans_end)
        break; // one year's clash tells it; never step past INT_MAX
    }
  }
}

// ---- Stations and places
// ------------------------------------------------------

// True when the drift terms of order d (1, then x^k and y^k for k = 1..d)
// are independent at the n stations, so that the kriging system can be
// solved: each term, taken at the stations (centred and scaled), must keep
// more than DRIFTRANKTOL of its length once the terms before it are taken
// out (Gram-Schmidt, twice for accuracy). Stations on one straight line
// fail for drift order 1 and 2. Never allocates.
bool drift_carried(const StationTable &st, int n, int d) {
  if (d <= 0 || n <= 0)
    return true;
  double mx = 0.0, my = 0.0;
  for (int i = 0; i < n; ++i) {
    mx += st.x[std::size_t(i)];
    my += st.y[std::size_t(i)];
  }
  mx /= n;
  my /= n;
  double scale = 0.0;
  for (int i = 0; i < n; ++i)
    scale = std::max({scale, std::fabs(st.x[std::size_t(i)] - mx),
                      std::fabs(st.y[std::size_t(i)] - my)});
  if (scale == 0.0)
    return false;
  static std::array<std::array<double, MAXSTATION>, 2 * MAXDRIFT + 1> q;
  const auto dot = [n](const auto &a, const auto &b) {
    double s = 0.0;
    for (int i = 0; i < n; ++i)
      s += a[std::size_t(i)] * b[std::size_t(i)];
    return s;
  };
  for (int j = 0; j <= 2 * d; ++j) {
    auto &col = q[std::size_t(j)];
    for (int i = 0; i < n; ++i) {
      const double v = j % 2 == 1 ? (st.x[std::size_t(i)] - mx) / scale
                                  : (st.y[std::size_t(i)] - my) / scale;
      col[std::size_t(i)] = j == 0 ? 1.0 : std::pow(v, (j + 1) / 2);
    }
    const double before = std::sqrt(dot(col, col));
    for (int pass = 0; pass < 2; ++pass)
      for (int k = 0; k < j; ++k) {
        const double p = dot(q[std::size_t(k)], col);
        for (int i = 0; i < n; ++i)
          col[std::size_t(i)] -= p * q[std::size_t(k)][std::size_t(i)];
      }
    const double after = std::sqrt(dot(col, col));
    if (!(after > DRIFTRANKTOL * before))
      return false;
    for (int i = 0; i < n; ++i)
      col[std::size_t(i)] /= after;
  }
  return true;
}

// Stations far outside the grid: reported, the run goes on.
void warn_far_stations(const StationTable &st, int n) {
  const double x1 = X0 + NCOL * CELLSIZE, y1 = Y0 + NROW * CELLSIZE;
  const double far = STATIONFAR * CELLSIZE;
  for (int i = 0; i < n; ++i) {
    const double x = st.x[std::size_t(i)], y = st.y[std::size_t(i)];
    const double dx = std::max({X0 - x, 0.0, x - x1});
    const double dy = std::max({Y0 - y, 0.0, y - y1});
    if (std::hypot(dx, dy) > far) {
      Detail t;
      t.text(st.name[std::size_t(i)].trimmed()).text(" at ").real(x);
      warn(msg::STATION_FAR, t.text(" ").real(y).view());
    }
  }
}

void check_stations(Run &run, Stopper &stop) {
  const StationTable &st = run.stations;
  if (!st.given)
    return;
  const int need = 2 * std::clamp(st.drift, 0, MAXDRIFT) + 1;
  if (st.count < need) {
    Detail t;
    t.integer(st.count).text(" read, ").integer(need).text(
        " needed for drift order ");
    t.integer(st.drift);
    stop.stop(msg::TOO_FEW_STATIONS, t.view());
  } else if (st.drift <= MAXDRIFT &&
             !drift_carried(st, std::min(st.count, MAXSTATION), st.drift)) {
    Detail t;
    t.text("drift order ").integer(st.drift).text(" with these ");
    t.integer(st.count).text(" stations (on one straight line, or on one "
                             "curve of the drift's order)");
    stop.stop(msg::STATION_LAYOUT, t.view());
  }
  warn_far_stations(st, std::clamp(st.count, 0, MAXSTATION));
  const int n = std::clamp(st.count, 0, MAXSTATION);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j)
      if (st.x[std::size_t(i)] == st.x[std::size_t(j)] &&
          st.y[std::size_t(i)] == st.y[std::size_t(j)]) {
        Detail t;
        t.text(st.name[std::size_t(j)].trimmed())
            .text(" and ")
            .text(st.name[std::size_t(i)].trimmed());
        stop.stop(msg::SAME_STATION, t.view());
      }

  // Precipitation years: only when stations were read (without stations the
  // table is never used).
  if (st.count <= 0)
    return;
  Detail t;
  int missing = 0;
  auto year = [&](int y) {
    if (y >= FIRSTYEAR && y <= LASTYEAR &&
        st.hasyear[std::size_t(y - FIRSTYEAR)])
      return;
    if (++missing <= 5)
      t.integer(y).text(" ");
  };
  if (has_steady(run) && run.steady_start <= run.steady_end)
    for (int y = run.steady_start; y <= run.steady_end && y <= LASTYEAR; ++y)
      year(y);
  if (run.trans_start >= FIRSTYEAR)
    for (int y = run.trans_start; y <= run.trans_end && y <= LASTYEAR; ++y)
      year(y);
  if (missing > 0) {
    t.text("(").integer(missing).text(missing == 1 ? " year)" : " years)");
    Detail m;
    m.text(msg::PRECIP_FILE).text(run.usedname[USE_STATIONPPT].trimmed());
    stop.stop(m.text(msg::PRECIP_NO_LINE).view(), t.view());
  }
}

void check_terrain_places(const Run &run, Stopper &stop) {
  // Classified cells with no location to krige their multipliers from.
  if (!run.usedname[USE_TERMULT].blank() && run.nterrain <= 0 &&
      run.nterclass > 0)
    stop.stop(msg::NO_TERRAIN_LOCATIONS, run.usedname[USE_TERMULT].trimmed());
  const int n = std::clamp(run.nterrain, 0, MAXTERRAIN);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j)
      if (run.terx[std::size_t(i)] == run.terx[std::size_t(j)] &&
          run.tery[std::size_t(i)] == run.tery[std::size_t(j)]) {
        Detail t;
        t.text("locations ")
            .integer(j + 1)
            .text(" and ")
            .integer(i + 1)
            .text(" at ");
        t.real(run.terx[std::size_t(i)])
            .text(" ")
            .real(run.tery[std::size_t(i)]);
        stop.stop(msg::SAME_TERRAIN, t.view());
      }
}

// ---- Spans and tables
// ---------------------------------------------------------

void check_spans(Run &run, Stopper &stop) {
  if (!run.badyear.blank())
    stop.stop(msg::YEAR_NOT_WHOLE, run.badyear.trimmed());
  if (run.nrch > MAXRCH) {
    Detail t;
    stop.stop(msg::RECHARGE_TOO_MANY, t.integer(run.nrch).view());
  }
  if (run.append != 0 && !run.mf6base.blank())
    stop.stop(msg::MF6_APPEND, run.mf6base.trimmed());
  if (has_steady(run) &&
      (run.steady_end < run.steady_start || run.steady_start < FIRSTYEAR ||
       run.steady_end > LASTYEAR)) {
    Detail t;
    t.integer(run.steady_start).text(" ").integer(run.steady_end);
    stop.stop(msg::STEADY_SPAN, t.view());
  }
  if (run.trans_start <= run.trans_end &&
      (run.trans_start < FIRSTYEAR || run.trans_end > LASTYEAR)) {
    Detail t;
    t.integer(run.trans_start).text(" ").integer(run.trans_end);
    stop.stop(msg::TRANSIENT_SPAN, t.view());
  }
  const StationTable &st = run.stations;
  if (st.drift < 0 || st.drift > MAXDRIFT || st.count < 0 ||
      st.count > MAXSTATION || st.count + 2 * st.drift + 1 > MAXKRIG) {
    Detail t;
    stop.stop(msg::KRIG_STORE, t.integer(st.drift).view());
  }
}

} // namespace

void Stopper::stop(std::string_view msg, std::string_view tail) {
  if (!collect_)
    endrun(msg, tail);
  ++count_;
  Detail t;
  out(t.text("  would end the run: ").text(msg).view(), tail);
}

// A state folder that exists but is a file, or cannot be read: every file
// of the state would count as zeros, so the run ends naming it. A folder
// that does not exist is only reported (warn_state_folders).
void check_state_folders(const Run &run, Stopper &stop) {
  if (!has_steady(run) && run.trans_start > run.trans_end)
    return;
  for (int k = 0; k < NSTATE; ++k) {
    const std::string_view dir = state_dir(run, k);
    char c[WORDLEN + 1];
    std::memcpy(c, dir.data(), dir.size());
    c[dir.size()] = '\0';
    struct stat sb;
    if (::stat(c, &sb) != 0)
      continue;
    Detail t;
    t.text(run.statecode[std::size_t(k)].full()).text(" ").text(dir);
    if (!S_ISDIR(sb.st_mode))
      stop.stop(msg::STATE_FOLDER_NOT_FOLDER, t.view());
    else if (::access(c, R_OK | X_OK) != 0)
      stop.stop(msg::STATE_FOLDER_UNREADABLE, t.view());
  }
}

void check_settings(Run &run, Stopper &stop) {
  check_spans(run, stop);
  check_state_folders(run, stop);
  check_stations(run, stop);
  check_terrain_places(run, stop);
  // Every per-state file of the span that exists is an input no output may
  // land on; from now on the readers note no more inputs.
  if (spans_runnable(run))
    for_each_state_file(run, [](int, int, std::string_view,
                                std::string_view path) { note_input(path); });
  seal_inputs();
  const int before = stop.count();
  check_files(run, stop);
  if (stop.count() == before) // a name clash of the families says it
    check_year_outputs(run, stop);
}

namespace {

// Counts of one state and kind of file, with the first few names of the
// missing and of the unreadable ones.
struct FileCount {
  static constexpr int SHOWN = 3;
  int present = 0, missing = 0, unreadable = 0;
  std::array<std::array<char, WORDLEN + 32>, SHOWN> mname, uname;
  std::array<std::size_t, SHOWN> mlen{}, ulen{};
};

void keep(std::array<std::array<char, WORDLEN + 32>, FileCount::SHOWN> &names,
          std::array<std::size_t, FileCount::SHOWN> &lens, int count,
          std::string_view path) {
  if (count > FileCount::SHOWN)
    return;
  const std::size_t n = std::min(path.size(), names[0].size());
  std::memcpy(names[std::size_t(count - 1)].data(), path.data(), n);
  lens[std::size_t(count - 1)] = n;
}

void show(
    std::string_view what,
    const std::array<std::array<char, WORDLEN + 32>, FileCount::SHOWN> &names,
    const std::array<std::size_t, FileCount::SHOWN> &lens, int count) {
  if (count == 0)
    return;
  Detail t;
  t.text("      ").text(what).text(":");
  for (int i = 0; i < std::min(count, FileCount::SHOWN); ++i)
    t.text(" ").text({names[std::size_t(i)].data(), lens[std::size_t(i)]});
  if (count > FileCount::SHOWN)
    t.text(" (and ").integer(count - FileCount::SHOWN).text(" more)");
  out(t.view());
}

// Whether the run could create an output: its folder exists and takes new
// files, and an existing file of the name can be written.
std::string_view creatable(std::string_view name) {
  char c[WORDLEN + 8];
  const std::size_t n = std::min(name.size(), std::size_t(WORDLEN));
  if (n > 0)
    std::memcpy(c, name.data(), n);
  c[n] = '\0';
  struct stat sb;
  if (::stat(c, &sb) == 0) {
    if (S_ISDIR(sb.st_mode))
      return msg::OUTPUT_FOLDER_IN_WAY;
    // A pipe has no contents to replace: the run would wait for a reader or
    // give its records away.
    if (S_ISFIFO(sb.st_mode) || S_ISSOCK(sb.st_mode))
      return msg::OUTPUT_NOT_FILE;
    return ::access(c, W_OK) == 0 ? msg::EXIST_REPLACED : msg::OUTPUT_READ_ONLY;
  }
  char *slash = std::strrchr(c, '/');
  const char *dir = ".";
  if (slash) {
    *slash = '\0';
    dir = slash == c ? "/" : c;
  }
  if (::stat(dir, &sb) != 0 || !S_ISDIR(sb.st_mode))
    return msg::OUTPUT_NO_FOLDER;
  return ::access(dir, W_OK | X_OK) == 0 ? msg::CAN_BE_CREATED
                                         : msg::OUTPUT_FOLDER_READ_ONLY;
}

// Lists an output and whether it can be written; one the run cannot do
// without (a model file, the report or a budget file) and cannot create
// goes to the stopper too.
void show_output(std::string_view use, int number, std::string_view name,
                 Stopper *required = nullptr) {
  name = name.substr(0, std::size_t(length0(name)));
  if (name.empty())
    return;
  Detail t;
  t.text("  ");
  use_text(t, use, number);
  const std::string_view can = creatable(name);
  t.text(" ").text(name).text(": ").text(can);
  out(t.view());
  if (required && can != msg::CAN_BE_CREATED && can != msg::EXIST_REPLACED)
    required->stop(msg::CANNOT_OPEN, name);
}

// Lists the yearly outputs of a family (the store files, dir/year.ext, or
// the pumping tables, year.ext without a folder) over the transient years
// and whether each can be written: the first that cannot (to the stopper
// too when the run needs it), else how many exist and will be replaced.
void show_yearly(const Run &run, std::string_view use, std::string_view dir,
                 std::span<const std::string_view> exts,
                 Stopper *required = nullptr) {
  // Years outside the tables have been stopped already.
  if (run.trans_start < FIRSTYEAR || run.trans_end > LASTYEAR ||
      run.trans_start > run.trans_end || exts.empty())
    return;
  char path[WORDLEN + 32];
  const auto name = [&](int y, std::string_view ext) {
    Detail p;
    if (!dir.empty())
      p.text(dir).text("/");
    char y4[8];
    p.text({y4, std::size_t(year_label(y4, y) - y4)}).text(".").text(ext);
    const std::size_t n = std::min(p.view().size(), sizeof path);
    std::memcpy(path, p.view().data(), n);
    return std::string_view(path, n);
  };
  int files = 0, exist = 0;
  for (int y = run.trans_start; y <= run.trans_end; ++y)
    for (const std::string_view ext : exts) {
      ++files;
      const std::string_view can = creatable(name(y, ext));
      if (can == msg::EXIST_REPLACED) {
        ++exist;
      } else if (can != msg::CAN_BE_CREATED) {
        show_output(use, 0, name(y, ext));
        if (required)
          required->stop(msg::CANNOT_OPEN, name(y, ext));
        return;
      }
    }
  Detail t;
  t.text("  ").text(use).text(" ").text(name(run.trans_start, exts[0]));
  if (files > 1)
    t.text(" to ").text(name(run.trans_end, exts[exts.size() - 1]));
  t.text(": ");
  if (exist == 0)
    t.text(msg::CAN_BE_CREATED);
  else if (exist == files)
    t.text(files == 1 ? msg::EXIST_REPLACED : msg::ALL_EXIST_REPLACED);
  else
    t.integer(exist).text(" of ").integer(files).text(" exist and will be "
                                                      "replaced, the others "
                                                      "can be created");
  out(t.view());
}

} // namespace

int inventory(Run &run, Stopper &stop) {
  Detail t;
  t.text("Span:");
  if (has_steady(run))
    t.text(" steady ")
        .integer(run.steady_start)
        .text("-")
        .integer(run.steady_end)
        .text(" (1 period),");
  else
    t.text(" no steady period,");
  if (run.trans_start <= run.trans_end)
    t.text(" transient ")
        .integer(run.trans_start)
        .text("-")
        .integer(run.trans_end)
        .text(" (")
        .integer(12LL *
                 (static_cast<long long>(run.trans_end) - run.trans_start + 1))
        .text(" periods)");
  else
    t.text(" no transient years");
  out(t.view());

  // Every per-state file the span reads, read as the run reads it.
  static std::array<std::array<FileCount, NKIND>, NSTATE> counts;
  for (auto &s : counts)
    for (FileCount &c : s)
      c = FileCount{};
  // Read even when other conditions were found: a damaged data file must
  // not hide beside them.
  if (spans_runnable(run))
    for_each_state_file(run, [&](int k, int kind, std::string_view part,
                                 std::string_view path) {
      FileCount &c = counts[std::size_t(k)][std::size_t(kind)];
      if (!file_exists(path)) {
        keep(c.mname, c.mlen, ++c.missing, path);
        return;
      }
      const int before = report_count();
      bool ok = true;
      try {
        ok = readfile(run, run.readbuf, run.statedir[std::size_t(k)].full(),
                      part, KIND[kind]);
      } catch (const RunEnd &) {
        ok = false;
        stop.stop(msg::CANNOT_READ, path);
      }
      if (ok && report_count() == before)
        ++c.present;
      else
        keep(c.uname, c.ulen, ++c.unreadable, path);
    });
  out("Per-state files of the span: present, missing (count as zeros), "
      "unreadable");
  for (int k = 0; k < NSTATE; ++k)
    for (int kind = 0; kind < NKIND; ++kind) {
      const FileCount &c = counts[std::size_t(k)][std::size_t(kind)];
      if (c.present + c.missing + c.unreadable == 0)
        continue;
      Detail l;
      l.text("  ").text(run.statecode[std::size_t(k)].full()).text(" ");
      l.text(KIND[kind]).text(KIND[kind].size() == 2 ? " " : "").text(" ");
      l.integer(c.present)
          .text(" present, ")
          .integer(c.missing)
          .text(" missing, ");
      l.integer(c.unreadable).text(" unreadable");
      out(l.view());
      show("missing", c.mname, c.mlen, c.missing);
      show("unreadable", c.uname, c.ulen, c.unreadable);
    }

  out("Zone grids:");
  for (int u = USE_IBOUND; u <= USE_TERCLASS; ++u) {
    const std::string_view name = run.usedname[std::size_t(u)].trimmed();
    if (run.usedname[std::size_t(u)].blank())
      continue;
    const ZoneShape &z = run.zoneshape[std::size_t(u)];
    Detail l;
    l.text("  ").text(msg::USE_NAMES[u]).text(" ").text(name).text(": ");
    if (z.short_rows == 0 && z.extra_lines == 0)
      l.text("rows complete, nothing after the last row");
    else
      l.integer(z.short_rows)
          .text(" rows shorter than their fields, ")
          .integer(z.extra_lines)
          .text(" lines after the last row");
    out(l.view());
  }

  const StationTable &st = run.stations;
  if (st.given) {
    Detail l;
    int first = 0, last = 0, years = 0;
    for (int y = FIRSTYEAR; y <= LASTYEAR; ++y)
      if (st.hasyear[std::size_t(y - FIRSTYEAR)]) {
        first = first ? first : y;
        last = y;
        ++years;
      }
    l.text("Stations: ")
        .integer(st.count)
        .text(" read, drift order ")
        .integer(st.drift);
    l.text(" needs ").integer(2 * std::clamp(st.drift, 0, MAXDRIFT) + 1);
    out(l.view());
    l.clear();
    l.text("Precipitation file: ");
    if (years == 0)
      l.text("no data years");
    else
      l.integer(years)
          .text(" years from ")
          .integer(first)
          .text(" to ")
          .integer(last);
    out(l.view());
  } else {
    out("Stations: none (no STATIONS line): no precipitation recharge");
  }

  out("Outputs:");
  if (run.wellname.blank()) // the run could not open a WEL file
    stop.stop(msg::NO_WELL_FILE, {});
  show_output(msg::USE_WELL, 0, run.wellname.full(), &stop);
  for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k)
    show_output(msg::USE_RECHARGE, k + 1, run.rchnames[std::size_t(k)].full(),
                &stop);
  for (int i = 0; i < MF6FILES; ++i) {
    const Mf6Entry e = mf6_entry(run, i);
    show_output(e.use, e.number, e.name, &stop);
  }
  show_output(msg::USE_REPORT, 0, "fort.2", &stop);
  if (run.has_subarea) {
    show_output(msg::USE_PUMPBSN, 0, "quon/pump.bsn", &stop);
    show_output(msg::USE_RECHBSN, 0, "quon/rech.bsn", &stop);
  }
  for (int u = NINPUTUSE; u < NFILEUSE; ++u)
    show_output(msg::USE_NAMES[u], 0, run.usedname[std::size_t(u)].full());
  if (run.nstore == 3) {
    const std::string_view exts[] = {run.storenames[0].trimmed(),
                                     run.storenames[1].trimmed(),
                                     run.storenames[2].trimmed()};
    show_yearly(run, msg::USE_STORE, run.storedir.trimmed(), exts);
  }
  if (run.annpump) {
    const std::string_view csv[] = {"csv"};
    show_yearly(run, msg::USE_ANNPUMP, {}, csv, &stop);
  }

  // Every report the run would make, as the console had it.
  Detail r;
  r.text("Reports: ").integer(report_count());
  out(r.view());
  for (int i = 0; i < listed_reports(); ++i)
    out(msg::CHECK_REPORT, listed_report(i));
  if (report_count() > listed_reports()) {
    r.clear();
    r.text("  (and ").integer(report_count() - listed_reports()).text(" more)");
    out(r.view());
  }
  return stop.count();
}

void print_summary(const Run &run, int status) {
  Detail t;
  if (status == 0) {
    const int periods = run.periods_done;
    t.integer(periods).text(periods == 1 ? " period" : " periods");
    t.text(run.append ? msg::SUMMARY_APPENDED : msg::SUMMARY_WRITTEN);
    t.text(run.wellname.trimmed());
    for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k)
      t.text(", ").text(run.rchnames[std::size_t(k)].trimmed());
    if (!run.mf6base.blank())
      t.text(msg::SUMMARY_MF6).text(run.mf6base.trimmed()).text(".*");
    console_line(msg::SUMMARY_DONE, t.view());
  }
  if (report_count() > 0) {
    t.clear();
    console_line(msg::SUMMARY_REPORTS, t.integer(report_count()).view());
    console_line(msg::SUMMARY_FIRST, first_report());
  }
  // The files counted as zeros in one line, by kind and state.
  int missing = 0;
  t.clear();
  for (int kind = 0; kind < NSUMS; ++kind) {
    const char *sep = missing == 0 ? " (" : "; ";
    bool named = false;
    for (int k = 0; k < NSTATE; ++k) {
      const int n = run.missing[std::size_t(kind)][std::size_t(k)];
      if (n == 0)
        continue;
      if (!named)
        t.text(sep).text(SUMLABEL[std::size_t(kind)]);
      named = true;
      t.text(" ").text(run.statecode[std::size_t(k)].full()).text(" ");
      t.integer(n);
      missing += n;
    }
  }
  if (missing > 0) {
    Detail l;
    l.integer(missing).text(t.view()).text(")");
    console_line(msg::SUMMARY_MISSING, l.view());
  }
  if (report_count() > 0)
    console_line(msg::SUMMARY_CHECK, {});
}

void warn_state_folders(Run &run) {
  if (!has_steady(run) && run.trans_start > run.trans_end)
    return;
  for (int k = 0; k < NSTATE; ++k) {
    const std::string_view dir = state_dir(run, k);
    struct stat sb;
    char c[WORDLEN + 1];
    if (!dir.empty())
      std::memcpy(c, dir.data(), dir.size());
    c[dir.size()] = '\0';
    if (::stat(c, &sb) == 0) // one that is a file ends the run
      continue;
    Detail t;
    t.text(run.statecode[std::size_t(k)].full()).text(" ").text(dir);
    error(msg::STATE_FOLDER, t.view());
  }
}

} // namespace quon

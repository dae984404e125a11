// budget.cpp - the annual budget tables: pumping, irrigated areas and
// recharge by state and budget zone in the report file, and pumping and
// recharge by state and sub-area in the two sub-area files.

#include <array>
#include <cmath>

#include "../text/fmt.h"
#include "budget.h"
#include "messages.h"
#include "reporters.h"
#include "tables.h"

namespace quon {
namespace {

constexpr std::string_view PUMPBSN = "quon/pump.bsn";
constexpr std::string_view RECHBSN = "quon/rech.bsn";

// Recharge depth over one cell, inches, to acre-feet: feet, then times the
// 640 acres of a square mile, in that order.
double acre_feet(double inches) {
  return (inches * 0.08333333333333333) * 640.0;
}

// A report row holds at most 5 + 9 * 10 values of 10 characters.
constexpr std::size_t ROWCAP = 5 + 9 * (MAXBUDZONE + 1) * 10;
// A sub-area header holds at most 24 * 3 items of a name, "_xx" and a blank.
constexpr std::size_t SUBCAP = 6 + (MAXSUBAREA + 1) * 3 * (SUBNAMELEN + 4);

// Writes one record and ends the run if the file has failed: a budget file
// that silently lost rows would be taken for a complete one.
void write_record(OutFile &f, std::string_view name, std::string_view rec) {
  f.write(rec);
  f.endl();
  if (!f.flush())
    endrun(msg::CANNOT_WRITE_TO, name);
}

// The values of one budget row, written one after another. A value that is
// not finite (volumes summed past the largest double) has no place in a
// table people and programs read back: it ends the run, naming the file, the
// row's year and the value's column (1 = the first value after the year).
struct RowValues {
  char *p;
  std::string_view file;
  std::string_view year;
  int col = 0;
  double *keep = nullptr; // where the row's values are kept, when set

  void put(double v, int w) {
    ++col;
    if (!std::isfinite(v)) {
      char buf[64];
      char *q = fmt::a(buf, file);
      q = fmt::a(q, ", period ");
      q = fmt::a(q, year);
      q = fmt::a(q, ", column ");
      q = fmt::i(q, col, 3);
      errorvalue(msg::BUDGET_VALUE, {buf, std::size_t(q - buf)}, v);
    }
    if (keep)
      keep[col - 1] = v;
    p = fmt::f(p, v, w, 1);
  }
};

constexpr std::string_view REPORT = "fort.2";

void subarea_header(OutFile &f, std::string_view name, const Run &run) {
  if (!f.open(name))
    endrun(msg::CANNOT_OPEN, name);
  static constexpr std::array<std::string_view, NSTATE> codes{"co", "ks", "ne"};
  char buf[SUBCAP];
  char *p = fmt::a(buf, " Year ");
  const int nsub = std::clamp(run.nsub, 0, MAXSUBAREA);
  for (int s = 0; s <= nsub; ++s)
    for (auto code : codes) {
      p = fmt::a(p, run.subnames[s].trimmed());
      p = fmt::a(p, "_");
      p = fmt::a(p, code);
      p = fmt::a(p, " ");
    }
  write_record(f, name, {buf, std::size_t(p - buf)});
}

// One sub-area row: the year, then CO, KS, NE of every sub-area 0..nsub.
void subarea_row(
    OutFile &f, std::string_view name, const Text<4> &label,
    const std::array<std::array<double, MAXSUBAREA + 1>, NSLICE> &v, int nsub) {
  char buf[4 + (MAXSUBAREA + 1) * NSTATE * 12];
  RowValues row{fmt::a(buf, label.full()), name, label.trimmed()};
  for (int s = 0; s <= nsub; ++s)
    for (int k = 1; k <= NSTATE; ++k)
      row.put(v[k][s], 12);
  write_record(f, name, {buf, std::size_t(row.p - buf)});
}

// The common work of budget and budget2; sub-area sums only when sub.
void budget_row(Run &run, std::string_view label_in, const CellArray &rech,
                bool sub) {
  const int nz = std::min(run.nbud, MAXBUDZONE);
  run.nbudrow = 0;
  if (nz <= 0)
    return;
  const int nsub = std::clamp(run.nsub, 0, MAXSUBAREA);
  const Text<4> label(label_in);
  const auto &zone = run.budzone;
  const auto &subarea = run.subarea;
  auto &work = run.budwork;

  // Recharge per budget zone, summed cell by cell in row order. The zone
  // also serves as the state index of the sub-area recharge sums; zones
  // above the three states have no place there and are left out.
  std::fill(work.begin(), work.begin() + nz + 1, 0.0);
  for (int k = 0; k < NCELL; ++k) {
    const int z = zone[k];
    if (z < 0 || z > nz)
      continue;
    work[z] += rech[k];
    if (sub && z <= NSTATE) {
      const int s = subarea[k];
      if (s >= 0 && s <= nsub)
        run.subrech[z][s] += rech[k];
    }
  }
  double total6 = 0.0;
  for (int z = 1; z <= nz; ++z) {
    work[z] = acre_feet(work[z]);
    total6 += work[z];
    if (sub && z <= NSTATE)
      for (int s = 0; s <= nsub; ++s)
        run.subrech[z][s] = acre_feet(run.subrech[z][s]);
  }

  char buf[ROWCAP];
  RowValues row{fmt::a(fmt::x(buf, 1), label.full()), REPORT, label.trimmed(),
                0, run.budrow.data()};

  if (label.full().find("SS") != std::string_view::npos) {
    for (int z = 1; z <= nz; ++z)
      row.put(work[z], 10);
    row.put(total6, 10);
    report_record({buf, std::size_t(row.p - buf)});
    run.nbudrow = row.col;
    return;
  }

  // State totals: every cell counts, whatever its budget zone. Each sum is
  // accumulated in cell order, so taking one array and slice at a time
  // gives the same bits as walking the cells once.
  std::array<std::array<double, NSTATE + 1>, NSUMS> state{};
  for (int g = 0; g < NSUMS; ++g) {
    StateSums &a = run.sums[g];
    const bool fill0 = g <= ASW;
    for (int k = 1; k <= NSTATE; ++k) {
      const CellArray &v = a.slice[k];
      CellArray &v0 = a.slice[0];
      double t = 0.0;
      for (int c = 0; c < NCELL; ++c)
        t += v[c];
      state[g][k] = t;
      if (fill0)
        for (int c = 0; c < NCELL; ++c)
          v0[c] += v[c];
    }
  }
  if (sub) {
    for (int k = 1; k <= NSTATE; ++k) {
      const CellArray &pmp = run.sums[PMP].slice[k];
      const CellArray &rcg = run.sums[RCG].slice[k];
      const CellArray &rcs = run.sums[RCS].slice[k];
      const CellArray &rcc = run.sums[RCC].slice[k];
      auto &sp = run.subpump[k];
      auto &sr = run.subrech[k];
      for (int c = 0; c < NCELL; ++c) {
        const int s = subarea[c];
        if (s < 0 || s > nsub)
          continue;
        sp[s] += pmp[c];
        sr[s] += rcg[c] + rcs[c] + rcc[c];
      }
    }
  }

  // A state group has one column per budget zone; column z holds state z
  // (zero beyond the three states). With fewer zones than states only the
  // first nz states have a column, but the total is still that of all
  // three: a part passed off as the whole would understate the budget.
  auto state_group = [&](int g) {
    double total = 0.0;
    for (int z = 1; z <= nz; ++z) {
      const double v = z <= NSTATE ? state[g][z] : 0.0;
      total += v;
      row.put(v, 10);
    }
    for (int k = nz + 1; k <= NSTATE; ++k)
      total += state[g][k];
    row.put(total, 10);
  };
  // The state groups in the order of the sum arrays, with the
  // precipitation recharge of the budget zones between ASW and RCG.
  for (int g = 0; g < NSUMS; ++g) {
    if (g == RCG) {
      for (int z = 1; z <= nz; ++z)
        row.put(work[z], 10);
      row.put(total6, 10);
    }
    state_group(g);
  }
  report_record({buf, std::size_t(row.p - buf)});
  run.nbudrow = row.col;

  if (!sub)
    return;
  subarea_row(run.pumpbsn, PUMPBSN, label, run.subpump, nsub);
  subarea_row(run.rechbsn, RECHBSN, label, run.subrech, nsub);
}

} // namespace

// Header line of the budget table in the report file: " Year", then for
// each of the nine groups the budget zone names (trimmed, right-justified
// in 10, cut to their first 10 characters) and the group label. With no
// budget zones the line holds only the nine labels. Does not allocate.
void budget_header(Run &run) {
  const int nz = std::clamp(run.nbud, 0, MAXBUDZONE);
  char buf[ROWCAP];
  char *p = fmt::a(buf, " Year");
  for (auto label : BUDGET_GROUPS) {
    for (int z = 0; z < nz; ++z)
      p = fmt::a(p, run.budnames[z].trimmed(), 10);
    p = fmt::a(p, label, 10);
  }
  report_record({buf, std::size_t(p - buf)});
}

// Creates (or replaces) "quon/pump.bsn" and "quon/rech.bsn" and writes the
// header line of each: " Year " and, for sub-areas 0..nsub and states co,
// ks, ne, the items name_code each followed by a blank. A file that cannot
// be created or written ends the run with its name. Does not allocate.
void subarea_headers(Run &run) {
  if (run.dry) // a dry run writes no file
    return;
  subarea_header(run.pumpbsn, PUMPBSN, run);
  subarea_header(run.rechbsn, RECHBSN, run);
}

// One budget row in the report file: with a label holding "SS" the steady
// row (recharge of the budget zones in acre-feet and their total), else the
// nine groups of a transient year, after which slice 0 of pmp, mi, agw, aco
// and asw holds the sum of their state slices. The row's values are kept in
// run.budrow (run.nbudrow of them) for the BUDGETCSV table. Writes and
// changes nothing else when there are no budget zones. A value that is not
// finite ends the run (errorvalue) naming the file, year and column. Does not
// allocate.
void budget(Run &run, std::string_view label, const CellArray &rech) {
  budget_row(run, label, rech, false);
}

// As budget; a transient row also adds the year's pumping and recharge of
// every state and sub-area into run.subpump and run.subrech (recharge of
// budget zones above 3 is left out) and writes their rows to the two
// sub-area files, ending the run if either cannot be written. Does not
// allocate.
void budget2(Run &run, std::string_view label, const CellArray &rech) {
  budget_row(run, label, rech, true);
}

} // namespace quon

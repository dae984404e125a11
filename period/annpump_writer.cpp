// annpump_writer.cpp - the yearly pumping tables (ANNPUMP): year.csv, one
// line per cell, row by row, with the year's irrigation and municipal
// pumping totals over the states in acre-feet.

#include <cmath>
#include <cstring>

#include "fmt.h"
#include "messages.h"
#include "tables.h"
#include "reporters.h"
#include "utl.h"
#include "writers.h"

namespace quon {
namespace {

// The annual pumping table of the year. A total that is not finite ends
// the run (errorcell) naming the cell.
void write_annpump(Run &run, std::string_view year) {
  // Without budget zones nothing has formed the totals over the states yet.
  if (run.nbud == 0) {
    for (SumId id : {PMP, MI}) {
      auto &sl = run.sums[id].slice;
      for (int i = 0; i < NCELL; ++i) {
        sl[0][i] += sl[1][i];
        sl[0][i] += sl[2][i];
        sl[0][i] += sl[3][i];
      }
    }
  }
  const CellArray &pmp = run.sums[PMP].slice[0];
  const CellArray &mi = run.sums[MI].slice[0];
  constexpr std::size_t PRE = Run::ANNPREFIX;
  if (!run.annprefix_ready) {
    for (int r = 1; r <= NROW; ++r)
      for (int c = 1; c <= NCOL; ++c) {
        const int i = cell(c, r);
        char *p = run.annprefix.data() + std::size_t(i) * PRE;
        p = fmt::i(p, i + 1, 5);
        *p++ = ',';
        p = fmt::i(p, r, 5);
        *p++ = ',';
        p = fmt::i(p, c, 5);
        *p = ',';
      }
    run.annprefix_ready = true;
  }
  // Most cells pump nothing: their volume field is copied as it is.
  constexpr std::string_view ZERO = "        0.00";
  const auto volume = [&](char *p, double v) {
    if (v == 0.0 && !std::signbit(v)) {
      std::memcpy(p, ZERO.data(), ZERO.size());
      return p + ZERO.size();
    }
    return fmt::f(p, v, 12, 2);
  };
  constexpr std::size_t LINE = PRE + 2 * 13 + 1;
  for (int r = 1; r <= NROW; ++r) {
    char *p = run.annual.reserve(NCOL * LINE);
    for (int c = 1; c <= NCOL; ++c) {
      const int i = cell(c, r);
      // Monthly volumes summed past the largest double.
      for (double v : {pmp[i], mi[i]})
        if (!std::isfinite(v))
          errorcell(msg::PUMP_TABLE_VALUE, run.annual.name(), year, r, c, v);
      std::memcpy(p, run.annprefix.data() + std::size_t(i) * PRE, PRE);
      p += PRE;
      p = volume(p, pmp[i]);
      *p++ = ',';
      p = volume(p, mi[i]);
      *p++ = ',';
      *p++ = '\n';
    }
    run.annual.commit(p);
  }
  close_checked(run.annual);
}

class AnnpumpWriter final : public Writer {
public:
  bool family(const Run &run, OutputFamily &f) const override {
    if (!run.annpump)
      return false;
    f.use = msg::USE_ANNPUMP;
    f.dir = {};
    f.exts[0] = "csv";
    f.nexts = 1;
    return true;
  }
  bool required() const override { return true; }

  // The year's table is opened with its header line before its months.
  void begin_year(Run &run, const YearInfo &y) override {
    if (y.steady || !run.annpump)
      return;
    char name[16];
    char *p = fmt::a(name, y.label);
    p = fmt::a(p, ".csv");
    const std::string_view fname(name, p - name);
    if (!run.annual.open(fname))
      endrun(msg::CANNOT_OPEN, fname);
    run.annual.write("node, row, col, irr_af, mi_af");
    run.annual.endl();
  }
  void end_year(Run &run, const YearInfo &y) override {
    if (!y.steady && run.annpump)
      write_annpump(run, y.label);
  }
  void finish(Run &run) override { close_checked(run.annual); }
  void close_quietly(Run &run) noexcept override { run.annual.close(); }
};

} // namespace

Writer &annpump_writer() {
  static AnnpumpWriter w;
  return w;
}

} // namespace quon

// rch_writer.cpp - the MODFLOW-2005 RCH files (RECHARGE): their header
// lines, and each period's RCH blocks, every array row formatted once and
// handed to the other writers of the list (the MODFLOW 6 RCH packages).

#include <algorithm>
#include <array>

#include "fmt.h"
#include "messages.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"
#include "writers.h"

namespace quon {
namespace {

// Inches of water over a 640-acre cell per acre-foot (12/640), in the single
// precision the model files have always been written with.
constexpr double INCH_PER_AF = 0.01875000074505806;

// The widest values the (20F9.5) array field can hold; anything outside
// (and NaN) would print as asterisks, which MODFLOW cannot read back.
constexpr double RCH_MAX = 999.999995; // first double that overflows
constexpr double RCH_MIN = -99.999995; // last double that still prints

bool fits_rch(double v) { return v < RCH_MAX && v >= RCH_MIN; }

// The (20F9.5) records of one grid row: 326 fields and 17 line ends.
constexpr std::size_t ROWTEXT = NCOL * 9 + (NCOL + 19) / 20;

// One RCH block of RCH file k: the array flag line, the array control
// record and the 165 rows of the array. comp 0 writes the sum of the four
// recharge components, comp 1..4 that component alone. Each row is
// formatted once, into the file's buffer, and handed to the list from there.
void write_rch(Run &run, int k, int comp, const PeriodInfo &pi,
               const WriterList &list) {
  OutFile &f = run.rch[std::size_t(k)];
  const std::string_view label = pi.label;
  // MODFLOW's INRECH = 1 (an array follows) and INIRCH = 0.
  char *out = f.reserve(21);
  char *p = fmt::i(out, 1, 10);
  p = fmt::i(p, 0, 10);
  *p++ = '\n';
  f.commit(p);

  out = f.reserve(64 + label.size());
  p = fmt::a(out, "INTERNAL ");
  p = fmt::e1p(p, pi.s1, 15, 8);
  p = fmt::a(p, " (20F9.5) ");
  p = fmt::i(p, -1, 3);
  p = fmt::x(p, 1);
  p = fmt::a(p, label);
  *p++ = '\n';
  f.commit(p);
  list.rch_begin(run, k, pi);

  const auto &q = run.q;
  std::array<double, NCOL> v;
  for (int r = 1; r <= NROW; ++r) {
    const int base = cell(1, r);
    bool fits = true;
    if (comp == 0) {
      const double *q1 = q[1].data() + base, *q2 = q[2].data() + base,
                   *q3 = q[3].data() + base, *q4 = q[4].data() + base;
      for (int c = 0; c < NCOL; ++c) {
        v[c] = INCH_PER_AF * (q2[c] + q1[c] + q3[c] + q4[c]);
        fits &= fits_rch(v[c]);
      }
    } else {
      const double *qc = q[comp].data() + base;
      for (int c = 0; c < NCOL; ++c) {
        v[c] = INCH_PER_AF * qc[c];
        fits &= fits_rch(v[c]);
      }
    }
    if (!fits)
      for (int c = 0; c < NCOL; ++c)
        if (!fits_rch(v[c]))
          errorcell(msg::RCH_VALUE_RANGE, f.name(), label, r, c + 1, v[c]);
    char *text = f.reserve(ROWTEXT);
    char *end = fmt::rows(text, v, 20, 9, 5);
    list.rch_row(run, k, {text, std::size_t(end - text)});
    f.commit(end);
  }
  list.rch_end(run, k);
}

class RchWriter final : public Writer {
public:
  int files(const Run &run) const override { return run.nrch; }
  OutputName file(const Run &run, int i) const override {
    return {msg::USE_RECHARGE, i + 1, run.rchnames[std::size_t(i)].full()};
  }
  bool required() const override { return true; }

  // Opens the RCH files and writes their header lines (none when appending
  // to a file that holds something).
  void open(Run &run, int) override {
    char buf[64];
    if (run.nrch == 0)
      error(msg::NO_RCH_FILE);
    for (int k = 0; k < run.nrch; ++k) {
      OutFile &f = run.rch[std::size_t(k)];
      const bool append = appends(run, run.rchnames[std::size_t(k)].full());
      if (!f.open(run.rchnames[std::size_t(k)].full(), run.append != 0))
        endrun(msg::CANNOT_OPEN, run.rchnames[std::size_t(k)].trimmed());
      if (!append) {
        char *p = fmt::i(buf, 1, 10);
        p = fmt::i(p, run.irchcb, 10);
        f.write(std::string_view(buf, p - buf));
        f.endl();
      }
    }
  }

  // One RCH file: the sum of the components; several: one each.
  void period_arrays(Run &run, const PeriodInfo &pi,
                     const WriterList &list) override {
    if (run.nrch == 1)
      write_rch(run, 0, 0, pi, list);
    else
      for (int k = 1; k <= run.nrch; ++k)
        write_rch(run, k - 1, k, pi, list);
  }

  void end_period(Run &run) override {
    for (int k = 0; k < run.nrch; ++k)
      flush_or_end(run.rch[std::size_t(k)]);
  }

  void finish(Run &run) override {
    for (OutFile &f : run.rch)
      close_checked(f);
  }
  void close_quietly(Run &run) noexcept override {
    for (OutFile &f : run.rch)
      f.close();
  }
  void summary(const Run &run, Detail &t) const override {
    for (int k = 0; k < run.nrch; ++k)
      t.text(", ").text(run.rchnames[std::size_t(k)].trimmed());
  }
};

} // namespace

Writer &rch_writer() {
  static RchWriter w;
  return w;
}

} // namespace quon

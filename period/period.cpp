// period.cpp - one stress period: the period's recharge and pumping per cell
// from the annual recharge grid and the states' files, written as MODFLOW RCH
// array records and WEL well records, and added to the per-state sums.

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "fmt.h"
#include "messages.h"
#include "mf6.h"
#include "period.h"
#include "tables.h"
#include "utl.h"

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

// Adds factor * src into a period component and into a state's sum in one
// pass; the same operations as two separate accumulations. A fresh
// component (no grid added yet) is taken as +0.0 everywhere without being
// read: factor * src + 0.0 is what adding onto a zeroed grid gives, bit for
// bit (a -0.0 product becomes +0.0 either way).
void add2(CellArray &q, bool &fresh, CellArray &sum, double factor,
          const CellArray &src) {
  if (fresh) {
    for (int i = 0; i < NCELL; ++i) {
      q[i] = factor * src[i] + 0.0;
      sum[i] = factor * src[i] + sum[i];
    }
    fresh = false;
    return;
  }
  for (int i = 0; i < NCELL; ++i) {
    q[i] = factor * src[i] + q[i];
    sum[i] = factor * src[i] + sum[i];
  }
}

// The same, only outside the mound.
void condadd2(CellArray &q, bool &fresh, CellArray &sum, const CellArray &src,
              const ZoneGrid &mask) {
  if (fresh) {
    for (int i = 0; i < NCELL; ++i)
      if (mask[i] == 0) {
        q[i] = 1.0 * src[i] + 0.0;
        sum[i] = 1.0 * src[i] + sum[i];
      } else {
        q[i] = 0.0;
      }
    fresh = false;
    return;
  }
  for (int i = 0; i < NCELL; ++i)
    if (mask[i] == 0) {
      q[i] = 1.0 * src[i] + q[i];
      sum[i] = 1.0 * src[i] + sum[i];
    }
}

// The (20F9.5) records of one grid row: 326 fields and 17 line ends.
constexpr std::size_t ROWTEXT = NCOL * 9 + (NCOL + 19) / 20;

// One RCH block: the array flag line, the array control record and the 165
// rows of the array. comp 0 writes the sum of the four recharge components,
// comp 1..4 that component alone. With m6, the same block goes to that
// MODFLOW 6 RCH file: each row is formatted once and serves both.
void write_rch(Run &run, OutFile &f, int comp, std::string_view label,
               double s1, OutFile *m6) {
  // MODFLOW's INRECH = 1 (an array follows) and INIRCH = 0.
  char *out = f.reserve(21);
  char *p = fmt::i(out, 1, 10);
  p = fmt::i(p, 0, 10);
  *p++ = '\n';
  f.commit(p);

  out = f.reserve(64 + label.size());
  p = fmt::a(out, "INTERNAL ");
  p = fmt::e1p(p, s1, 15, 8);
  p = fmt::a(p, " (20F9.5) ");
  p = fmt::i(p, -1, 3);
  p = fmt::x(p, 1);
  p = fmt::a(p, label);
  *p++ = '\n';
  f.commit(p);
  if (m6)
    mf6_rch_begin(run, *m6, label, s1);

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
    // Formatted straight into the file's buffer, and copied from there.
    char *text = f.reserve(ROWTEXT);
    char *end = fmt::rows(text, v, 20, 9, 5);
    if (m6)
      mf6_rch_row(*m6, {text, std::size_t(end - text)});
    f.commit(end);
  }
  if (m6)
    mf6_end_block(*m6);
}

} // namespace

char *put_rate(char *out, double rate) {
  char *end = fmt::f(out, rate, 11, 6);
  if (*out == ' ')
    return end;
  char tmp[WELL_RATE_MAX];
  for (int w = 12; w < WELL_RATE_MAX; ++w) {
    char *e = fmt::f(tmp, rate, w, 6);
    if (*tmp == ' ') {
      std::memcpy(out, tmp, std::size_t(e - tmp));
      return out + (e - tmp);
    }
  }
  return end; // not reached for any finite double
}

namespace {

// Flushes a model file at the end of its period's records; a lost block
// would leave MODFLOW a truncated stress period.
void flush_or_end(OutFile &f) {
  if (!f.flush())
    endrun(msg::CANNOT_WRITE_TO, f.name());
}

} // namespace

void period(Run &run, const CellArray &r, std::string_view label,
            std::string_view part, std::string_view annpart, int year,
            int periodlen, double mult) {
  const double t = periodlen;
  const double yf = t * 3.168808781402895e-08; // share of a 365.25-day year
  auto &q = run.q;
  CellArray &rb = run.readbuf;

  // The MODFLOW 6 files are open from before the first period to the end
  // of a run that asked for them.
  const bool mf6 = run.mf6[MF6_TDIS].is_open();

  // Pumping and the three irrigation components start at zero: each is
  // zeroed by its first grid, or below when no grid came.
  std::array<bool, 5> fresh{true, false, true, true, true};
  const double precip = 53.333333333333336 * mult; // inches to AF per cell
  for (int i = 0; i < NCELL; ++i)
    q[1][i] = precip * r[i];

  // A file that gave no grid is skipped rather than summed as zeros: the
  // components and sums start at +0.0 and never become -0.0, so adding 0
  // would change no bit, only cost passes over the grid.
  for (int k = 0; k < NSTATE; ++k) {
    const int s = k + 1;
    if (run.pumpflag[k] != 0) {
      // The municipal and industrial file is annual: it is looked for once
      // a year and each period takes its share of the year.
      const Text<8> key(annpart);
      if (key.blank() || !(run.mipart[k] == key)) {
        run.mifound[k] = readstate(run, run.migrid[k], k, MI, annpart);
        run.mipart[k] = key;
      }
      if (run.mifound[k])
        add2(q[0], fresh[0], run.sums[MI].slice[s], yf, run.migrid[k]);
      // With MF6 each state's pumping grid is kept for the wells' state
      // names.
      CellArray &pb = mf6 ? run.mf6pump[std::size_t(k)] : rb;
      const bool pmp = readstate(run, pb, k, PMP, part);
      if (pmp)
        add2(q[0], fresh[0], run.sums[PMP].slice[s], 1.0, pb);
      if (mf6)
        mf6_state_pumping(run, k, run.mifound[k], yf, pmp);
      if (readstate(run, rb, k, RCG, part))
        add2(q[2], fresh[2], run.sums[RCG].slice[s], 1.0, rb);
    }
    if (mf6 && run.pumpflag[k] == 0)
      mf6_state_pumping(run, k, false, yf, false);
    // Surface-water and commingled returns inside the mound are taken by the
    // mound itself, not recharged through the model.
    if (readstate(run, rb, k, RCS, part))
      condadd2(q[3], fresh[3], run.sums[RCS].slice[s], rb, run.mound);
    if (readstate(run, rb, k, RCC, part))
      condadd2(q[4], fresh[4], run.sums[RCC].slice[s], rb, run.mound);
  }

  for (int c = 0; c < 5; ++c)
    if (fresh[std::size_t(c)])
      q[std::size_t(c)].fill(0.0);

  // From the XFACTOR year on, the irrigation returns of the model files are
  // scaled cell by cell; the budget keeps the volumes as delivered.
  if (year > run.xfactor_year)
    for (int i = 0; i < NCELL; ++i) {
      q[2][i] = q[2][i] * run.xfactor[i];
      q[3][i] = q[3][i] * run.xfactor[i];
    }

  const double s1 = 0.08333333333333333 / t; // inches per period to ft/s
  const double s2 = 43560.0 / t;             // AF per period to cfs

  // Only four recharge components exist to give to the files.
  if (run.nrch > MAXRCH) {
    char n[16];
    const auto res = std::to_chars(n, n + sizeof n, run.nrch);
    endrun(msg::RECHARGE_TOO_MANY, {n, std::size_t(res.ptr - n)});
  }
  if (mf6)
    mf6_period(run, periodlen);
  if (run.nrch == 1)
    write_rch(run, run.rch[0], 0, label, s1, mf6 ? &run.mf6[MF6_RCH] : nullptr);
  else
    for (int k = 1; k <= run.nrch; ++k)
      write_rch(run, run.rch[k - 1], k, label, s1,
                mf6 ? &run.mf6[std::size_t(MF6_RCH + k - 1)] : nullptr);

  // A rate that is not finite (volumes summed past the largest double) has
  // no field MODFLOW could read; the period's wells are checked before any
  // of them is written.
  int nw = 0;
  for (int i = 0; i < NCELL; ++i) {
    nw += q[0][i] != 0.0;
    if (!std::isfinite(q[0][i] * s2))
      errorcell(msg::WELL_RATE, run.wel.name(), label, i / NCOL + 1,
                i % NCOL + 1, -q[0][i] * s2);
  }
  if (nw > MAXWEL) {
    char buf[64];
    fmt::ListRecord rec(buf, sizeof buf);
    rec.text(msg::INCREASE_MAXWEL).integer(nw);
    endrecord(rec.view());
  }

  OutFile &wel = run.wel;
  char *out = wel.reserve(16 + label.size());
  char *p = fmt::i(out, nw, 5);
  p = fmt::i(p, -1, 3);
  p = fmt::x(p, 1);
  p = fmt::a(p, label);
  *p++ = '\n';
  wel.commit(p);
  for (int row = 1; row <= NROW; ++row) {
    const double *q0 = q[0].data() + cell(1, row);
    for (int c = 1; c <= NCOL; ++c) {
      if (q0[c - 1] == 0.0)
        continue;
      out = wel.reserve(10 + WELL_RATE_MAX);
      p = fmt::i(out, 1, 1);
      p = fmt::i(p, row, 4);
      p = fmt::i(p, c, 4);
      p = put_rate(p, -q0[c - 1] * s2);
      *p++ = '\n';
      wel.commit(p);
    }
  }
  if (mf6)
    mf6_wel_period(run, label, s2);

  for (int k = 0; k < run.nrch; ++k)
    flush_or_end(run.rch[k]);
  flush_or_end(wel);
  if (mf6)
    for (OutFile &f : run.mf6)
      if (f.is_open())
        flush_or_end(f);
}

} // namespace quon

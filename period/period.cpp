// period.cpp - one stress period: the period's recharge and pumping per cell
// from the annual recharge grid and the states' files, added to the
// per-state sums and handed to the run's writers (RCH, WEL, MODFLOW 6).

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "file_kinds.h"
#include "fmt.h"
#include "messages.h"
#include "period.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"
#include "writers.h"

namespace quon {
namespace {

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

void period(Run &run, const CellArray &r, std::string_view label,
            std::string_view part, std::string_view annpart, int year,
            int periodlen, double mult) {
  const double t = periodlen;
  const double yf = t * 3.168808781402895e-08; // share of a 365.25-day year
  auto &q = run.q;
  CellArray &rb = run.readbuf;

  // The period as the writers are given it; the states' pumping grids are
  // noted as they are read.
  PeriodInfo pi;
  pi.label = label;
  pi.periodlen = periodlen;
  pi.yf = yf;

  // Pumping and the three irrigation components start at zero: each is
  // zeroed by its first grid, or below when no grid came.
  std::array<bool, 5> fresh{true, false, true, true, true};
  const double precip = 53.333333333333336 * mult; // inches to AF per cell
  for (int i = 0; i < NCELL; ++i)
    q[1][i] = precip * r[i];

  // A file that gave no grid is skipped rather than summed as zeros: the
  // components and sums start at +0.0 and never become -0.0, so adding 0
  // would change no bit, only cost passes over the grid.
  // The period's kinds of file, state by state, as the schedule has them
  // (file_kinds.h): mi, pmp and rcg only where the state pumps.
  for (int k = 0; k < NSTATE; ++k) {
    const int s = k + 1;
    for (int kind = FIRST_PERIOD_KIND; kind < NKIND; ++kind) {
      if (!reads(run, k, kind))
        continue;
      const SumId id = KINDSUM[kind];
      auto &sum = run.sums[id].slice[s];
      switch (id) {
      case MI: {
        // The municipal and industrial file is annual: it is looked for once
        // a year and each period takes its share of the year.
        const Text<8> key(annpart);
        if (key.blank() || !(run.mipart[k] == key)) {
          run.mifound[k] = readstate(run, run.migrid[k], k, MI, annpart);
          run.mipart[k] = key;
        }
        if (run.mifound[k]) {
          add2(q[0], fresh[0], sum, yf, run.migrid[k]);
          pi.mi[std::size_t(k)] = &run.migrid[k];
        }
        break;
      }
      case PMP:
        // Kept for the writers that name the state of a well.
        if (readstate(run, run.pumpgrid[std::size_t(k)], k, PMP, part)) {
          add2(q[0], fresh[0], sum, 1.0, run.pumpgrid[std::size_t(k)]);
          pi.pmp[std::size_t(k)] = &run.pumpgrid[std::size_t(k)];
        }
        break;
      case RCG:
        if (readstate(run, rb, k, RCG, part))
          add2(q[2], fresh[2], sum, 1.0, rb);
        break;
      // Surface-water and commingled returns inside the mound are taken by
      // the mound itself, not recharged through the model.
      case RCS:
        if (readstate(run, rb, k, RCS, part))
          condadd2(q[3], fresh[3], sum, rb, run.mound);
        break;
      case RCC:
        if (readstate(run, rb, k, RCC, part))
          condadd2(q[4], fresh[4], sum, rb, run.mound);
        break;
      default: // the year's area files are read by evalcurve
        break;
      }
    }
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
  if (run.nrch_named > MAXRCH) {
    char n[16];
    const auto res = std::to_chars(n, n + sizeof n, run.nrch_named);
    endrun(msg::RECHARGE_TOO_MANY, {n, std::size_t(res.ptr - n)});
  }
  // The period goes to every writer of the run (the model writers alone
  // when the run has built no list: a period written on its own).
  WriterList own;
  const WriterList *list = &run.writers;
  if (list->empty()) {
    model_writers(own);
    list = &own;
  }
  pi.s1 = s1;
  pi.s2 = s2;
  for (Writer *w : *list)
    w->begin_period(run, pi);
  for (Writer *w : *list)
    w->period_arrays(run, pi, *list);
  for (Writer *w : *list)
    w->period_lists(run, pi, *list);
  for (Writer *w : *list)
    w->end_period(run);
}

} // namespace quon

// land.cpp - the scenario's irrigated plots, wells and towns, and the
// per-state cell array files of pumping, acres and return flows they give.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "scenario.h"

namespace gen {

Land make_land(const Options &o, const Geography &g) {
  Land land;
  Rng rng(o.seed, 3);
  Noise irrigation(rng, 20.0);
  std::vector<char> taken(NCELL, 0);
  std::vector<Plot> sw;
  std::array<std::vector<Plot>, 4> mixed;
  // Ditch-irrigated cells along the rivers; commingled cells a little farther
  // off, in CO and KS only.
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      const int i = at(c, r);
      if (g.ibound[i] != 1)
        continue;
      const double d = river_distance(g, c, r), u = rng.uniform();
      if (d <= 2.0 && u < 0.35) {
        sw.push_back({i, g.state[i], SW,
                      double(std::llround(rng.uniform(40, 400))),
                      rng.uniform(0.15, 0.35)});
        taken[i] = 1;
      } else if (d > 2.0 && d <= 5.0 && g.state[i] != NE && u < 0.15) {
        mixed[g.state[i]].push_back({i, g.state[i], COMMINGLED,
                                     double(std::llround(rng.uniform(60, 320))),
                                     rng.uniform(0.8, 1.3)});
        taken[i] = 1;
      }
    }
  // Groundwater wells by state, in proportion to the active area, denser
  // where the irrigation field is high.
  int given = 0;
  for (int st = CO; st <= NE; ++st) {
    // The last state takes what rounding left, so the shares add up.
    const int want =
        st == NE
            ? o.wells - given
            : int(std::llround(double(o.wells) * g.active[st] / g.active[0]));
    given += want;
    auto &cm = mixed[st];
    if (int(cm.size()) > want)
      cm.resize(std::size_t(want));
    for (auto &p : cm)
      land.plots.push_back(p);
    std::vector<std::pair<double, int>> key;
    for (int r = 1; r <= NROW; ++r)
      for (int c = 1; c <= NCOL; ++c) {
        const int i = at(c, r);
        if (g.ibound[i] == 1 && g.state[i] == st && !taken[i])
          key.push_back({irrigation.at(c, r) + 0.5 * rng.uniform(), i});
      }
    std::sort(key.begin(), key.end(), [](const auto &a, const auto &b) {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    const int ngw =
        std::min(int(key.size()), std::max(0, want - int(cm.size())));
    static constexpr double PIVOTS[] = {65,  130, 130, 130, 260,
                                        260, 390, 520, 640};
    for (int k = 0; k < ngw; ++k)
      land.plots.push_back({key[k].second, st, GW,
                            PIVOTS[rng.below(9)] - double(rng.below(10)),
                            rng.uniform(0.9, 1.6)});
  }
  land.npump = land.plots.size();
  for (auto &p : sw)
    land.plots.push_back(p);
  // Towns: a few cells of each state with municipal wells.
  const int nt = towns(o.wells);
  for (int st = CO; st <= NE; ++st)
    for (int k = 0, tries = 0; k < nt && tries < 1000000; ++tries) {
      const int c = 1 + rng.below(NCOL), r = 1 + rng.below(NROW);
      const int i = at(c, r);
      if (g.ibound[i] != 1 || g.state[i] != st || taken[i] == 2)
        continue;
      const double u = rng.uniform();
      land.towns.push_back({i, st, 50.0 + 2950.0 * u * u * u});
      taken[i] = 2;
      ++k;
    }
  return land;
}

namespace {

// Share of a year's pumping in each month, and the share of the wells that
// run at all in that month.
constexpr std::array<double, 12> PUMP_SHARE = {
    0.005, 0.005, 0.01, 0.04, 0.12, 0.22, 0.30, 0.22, 0.06, 0.01, 0.005, 0.005};
constexpr std::array<double, 12> PUMP_RUNNING = {
    0.08, 0.08, 0.12, 0.35, 0.85, 1.0, 1.0, 1.0, 0.8, 0.3, 0.1, 0.08};
// Surface-water deliveries run April to October, commingled return June to
// September, groundwater return May to September.
constexpr std::array<double, 12> SW_SHARE = {0,    0,   0,   0.05, 0.15, 0.2,
                                             0.25, 0.2, 0.1, 0.05, 0,    0};
constexpr std::array<double, 12> CO_SHARE = {0,    0,   0,    0, 0, 0.2,
                                             0.35, 0.3, 0.15, 0, 0, 0};
constexpr bool gw_return(int m) { return m >= 5 && m <= 9; }

std::string year_month(int y, int m) {
  char s[16];
  std::snprintf(s, sizeof s, "%04d.%02d", y, m);
  return s;
}

} // namespace

// The cell array files of every state for the steady span and every
// transient year. Returns the fewest and most wells of a transient month.
std::array<int, 2> write_state_files(const Options &o, const Land &land,
                                     const Stations &s, Writer &w) {
  Rng rng(o.seed, 4);
  std::array<RealGrid, 4> grid;
  auto clear = [&] {
    for (auto &gr : grid)
      gr.assign(NCELL, 0.0);
  };
  auto flush = [&](const std::string &name) {
    for (int st = CO; st <= NE; ++st)
      w.cells(st, name, grid[st]);
  };

  // Steady span: the early years of development, as yearly totals.
  if (o.steady > 0) {
    clear();
    for (const auto &t : land.towns)
      grid[t.state][t.cell] += 0.4 * t.af;
    flush("steady.mi");
    clear();
    RealGrid ret[4];
    for (auto &r : ret)
      r.assign(NCELL, 0.0);
    for (std::size_t k = 0; k < land.npump; k += 10) {
      const Plot &p = land.plots[k];
      const double af = p.acres * 0.8 * (p.kind == COMMINGLED ? 0.5 : 1.0);
      grid[p.state][p.cell] += af;
      if (p.kind == GW)
        ret[p.state][p.cell] += 0.15 * af;
    }
    flush("steady.pmp");
    for (int st = CO; st <= NE; ++st)
      grid[st] = ret[st];
    flush("steady.rcg");
    clear();
    for (std::size_t k = land.npump; k < land.plots.size(); ++k) {
      const Plot &p = land.plots[k];
      grid[p.state][p.cell] += p.acres * p.depth;
    }
    flush("steady.rcs");
    clear();
    for (std::size_t k = 0; k < land.npump; ++k)
      if (land.plots[k].kind == COMMINGLED)
        grid[land.plots[k].state][land.plots[k].cell] +=
            land.plots[k].acres * 0.08;
    flush("steady.rcc");
  }

  std::array<int, 2> wells = {o.years > 0 ? 1 << 30 : 0, 0};
  std::vector<char> pumping(NCELL);
  std::vector<double> pmp(land.npump);
  for (int t = 0; t < o.years; ++t) {
    const int y = o.start + t;
    const std::string ys = std::to_string(y);
    // A dry year pumps more.
    const double f = s.factor[std::size_t(o.steady + t)];
    const double thirst = std::clamp(1.0 + 0.8 * (1.0 - f), 0.6, 1.6);
    const double growth = 1.0 + 0.005 * t;

    // Irrigated acres of the year.
    for (Kind kind : {GW, SW, COMMINGLED}) {
      clear();
      for (const auto &p : land.plots)
        if (p.kind == kind)
          grid[p.state][p.cell] +=
              std::min(640.0, std::round(p.acres * growth *
                                         rng.uniform(0.97, 1.03) * 10.0) /
                                  10.0);
      flush(ys + (kind == GW ? ".agw" : kind == SW ? ".asw" : ".aco"));
    }
    clear();
    for (const auto &tn : land.towns)
      grid[tn.state][tn.cell] += tn.af * (1.0 + 0.01 * t);
    flush(ys + ".mi");

    for (int m = 1; m <= 12; ++m) {
      const std::string ym = year_month(y, m);
      std::fill(pumping.begin(), pumping.end(), 0);
      for (const auto &tn : land.towns)
        pumping[tn.cell] = 1;
      clear();
      for (std::size_t k = 0; k < land.npump; ++k) {
        const Plot &p = land.plots[k];
        pmp[k] = 0.0;
        if (rng.uniform() >= PUMP_RUNNING[m - 1])
          continue;
        const double share = p.kind == COMMINGLED ? 0.5 : 1.0;
        pmp[k] = p.acres * p.depth * share * thirst * PUMP_SHARE[m - 1] /
                 PUMP_RUNNING[m - 1];
        grid[p.state][p.cell] += pmp[k];
        if (std::llround(pmp[k] * 100.0) != 0)
          pumping[p.cell] = 1;
      }
      flush(ym + ".pmp");
      int n = 0;
      for (char x : pumping)
        n += x;
      wells[0] = std::min(wells[0], n);
      wells[1] = std::max(wells[1], n);
      if (n > MAXWELLS)
        die("a month would have more wells than a period may hold");

      clear();
      if (gw_return(m))
        for (std::size_t k = 0; k < land.npump; ++k)
          if (land.plots[k].kind == GW)
            grid[land.plots[k].state][land.plots[k].cell] +=
                pmp[k] * rng.uniform(0.1, 0.2);
      flush(ym + ".rcg");

      clear();
      for (std::size_t k = land.npump; k < land.plots.size(); ++k) {
        const Plot &p = land.plots[k];
        grid[p.state][p.cell] +=
            p.acres * p.depth * SW_SHARE[m - 1] * rng.uniform(0.8, 1.2);
      }
      flush(ym + ".rcs");

      clear();
      for (std::size_t k = 0; k < land.npump; ++k) {
        const Plot &p = land.plots[k];
        if (p.kind == COMMINGLED)
          grid[p.state][p.cell] += p.acres * 0.08 * CO_SHARE[m - 1];
      }
      flush(ym + ".rcc");
    }
  }
  return wells;
}

} // namespace gen

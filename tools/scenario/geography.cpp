// geography.cpp - the scenario's grid: active area, constant heads, states,
// rivers, soils, terrain classes, mound, sub-areas and return-flow factors.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "scenario.h"

namespace gen {

// Distance in rows from cell (c, r) to the nearest river.
double river_distance(const Geography &g, int c, int r) {
  double d = 1e9;
  for (const auto &path : g.river)
    d = std::min(d, std::abs(r - path[std::size_t(c - 1)]));
  return d;
}

// The state a cell lies in: CO in the west below the NE panhandle, NE in the
// north, KS in the south-east.
int state_of(int c, int r) {
  if (c <= 96)
    return r <= 28 ? NE : CO;
  return r <= 92 ? NE : KS;
}

Geography make_geography(std::uint64_t seed) {
  Geography g;
  Rng rng(seed, 1);
  g.ibound.assign(NCELL, 0);
  g.state.assign(NCELL, 0);

  // Active area: an ellipse whose edge is roughened at two scales.
  Noise coarse(rng, 24.0), fine(rng, 4.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      g.state[at(c, r)] = state_of(c, r);
      if (r < 3 || r > NROW - 2 || c < 3 || c > NCOL - 2)
        continue;
      const double u = (c - 163.5) / 150.0, v = (r - 83.0) / 74.0;
      const double edge =
          1.0 + 0.30 * (coarse.at(c, r) - 0.5) + 0.12 * (fine.at(c, r) - 0.5);
      if (u * u + v * v < edge)
        g.ibound[at(c, r)] = 1;
    }
  // Two bedrock highs inside the area that hold no aquifer.
  for (int k = 0; k < 2; ++k) {
    const int cc = 90 + rng.below(150), rc = 55 + rng.below(55);
    const int rad = 2 + rng.below(3);
    for (int r = rc - rad; r <= rc + rad; ++r)
      for (int c = cc - rad; c <= cc + rad; ++c)
        if ((c - cc) * (c - cc) + (r - rc) * (r - rc) <= rad * rad)
          g.ibound[at(c, r)] = 0;
  }
  // Constant heads where the rivers leave the area: the eastern edge.
  for (int r = 40; r <= 130; ++r)
    for (int c = NCOL; c >= 1; --c)
      if (g.ibound[at(c, r)] != 0) {
        g.ibound[at(c, r)] = -1;
        break;
      }

  // Three rivers flowing east, meandering by up to ten rows.
  const std::array<double, 3> base_row = {22.0, 62.0, 125.0};
  for (int k = 0; k < 3; ++k) {
    Noise meander(rng, 30.0);
    g.river[k].resize(NCOL);
    for (int c = 1; c <= NCOL; ++c)
      g.river[k][c - 1] = base_row[k] + 20.0 * (meander.at(c, 10.0 * k) - 0.5);
  }

  // Soils: patches of sand, loam, silt and clay, sand along the rivers.
  g.soil.assign(NCELL, 0);
  g.terclass.assign(NCELL, 0);
  g.budget.assign(NCELL, 0);
  Noise soilfield(rng, 14.0), terrainfield(rng, 18.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      const int i = at(c, r);
      if (g.ibound[i] == 0)
        continue;
      const double n = soilfield.at(c, r), d = river_distance(g, c, r);
      g.soil[i] = d <= 2.0 ? 1 : n < 0.38 ? 1 : n < 0.5 ? 2 : n < 0.62 ? 3 : 4;
      // Terrain: breaks along the rivers, flat and rolling uplands elsewhere.
      g.terclass[i] = d <= 4.0 ? 3 : terrainfield.at(c, r) < 0.5 ? 1 : 2;
      g.budget[i] = g.state[i];
      if (g.ibound[i] > 0) {
        ++g.active[0];
        ++g.active[g.state[i]];
      }
    }

  // Groundwater mound under the canals of the middle river.
  g.mound.assign(NCELL, 0);
  Noise moundfield(rng, 6.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 140; c <= 205; ++c) {
      const double d = std::abs(r - g.river[1][c - 1]);
      if (g.ibound[at(c, r)] != 0 && d <= 3.0 + 4.0 * moundfield.at(c, r))
        g.mound[at(c, r)] = 1;
    }

  // Sub-areas: the active cells nearest to each of twelve centres, unless
  // they lie far from all of them.
  g.subarea.assign(NCELL, 0);
  std::vector<std::array<int, 2>> centre;
  for (int tries = 0; centre.size() < SUBAREA_NAMES.size() && tries < 100000;
       ++tries) {
    const int c = 1 + rng.below(NCOL), r = 1 + rng.below(NROW);
    if (g.ibound[at(c, r)] <= 0)
      continue;
    const int spacing = tries < 50000 ? 40 : 10;
    bool far = true;
    for (auto &p : centre)
      far = far && (p[0] - c) * (p[0] - c) + (p[1] - r) * (p[1] - r) >=
                       spacing * spacing;
    if (far)
      centre.push_back({c, r});
  }
  if (centre.size() < SUBAREA_NAMES.size())
    die("could not place the sub-areas");
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      if (g.ibound[at(c, r)] == 0)
        continue;
      int best = 0, bestd = 1 << 30;
      for (std::size_t k = 0; k < centre.size(); ++k) {
        const int dc = centre[k][0] - c, dr = centre[k][1] - r;
        if (dc * dc + dr * dr < bestd)
          bestd = dc * dc + dr * dr, best = int(k) + 1;
      }
      if (bestd <= 55 * 55)
        g.subarea[at(c, r)] = best;
    }

  // Return-flow factors: lined canals in eastern KS return less.
  g.xfactor.assign(NCELL, 1.0);
  Noise lining(rng, 10.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 201; c <= NCOL; ++c)
      if (g.state[at(c, r)] == KS)
        g.xfactor[at(c, r)] = 0.7 + 0.25 * lining.at(c, r);
  return g;
}

} // namespace gen

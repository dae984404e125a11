// drift.cpp - whether the drift terms of the precipitation kriging can be
// carried by the stations: a rank test of the drift at the stations.

#include <algorithm>
#include <array>
#include <cmath>

#include "krige.h"

namespace quon {

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

} // namespace quon

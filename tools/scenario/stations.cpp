// stations.cpp - the scenario's precipitation stations and their yearly
// values, each year checked with quon's own kriging at every cell quon krigs.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "krige.h"
#include "scenario.h"

namespace gen {

namespace {

// Places the stations: a ring around the model area, a little outside it, so
// that no cell is extrapolated far, and the rest on a jittered lattice inside.
void place_stations(const Options &o, Stations &s, Rng &rng) {
  const int n = o.stations;
  const double w = XMAX - XMIN, h = YMAX - YMIN;
  const double ex = 0.04 * w, ey = 0.06 * h;
  const double x0 = XMIN - ex, x1 = XMAX + ex, y0 = YMIN - ey, y1 = YMAX + ey;
  std::vector<std::array<double, 2>> p;
  const int ring = n < 8 ? std::min(n, 4) : std::max(4, n * 2 / 5);
  const std::array<std::array<double, 2>, 4> corner = {
      {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
  for (int k = 0; k < std::min(ring, 4); ++k)
    p.push_back(
        {corner[k][0] + (corner[k][0] < XMIN ? -1 : 1) * rng.uniform(0, ex / 4),
         corner[k][1] +
             (corner[k][1] < YMIN ? -1 : 1) * rng.uniform(0, ey / 4)});
  // The rest of the ring, evenly round the perimeter between the corners.
  const double per = 2.0 * ((x1 - x0) + (y1 - y0));
  const int more = ring - std::min(ring, 4);
  for (int k = 0; k < more; ++k) {
    double t = per * (k + 0.5 + rng.uniform(-0.2, 0.2)) / more;
    double out = rng.uniform(0.0, 0.01) * h;
    if (t < x1 - x0)
      p.push_back({x0 + t, y0 - out});
    else if ((t -= x1 - x0) < y1 - y0)
      p.push_back({x1 + out, y0 + t});
    else if ((t -= y1 - y0) < x1 - x0)
      p.push_back({x1 - t, y1 + out});
    else
      p.push_back({x0 - out, y1 - (t - (x1 - x0))});
  }
  // Inside: a lattice of about the area's shape, a random subset of its
  // cells, each station somewhere near its cell's centre.
  const int m = n - ring;
  if (m > 0) {
    int nx = std::max(1, int(std::llround(std::sqrt(m * w / h))));
    int ny = (m + nx - 1) / nx;
    std::vector<int> slot(std::size_t(nx) * ny);
    for (std::size_t k = 0; k < slot.size(); ++k)
      slot[k] = int(k);
    for (std::size_t k = slot.size() - 1; k > 0; --k)
      std::swap(slot[k], slot[std::size_t(rng.below(int(k) + 1))]);
    std::sort(slot.begin(), slot.begin() + m);
    const double dx = w / nx, dy = h / ny;
    for (int k = 0; k < m; ++k) {
      const int i = slot[k] % nx, j = slot[k] / nx;
      p.push_back({XMIN + (i + 0.5 + rng.uniform(-0.35, 0.35)) * dx,
                   YMIN + (j + 0.5 + rng.uniform(-0.35, 0.35)) * dy});
    }
  }
  // Whole feet, and no two stations on the same spot (the kriging matrix
  // would be singular).
  s.n = n;
  for (int k = 0; k < n; ++k) {
    double x = std::round(p[k][0]), y = std::round(p[k][1]);
    for (bool clash = true; clash;) {
      clash = false;
      for (int j = 0; j < k; ++j)
        if (s.x[j] == x && s.y[j] == y)
          clash = true;
      if (clash)
        x += 1.0;
    }
    s.x.push_back(x);
    s.y.push_back(y);
    const int c = std::clamp(int((x - XMIN) / 5280.0) + 1, 1, NCOL);
    const int r = std::clamp(NROW - int((y - YMIN) / 5280.0), 1, NROW);
    char nm[16];
    std::snprintf(nm, sizeof nm, "%s_%03d", STATECODE[state_of(c, r)], k + 1);
    s.name.push_back(nm);
  }
}

// Kriging weights of the stations at every cell that quon krigs.
struct Weights {
  std::vector<int> cells;
  std::vector<double> w; // n per listed cell
};

Weights station_weights(const Geography &g, const Stations &s, int drift) {
  std::vector<double> amat(quon::MAXKRIG * quon::MAXKRIG),
      ainv(quon::MAXKRIG * quon::MAXKRIG);
  if (!quon::krigmatinv(quon::X0, quon::Y0, s.x, s.y, amat, ainv, s.n, drift))
    die("the station kriging system cannot be inverted");
  Weights k;
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c)
      if (g.ibound[at(c, r)] != 0)
        k.cells.push_back(at(c, r));
  k.w.resize(k.cells.size() * std::size_t(s.n));
  for (std::size_t i = 0; i < k.cells.size(); ++i) {
    const int c = k.cells[i] % NCOL + 1, r = k.cells[i] / NCOL + 1;
    quon::krigweights(ainv, quon::X0, quon::Y0, s.x, s.y, xcentre(c),
                      ycentre(r), s.n, drift,
                      std::span<double>(k.w.data() + i * s.n, s.n));
  }
  return k;
}

// Lowest and highest kriged value of one year, summed as quon sums it.
std::array<double, 2> kriged_range(const Weights &k, const double *z, int n) {
  double lo = 1e300, hi = -1e300;
  for (std::size_t i = 0; i < k.cells.size(); ++i) {
    const double *w = k.w.data() + i * n;
    double s = 0.0;
    for (int j = 0; j < n; ++j)
      s = s + z[j] * w[j];
    lo = std::min(lo, s);
    hi = std::max(hi, s);
  }
  return {lo, hi};
}

// The range every year's kriged field must keep: dry but not desert, and
// well inside the FUNCTION block.
constexpr double PPT_FLOOR = 5.0, PPT_CEILING = 45.0;

} // namespace

// Annual precipitation of every station for every year of the run: drier in
// the west and north, a wet or dry year for the whole area (persisting a
// little from year to year), a regional tilt of that year, and each station's
// own scatter. A year whose kriged field leaves the allowed range has its
// scatter calmed step by step, down to one value for all stations, which the
// kriging reproduces.
Stations make_stations(const Options &o, const Geography &g) {
  Stations s;
  Rng rng(o.seed, 2);
  place_stations(o, s, rng);
  const int n = s.n;
  s.first = o.start - o.steady;
  s.last = o.start + o.years - 1;
  const int ny = s.last - s.first + 1;
  s.ppt.assign(std::size_t(std::max(ny, 0)) * n, 0.0);
  std::vector<double> base(n), site(n);
  for (int j = 0; j < n; ++j) {
    const double ux = (s.x[j] - XMIN) / (XMAX - XMIN);
    const double uy = (s.y[j] - YMIN) / (YMAX - YMIN);
    base[j] = 17.0 + 12.0 * ux + 2.0 * (0.5 - uy);
    site[j] = 1.2 * rng.normal();
  }
  const Weights k = station_weights(g, s, o.drift);
  s.kcells = long(k.cells.size());
  s.kmin = 1e300;
  s.kmax = -1e300;
  double f = 1.0;
  std::vector<double> z(n), scatter(n);
  for (int y = 0; y < ny; ++y) {
    f = std::clamp(1.0 + 0.4 * (f - 1.0) + 0.1 * rng.normal(), 0.65, 1.4);
    const double tilt = 0.06 * rng.normal();
    for (int j = 0; j < n; ++j)
      scatter[j] = 0.06 * rng.normal();
    s.factor.push_back(f);
    double *row = s.ppt.data() + std::size_t(y) * n;
    bool ok = false, calmed = false;
    for (double calm : {1.0, 0.5, 0.25, 0.0}) {
      for (int j = 0; j < n; ++j) {
        const double ux = (s.x[j] - XMIN) / (XMAX - XMIN);
        const double v = (base[j] + calm * site[j]) *
                         (f + calm * tilt * 2.0 * (ux - 0.5)) *
                         (1.0 + calm * scatter[j]);
        row[j] =
            double(std::llround(std::clamp(v, 10.0, 35.0) * 100.0)) / 100.0;
      }
      const auto [lo, hi] = kriged_range(k, row, n);
      if (lo >= PPT_FLOOR && hi <= PPT_CEILING) {
        ok = true;
        break;
      }
      calmed = true;
    }
    s.calmed += calmed;
    if (!ok) {
      // One value for the whole area: the kriging weights sum to one.
      const double v =
          double(std::llround(std::clamp(20.0 * f, 10.0, 35.0) * 100.0)) /
          100.0;
      std::fill(row, row + n, v);
      const auto [lo, hi] = kriged_range(k, row, n);
      if (lo < PPT_FLOOR || hi > PPT_CEILING)
        die("the kriging cannot reproduce even a uniform year; try another "
            "seed or drift order");
    }
    const auto [lo, hi] = kriged_range(k, row, n);
    s.kmin = std::min(s.kmin, lo);
    s.kmax = std::max(s.kmax, hi);
  }
  return s;
}

} // namespace gen

// krige_kriging_test.cpp - the kriging matrix, its inverse and the estimates:
// layout of the matrix, the properties every estimate must have (exact at
// the data, weights summing to one, drift reproduced), the failures and the
// store bounds, the per-place weights, and how much accuracy the inverse
// keeps for each drift order, measured against a quadruple-precision solve.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "krige.h"
#include "quon.h"
#include "reporters.h"
#include "testutil.h"

namespace quon {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

constexpr int NDMAX = MAXKRIG * MAXKRIG;
const double NaN = std::numeric_limits<double>::quiet_NaN();

int order(int n, int idr) { return n + 2 * idr + 1; }

// Tests of the kriging's reports, which are records of the report file
// too: in a folder of their own.
class KrigingReports : public test::InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }
};

// Station sets spread like the model area's.
struct Points {
  std::vector<double> x, y;
  int n() const { return int(x.size()); }
};

Points random_points(int n, std::mt19937_64 &rng) {
  std::uniform_real_distribution<double> ux(266023.0, 1987303.0);
  std::uniform_real_distribution<double> uy(14092806.0, 14964006.0);
  Points p;
  for (int i = 0; i < n; ++i) {
    p.x.push_back(ux(rng));
    p.y.push_back(uy(rng));
  }
  return p;
}

std::vector<double> random_values(int n, std::mt19937_64 &rng) {
  std::uniform_real_distribution<double> u(5.0, 40.0);
  std::vector<double> z(n);
  for (double &v : z)
    v = u(rng);
  return z;
}

// One kriging store, as the run holds it.
struct Store {
  std::vector<double> amat = std::vector<double>(NDMAX, NaN);
  std::vector<double> ainv = std::vector<double>(NDMAX, NaN);
  bool inv(const Points &p, int idr) {
    return krigmatinv(X0, Y0, p.x, p.y, amat, ainv, p.n(), idr);
  }
  double eval(const Points &p, const std::vector<double> &z, double x, double y,
              int idr) const {
    return evalkrige(ainv, X0, Y0, p.x, p.y, z, x, y, p.n(), idr);
  }
};

TEST(Krigmat, LayoutOfDistancesConstantAndDrift) {
  // Offsets from the reference point are small integers, so every value is
  // exact: distances 5, sqrt(20), sqrt(85).
  Points p{{X0 + 3, X0 + 6, X0 - 1}, {Y0 + 4, Y0 + 8, Y0 + 2}};
  const int nd = order(3, 2);
  std::vector<double> a(nd * nd, NaN);
  krigmat(X0, Y0, p.x, p.y, a, 3, 2);
  const double s20 = std::sqrt(20.0), s85 = std::sqrt(85.0);
  const double want[8][8] = {
      {0, 5, s20, 1, 3, 4, 9, 16},   {5, 0, s85, 1, 6, 8, 36, 64},
      {s20, s85, 0, 1, -1, 2, 1, 4}, {1, 1, 1, 0, 0, 0, 0, 0},
      {3, 6, -1, 0, 0, 0, 0, 0},     {4, 8, 2, 0, 0, 0, 0, 0},
      {9, 36, 1, 0, 0, 0, 0, 0},     {16, 64, 4, 0, 0, 0, 0, 0}};
  for (int i = 0; i < nd; ++i)
    for (int j = 0; j < nd; ++j)
      EXPECT_EQ(a[j * nd + i], want[i][j])
          << "(" << i + 1 << "," << j + 1 << ")";
}

// Drift powers are formed by repeated squaring, x^3 = x*(x*x), which rounds
// differently from pow() for this offset.
TEST(Krigmat, CubicDriftByRepeatedSquaring) {
  double dx = 1000.5; // offsets exact in binary, so XP - X0 gives them back
  while (std::pow(dx, 3) == dx * (dx * dx))
    dx += 1.25;
  const double dy = dx + 1.25;
  Points p{{X0 + dx}, {Y0 + dy}};
  ASSERT_EQ(p.x[0] - X0, dx);
  const int nd = order(1, 3);
  std::vector<double> a(nd * nd, NaN);
  krigmat(X0, Y0, p.x, p.y, a, 1, 3);
  EXPECT_EQ(a[(1 + 6 - 1) * nd], dx * (dx * dx)); // A(1, N+6)
  EXPECT_EQ(a[1 + 6 - 1], dx * (dx * dx));        // A(N+6, 1)
  EXPECT_EQ(a[(1 + 7 - 1) * nd], dy * (dy * dy)); // A(1, N+7)
  EXPECT_EQ(a[(1 + 4 - 1) * nd], dx * dx);        // A(1, N+4)
}

// An inverse whose first column is the unit vector e_k makes the estimate
// of one point with value 1 equal to the k-th value of the right-hand side:
// the distance, 1, then x^k and y^k alternating, rounded as the matrix is.
TEST(Evalkrige, RightHandSideLayout) {
  double dx = 1000.5, dy = 777.25; // exact offsets, see above
  while (std::pow(dx, 3) == dx * (dx * dx))
    dx += 1.25;
  while (std::hypot(dx, dy) == std::sqrt(dx * dx + dy * dy))
    dy += 0.75;
  const Points p{{X0}, {Y0}};
  const double x = X0 + dx, y = Y0 + dy;
  const double want[8] = {std::sqrt(dx * dx + dy * dy),
                          1.0,
                          dx,
                          dy,
                          dx * dx,
                          dy * dy,
                          dx * (dx * dx),
                          dy * (dy * dy)};
  const int nd = order(1, 3);
  const std::vector<double> one{1.0};
  for (int k = 0; k < nd; ++k) {
    std::vector<double> ainv(nd * nd, 0.0);
    ainv[k] = 1.0;
    EXPECT_EQ(evalkrige(ainv, X0, Y0, p.x, p.y, one, x, y, 1, 3), want[k])
        << "row " << k + 1;
  }

  // The matrix holds the distance between two points the same way.
  const Points q{{X0, x}, {Y0, y}};
  std::vector<double> a(order(2, 0) * order(2, 0));
  krigmat(X0, Y0, q.x, q.y, a, 2, 0);
  EXPECT_EQ(a[1], want[0]);
}

TEST(Kriging, OnePointGivesItsValueEverywhere) {
  Store s;
  Points p{{500000.0}, {14500000.0}};
  ASSERT_TRUE(s.inv(p, 0));
  EXPECT_EQ(std::vector<double>(s.ainv.begin(), s.ainv.begin() + 4),
            (std::vector<double>{0, 1, 1, 0}));
  for (double x : {266023.0, 500000.0, 1987303.0})
    EXPECT_EQ(s.eval(p, {17.25}, x, 14000000.0, 0), 17.25);
}

TEST(Kriging, TwoPointsMeetHalfWay) {
  Store s;
  Points p{{400000.0, 460000.0}, {14300000.0, 14380000.0}};
  ASSERT_TRUE(s.inv(p, 0));
  EXPECT_NEAR(s.eval(p, {10.0, 30.0}, 430000.0, 14340000.0, 0), 20.0, 1e-12);
}

// Properties of every estimate, for each drift order: the data are
// reproduced at their points, constant data give that constant (the weights
// sum to one), and with a drift a linear field is reproduced anywhere.
TEST(Kriging, EstimatesHonourDataAndDrift) {
  std::mt19937_64 rng(31);
  std::uniform_real_distribution<double> ux(266023.0, 1987303.0);
  std::uniform_real_distribution<double> uy(14092806.0, 14964006.0);
  Store s;
  for (int idr = 0; idr <= 3; ++idr) {
    // A drift of order idr needs 2*idr + 1 points to be determined.
    for (int n : {7, 40, 128}) {
      SCOPED_TRACE("drift " + std::to_string(idr) + " n " + std::to_string(n));
      const Points p = random_points(n, rng);
      if (!s.inv(p, idr)) {
        ADD_FAILURE() << "not inverted";
        continue;
      }
      const std::vector<double> z = random_values(n, rng);
      for (int i = 0; i < n; ++i)
        EXPECT_NEAR(s.eval(p, z, p.x[i], p.y[i], idr), z[i], 1e-6);

      const std::vector<double> c(n, 23.5);
      std::vector<double> lin(n);
      for (int i = 0; i < n; ++i)
        lin[i] = 12.0 + 3e-6 * (p.x[i] - X0) - 8e-6 * (p.y[i] - Y0);
      for (int k = 0; k < 20; ++k) {
        const double x = ux(rng), y = uy(rng);
        EXPECT_NEAR(s.eval(p, c, x, y, idr), 23.5, 1e-6);
        // A linear field needs enough points to pin the drift.
        if (idr >= 1 && n >= 7) {
          EXPECT_NEAR(s.eval(p, lin, x, y, idr),
                      12.0 + 3e-6 * (x - X0) - 8e-6 * (y - Y0), 1e-6);
        }
      }
    }
  }
}

TEST_F(KrigingReports, RepeatedPointIsReportedOnceAndStillInverted) {
  Store s;
  Points p{{500000.0, 700000.0, 700000.0},
           {14500000.0, 14600000.0, 14600000.0}};
  CaptureStderr();
  const bool ok = s.inv(p, 0);
  const std::string err = GetCapturedStderr();
  EXPECT_TRUE(ok);
  EXPECT_EQ(err, "Repeated point\n");
  double big = 0.0;
  for (int i = 0; i < order(3, 0) * order(3, 0); ++i)
    big = std::max(big, std::fabs(s.ainv[i]));
  EXPECT_GT(big, 1e12);
}

TEST_F(KrigingReports, NoPointsCannotBeInverted) {
  Store s;
  Points p;
  std::fill(s.ainv.begin(), s.ainv.end(), 7.0);
  CaptureStderr();
  EXPECT_FALSE(s.inv(p, 0));
  EXPECT_EQ(GetCapturedStderr(), "Cannot invert kriging matrix\n");
  EXPECT_EQ(s.ainv[0], 0.0); // the 1 x 1 inverse is zero
  EXPECT_EQ(s.ainv[1], 7.0); // and nothing past it is touched
}

// 128 points with drift order 3 fill the store exactly; nothing is written
// past it.
TEST(Kriging, LargestSystemFillsTheStoreExactly) {
  std::mt19937_64 rng(5);
  const Points p = random_points(128, rng);
  ASSERT_EQ(order(128, 3), MAXKRIG);
  std::vector<double> amat(NDMAX + 16, NaN), ainv(NDMAX + 16, NaN);
  ASSERT_TRUE(krigmatinv(X0, Y0, p.x, p.y, std::span(amat).first(NDMAX),
                         std::span(ainv).first(NDMAX), 128, 3));
  for (int i = 0; i < NDMAX; ++i) {
    ASSERT_FALSE(std::isnan(amat[i])) << i;
    ASSERT_FALSE(std::isnan(ainv[i])) << i;
  }
  for (int i = NDMAX; i < NDMAX + 16; ++i) {
    EXPECT_TRUE(std::isnan(amat[i]));
    EXPECT_TRUE(std::isnan(ainv[i]));
  }
}

// Systems beyond the store are refused without touching it; only the bounds
// of the work vectors have messages of their own.
TEST_F(KrigingReports, OversizedSystemsTouchNothing) {
  std::mt19937_64 rng(9);
  const Points big = random_points(2048, rng);
  const Points p129{{big.x.begin(), big.x.begin() + 129},
                    {big.y.begin(), big.y.begin() + 129}};
  const std::vector<double> z(2048, 1.0);
  // Larger spans than the store, so only the store bound can refuse.
  std::vector<double> amat(140 * 140, NaN), ainv(140 * 140, NaN);
  auto untouched = [&] {
    return std::all_of(amat.begin(), amat.end(),
                       [](double v) { return std::isnan(v); }) &&
           std::all_of(ainv.begin(), ainv.end(),
                       [](double v) { return std::isnan(v); });
  };

  CaptureStderr();
  EXPECT_FALSE(krigmatinv(X0, Y0, p129.x, p129.y, amat, ainv, 129, 3));
  EXPECT_FALSE(krigmatinv(X0, Y0, p129.x, p129.y, amat, ainv, 128, 4));
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_TRUE(untouched());

  CaptureStderr();
  EXPECT_FALSE(krigmatinv(X0, Y0, big.x, big.y, amat, ainv, 2048, 0));
  EXPECT_EQ(GetCapturedStderr(), "Kriging matrix too large\n");
  EXPECT_TRUE(untouched());

  // Spans shorter than the system.
  EXPECT_FALSE(krigmatinv(X0, Y0, p129.x, p129.y, std::span(amat).first(99),
                          ainv, 9, 0));
  EXPECT_FALSE(krigmatinv(X0, Y0, std::span(p129.x).first(9),
                          std::span(p129.y).first(9), amat, ainv, 10, 0));
  EXPECT_TRUE(untouched());

  // Estimates of such systems are 0; an ND above 1024 is reported.
  std::fill(ainv.begin(), ainv.end(), 1.0);
  CaptureStderr();
  EXPECT_EQ(evalkrige(ainv, X0, Y0, p129.x, p129.y, z, 5e5, 1.45e7, 129, 3),
            0.0);
  EXPECT_EQ(GetCapturedStderr(), "");
  CaptureStderr();
  EXPECT_EQ(evalkrige(ainv, X0, Y0, big.x, big.y, z, 5e5, 1.45e7, 1024, 0),
            0.0);
  EXPECT_EQ(GetCapturedStderr(), "N too large in EVALKRIGE\n");

  std::vector<double> w(129, NaN);
  krigweights(ainv, X0, Y0, p129.x, p129.y, 5e5, 1.45e7, 129, 3, w);
  EXPECT_THAT(w, ::testing::Each(0.0));
}

// The per-place weights reproduce evalkrige bit for bit for any values.
TEST(Kriging, WeightsGiveTheEstimateBitForBit) {
  std::mt19937_64 rng(77);
  std::uniform_real_distribution<double> ux(266023.0, 1987303.0);
  std::uniform_real_distribution<double> uy(14092806.0, 14964006.0);
  Store s;
  std::vector<double> w(MAXSTATION);
  for (int idr = 0; idr <= 3; ++idr)
    for (int n : {1, 2, 9, 33, 100, 128}) {
      const Points p = random_points(n, rng);
      ASSERT_TRUE(s.inv(p, idr));
      for (int k = 0; k < 25; ++k) {
        // Data points too: there many weights are at rounding level.
        const bool at_point = k < 5;
        const double x = at_point ? p.x[k % n] : ux(rng);
        const double y = at_point ? p.y[k % n] : uy(rng);
        krigweights(s.ainv, X0, Y0, p.x, p.y, x, y, n, idr, w);
        for (int t = 0; t < 3; ++t) {
          const std::vector<double> z = random_values(n, rng);
          double sum = 0.0;
          for (int j = 0; j < n; ++j)
            sum = sum + z[j] * w[j];
          ASSERT_EQ(sum, s.eval(p, z, x, y, idr))
              << "drift " << idr << " n " << n << " place " << k;
        }
      }
    }
}

// The weights of a whole row of cells formed together are those of each
// cell on its own, bit for bit, whatever the block remainder; and a system
// past the block store (more than 128 points) still gives the same weights.
TEST(Kriging, WeightsOfManyPlacesEqualThoseOfEachPlace) {
  std::mt19937_64 rng(78);
  std::uniform_real_distribution<double> ux(266023.0, 1987303.0);
  std::uniform_real_distribution<double> uy(14092806.0, 14964006.0);
  Store s;
  for (int idr = 0; idr <= 3; ++idr)
    for (int n : {1, 7, 64, 128}) {
      const Points p = random_points(n, rng);
      ASSERT_TRUE(s.inv(p, idr));
      for (int places : {1, 8, 13, 326}) {
        std::vector<double> x(places), y(places);
        for (int k = 0; k < places; ++k) {
          x[k] = k == 0 ? p.x[0] : ux(rng);
          y[k] = k == 0 ? p.y[0] : uy(rng);
        }
        std::vector<double> many(std::size_t(places) * n, NaN), one(n);
        krigweights_many(s.ainv, X0, Y0, p.x, p.y, x, y, n, idr, many);
        for (int k = 0; k < places; ++k) {
          krigweights(s.ainv, X0, Y0, p.x, p.y, x[k], y[k], n, idr, one);
          for (int j = 0; j < n; ++j)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(many[k * n + j]),
                      std::bit_cast<std::uint64_t>(one[j]))
                << "drift " << idr << " n " << n << " place " << k << " of "
                << places << " weight " << j;
        }
      }
    }
  const Points p = random_points(MAXKRIG - 1, rng);
  ASSERT_TRUE(s.inv(p, 0));
  std::vector<double> x{5e5, 9e5}, y{1.45e7, 1.46e7};
  std::vector<double> many(2 * p.n()), one(p.n());
  krigweights_many(s.ainv, X0, Y0, p.x, p.y, x, y, p.n(), 0, many);
  krigweights(s.ainv, X0, Y0, p.x, p.y, x[1], y[1], p.n(), 0, one);
  for (int j = 0; j < p.n(); ++j)
    ASSERT_EQ(many[p.n() + j], one[j]) << j;
}

// ---- Accuracy of the inverse, against quadruple precision -----------------

using quad = __float128;

quad qabs(quad v) { return v < 0 ? -v : v; }

quad qsqrt(quad v) {
  if (v == 0)
    return 0;
  quad r = std::sqrt(double(v));
  for (int i = 0; i < 3; ++i)
    r = (r + v / r) / 2;
  return r;
}

// The kriging system of the points solved in quadruple precision from the
// coordinates themselves (Gaussian elimination, partial pivoting): a
// reference for estimates, independent of the double routines.
struct QuadKriging {
  int n, idr, nd;
  const Points &p;
  std::vector<quad> lu;
  std::vector<int> piv;

  QuadKriging(const Points &pts, int drift)
      : n(pts.n()), idr(drift), nd(order(n, drift)), p(pts),
        lu(std::size_t(nd) * nd, 0), piv(nd) {
    for (int i = 0; i < n; ++i) {
      quad r[8];
      terms(p.x[i], p.y[i], r);
      for (int j = 0; j < n; ++j) {
        const quad dx = quad(p.x[i]) - p.x[j], dy = quad(p.y[i]) - p.y[j];
        m(i, j) = qsqrt(dx * dx + dy * dy);
      }
      for (int k = 0; k <= 2 * idr; ++k)
        m(i, n + k) = m(n + k, i) = r[k];
    }
    for (int k = 0; k < nd; ++k) {
      int best = k;
      for (int i = k + 1; i < nd; ++i)
        if (qabs(m(i, k)) > qabs(m(best, k)))
          best = i;
      piv[k] = best;
      for (int j = 0; j < nd; ++j)
        std::swap(m(k, j), m(best, j));
      for (int i = k + 1; i < nd; ++i) {
        m(i, k) /= m(k, k);
        for (int j = k + 1; j < nd; ++j)
          m(i, j) -= m(i, k) * m(k, j);
      }
    }
  }
  quad &m(int i, int j) { return lu[std::size_t(i) * nd + j]; }
  // 1, x^1, y^1, x^2, y^2, ... of the offsets from the reference point.
  void terms(double x, double y, quad *r) const {
    const quad dx = quad(x) - X0, dy = quad(y) - Y0;
    r[0] = 1;
    quad px = 1, py = 1;
    for (int k = 1; k <= idr; ++k) {
      px *= dx;
      py *= dy;
      r[2 * k - 1] = px;
      r[2 * k] = py;
    }
  }
  quad estimate(const std::vector<double> &z, double x, double y) {
    std::vector<quad> b(nd);
    for (int i = 0; i < n; ++i) {
      const quad dx = quad(x) - p.x[i], dy = quad(y) - p.y[i];
      b[i] = qsqrt(dx * dx + dy * dy);
    }
    terms(x, y, &b[n]);
    for (int k = 0; k < nd; ++k)
      std::swap(b[k], b[piv[k]]);
    for (int i = 0; i < nd; ++i)
      for (int j = 0; j < i; ++j)
        b[i] -= m(i, j) * b[j];
    for (int i = nd - 1; i >= 0; --i) {
      for (int j = i + 1; j < nd; ++j)
        b[i] -= m(i, j) * b[j];
      b[i] /= m(i, i);
    }
    quad s = 0;
    for (int j = 0; j < n; ++j)
      s += quad(z[j]) * b[j];
    return s;
  }
};

// Largest |A * Ainv - I| of the system of the points in the store, raw and
// relative to the sum of the magnitudes of the products (the rounding any
// product of these magnitudes must carry), and the 1-norm condition number.
struct Residual {
  double raw = 0.0, relative = 0.0, cond = 0.0;
};

Residual identity_residual(const Points &p, int idr, const Store &s) {
  const int n = p.n(), nd = order(n, idr);
  std::vector<double> a(std::size_t(nd) * nd);
  krigmat(X0, Y0, p.x, p.y, a, n, idr);
  Residual r;
  double anorm = 0.0, inorm = 0.0;
  for (int j = 0; j < nd; ++j) {
    double ca = 0.0, ci = 0.0;
    for (int i = 0; i < nd; ++i) {
      ca += std::fabs(a[j * nd + i]);
      ci += std::fabs(s.ainv[j * nd + i]);
      long double t = (i == j) ? -1.0L : 0.0L, mag = 0.0L;
      for (int k = 0; k < nd; ++k) {
        const long double v = (long double)a[k * nd + i] * s.ainv[j * nd + k];
        t += v;
        mag += std::fabs(v);
      }
      r.raw = std::max(r.raw, double(std::fabs(t)));
      // With exactly as many points as drift terms the block of the inverse
      // for the points is zero and its products are rounding noise alone.
      if (n > 2 * idr + 1)
        r.relative = std::max(r.relative, double(std::fabs(t) / mag));
    }
    anorm = std::max(anorm, ca);
    inorm = std::max(inorm, ci);
  }
  r.cond = anorm * inorm;
  return r;
}

// Largest error of estimates at random places in the box, relative to the
// largest datum, against the quadruple-precision solve.
double estimate_error(const Points &p, int idr, const Store &s, double x0,
                      double x1, double y0, double y1, std::mt19937_64 &rng) {
  std::uniform_real_distribution<double> ux(x0, x1), uy(y0, y1);
  QuadKriging ref(p, idr);
  const std::vector<double> z = random_values(p.n(), rng);
  const double scale = *std::max_element(z.begin(), z.end());
  double error = 0.0;
  for (int k = 0; k < 10; ++k) {
    const double x = ux(rng), y = uy(rng);
    const quad d = s.eval(p, z, x, y, idr) - ref.estimate(z, x, y);
    error = std::max(error, double(qabs(d)) / scale);
  }
  return error;
}

double digits(double error) { return error > 0 ? -std::log10(error) : 99.0; }

// How much accuracy the inverse keeps for each drift order, over station
// sets spread across the model area (1 to 128 points, as many as the drift
// needs at least) and over a tight cluster of stations in the far corner,
// where the drift columns are nearly parallel. The figures are printed; the
// bounds asserted leave a wide margin over what was measured.
TEST(KrigingAccuracy, InverseAndEstimatesByDriftOrder) {
  std::mt19937_64 rng(1234);
  Store s;
  for (int idr = 0; idr <= 3; ++idr) {
    Residual worst;
    double error = 0.0;
    for (int n : {1, 2, 3, 5, 7, 8, 13, 21, 34, 55, 89, 100, 128}) {
      if (n < 2 * idr + 1)
        continue;
      const Points p = random_points(n, rng);
      ASSERT_TRUE(s.inv(p, idr));
      const Residual r = identity_residual(p, idr, s);
      worst.raw = std::max(worst.raw, r.raw);
      worst.relative = std::max(worst.relative, r.relative);
      worst.cond = std::max(worst.cond, r.cond);
      error = std::max(error, estimate_error(p, idr, s, 266023.0, 1987303.0,
                                             14092806.0, 14964006.0, rng));
    }

    // 40 stations within 50 miles of the north-east corner.
    Points c;
    std::uniform_real_distribution<double> cx(1723303.0, 1987303.0);
    std::uniform_real_distribution<double> cy(14700006.0, 14964006.0);
    for (int i = 0; i < 40; ++i) {
      c.x.push_back(cx(rng));
      c.y.push_back(cy(rng));
    }
    ASSERT_TRUE(s.inv(c, idr));
    const Residual rc = identity_residual(c, idr, s);
    const double cerror = estimate_error(c, idr, s, 1723303.0, 1987303.0,
                                         14700006.0, 14964006.0, rng);

    std::printf("drift %d spread: residual %.2g (relative %.2g), cond %.2g, "
                "estimates %.2g (%.1f digits); cluster: residual %.2g "
                "(relative %.2g), cond %.2g, estimates %.2g (%.1f digits)\n",
                idr, worst.raw, worst.relative, worst.cond, error,
                digits(error), rc.raw, rc.relative, rc.cond, cerror,
                digits(cerror));
    EXPECT_LT(worst.relative, 1e-10) << "drift " << idr;
    EXPECT_LT(rc.relative, 1e-10) << "drift " << idr;
    if (idr <= 1) {
      EXPECT_LT(worst.raw, 1e-6) << "drift " << idr;
    }
    EXPECT_LT(error, 1e-9) << "drift " << idr;
    EXPECT_LT(cerror, 1e-9) << "drift " << idr;
  }
}

} // namespace
} // namespace quon

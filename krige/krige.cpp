// krige.cpp - universal kriging with a linear variogram and power drift: the
// kriging matrix of a set of points, its inverse, and estimates from it.
//
// The expensive step, the inverse, is done once per set of points; every
// estimate afterwards costs one right-hand side and a weighted sum, for any
// vector of values observed at those points.

#include "krige.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "messages.h"
#include "quon.h"
#include "reporters.h"

namespace quon {
namespace {

// Bounds of the two work vectors. The store of the callers (MAXKRIG square)
// is smaller than either, so these only matter to a caller that breached its
// own limits.
constexpr long long MAXINDX = 2048;
constexpr long long MAXW = 1024;

// Pivot rows of the last factorisation, kept between calls.
std::array<int, MAXINDX> indx_store{};
// Right-hand side of an estimate: distances to the points, 1, drift terms.
std::array<double, MAXW> w_store{};

// Order of the system of n points with drift order idr; -1 when either is
// negative.
long long order(int n, int idr) {
  if (n < 0 || idr < 0)
    return -1;
  return static_cast<long long>(n) + 2LL * idr + 1;
}

// True when a system of order nd fits the kriging store and every span holds
// what the routines read or write.
bool fits(long long nd, int n, std::span<const double> xp,
          std::span<const double> yp, std::size_t matrix) {
  if (nd < 1 || nd > MAXKRIG)
    return false;
  const std::size_t m = std::size_t(nd) * std::size_t(nd);
  return xp.size() >= std::size_t(n) && yp.size() >= std::size_t(n) &&
         matrix >= m;
}

// x^k for k >= 1 by repeated squaring (x^2 = x*x, x^3 = x*(x*x)), the way
// the established results raised a double to an integer power; pow() rounds
// once and so differs in the last bit for about a quarter of the offsets.
double ipow(double x, int k) {
  double y = (k % 2 != 0) ? x : 1.0;
  while ((k >>= 1) != 0) {
    x = x * x;
    if (k % 2 != 0)
      y = y * x;
  }
  return y;
}

// Fills the first nd values of w_store for an estimate at (x, y).
void rhs(double x0, double y0, std::span<const double> xp,
         std::span<const double> yp, double x, double y, int n, int idr) {
  for (int i = 0; i < n; ++i) {
    const double dx = x - xp[i];
    const double dy = y - yp[i];
    w_store[i] = std::sqrt(dx * dx + dy * dy);
  }
  w_store[n] = 1.0;
  for (int k = 1; k <= idr; ++k) {
    w_store[n + 2 * k - 1] = ipow(x - x0, k);
    w_store[n + 2 * k] = ipow(y - y0, k);
  }
}

// The weight of point j (1-based): column j of the inverse against the
// right-hand side, summed in increasing row.
double weight_of(std::span<const double> ainv, int j, int nd) {
  const double *col = ainv.data() + std::size_t(j - 1) * std::size_t(nd);
  double t = 0.0;
  for (int i = 0; i < nd; ++i)
    t = t + w_store[i] * col[i];
  return t;
}

} // namespace

// Fills a with the kriging matrix of the n points (order nd = n + 2*idr + 1,
// leading dimension nd): distances between the points (0 on the diagonal),
// then the constant column, then x^k and y^k of the offsets from (x0, y0)
// alternating by increasing power k = 1..idr; the matrix is symmetric and
// every one of its nd*nd values is written. Two points at the same place are
// reported ("Repeated point") once per pair and the build goes on with the
// distance 0. Writes nothing when n or idr is negative or a span is too
// short. Does not allocate.
void krigmat(double x0, double y0, std::span<const double> xp,
             std::span<const double> yp, std::span<double> a, int n, int idr) {
  const long long ndl = order(n, idr);
  if (ndl < 1 || xp.size() < std::size_t(n) || yp.size() < std::size_t(n) ||
      a.size() / std::size_t(ndl) < std::size_t(ndl))
    return;
  const int nd = static_cast<int>(ndl);
  auto at = [nd](int i, int j) {
    return std::size_t(j - 1) * std::size_t(nd) + std::size_t(i - 1);
  };

  for (int i = 1; i <= n; ++i) {
    a[at(i, i)] = 0.0;
    a[at(n + 1, i)] = 1.0;
    a[at(i, n + 1)] = 1.0;
    for (int j = 1; j < i; ++j) {
      const double dx = xp[i - 1] - xp[j - 1];
      const double dy = yp[i - 1] - yp[j - 1];
      const double h = std::sqrt(dx * dx + dy * dy);
      if (h == 0.0)
        error(msg::REPEATED_POINT);
      a[at(i, j)] = h;
      a[at(j, i)] = h;
    }
  }
  for (int k = 1; k <= idr; ++k) {
    for (int i = 1; i <= n; ++i) {
      const double xk = ipow(xp[i - 1] - x0, k);
      const double yk = ipow(yp[i - 1] - y0, k);
      a[at(i, n + 2 * k)] = xk;
      a[at(i, n + 2 * k + 1)] = yk;
      a[at(n + 2 * k, i)] = xk;
      a[at(n + 2 * k + 1, i)] = yk;
    }
  }
  for (int j = n + 1; j <= nd; ++j)
    for (int i = n + 1; i <= nd; ++i)
      a[at(i, j)] = 0.0;
}

// Builds the kriging matrix of the points into amat, factorises it there and
// writes the inverse into ainv (both with leading dimension nd), then
// returns true. Returns false when no inverse was formed:
//  - nd > 2048: "Kriging matrix too large" is reported, nothing is touched;
//  - nd above the MAXKRIG store, n or idr negative, or a span too short
//    (only a caller whose own limits were breached gets here, and it
//    reports that breach): nothing is touched and nothing reported;
//  - a row of the matrix is all zero (n = 0 with idr = 0): "Cannot invert
//    kriging matrix" is reported, the first nd*nd values of ainv are set to
//    zero and no solve runs on the unfactorised matrix.
// A repeated point is reported by krigmat; its inverse is formed but holds
// very large values. Does not allocate.
bool krigmatinv(double x0, double y0, std::span<const double> xp,
                std::span<const double> yp, std::span<double> amat,
                std::span<double> ainv, int n, int idr) {
  const long long ndl = order(n, idr);
  if (ndl > MAXINDX) {
    error(msg::KRIG_TOO_LARGE);
    return false;
  }
  if (!fits(ndl, n, xp, yp, std::min(amat.size(), ainv.size())))
    return false;
  const int nd = static_cast<int>(ndl);
  const std::size_t m = std::size_t(nd) * std::size_t(nd);
  const std::span<double> a = amat.first(m);
  const std::span<double> inv = ainv.first(m);

  krigmat(x0, y0, xp, yp, a, n, idr);
  // The inverse's store serves as the row-scale scratch; every value it
  // leaves there is overwritten below.
  if (!ludcmp(a, nd, indx_store, inv)) {
    error(msg::KRIG_CANNOT_INVERT);
    std::fill(inv.begin(), inv.end(), 0.0);
    return false;
  }
  for (int j = 1; j <= nd; ++j) {
    const std::span<double> col = inv.subspan(std::size_t(j - 1) * nd, nd);
    std::fill(col.begin(), col.end(), 0.0);
    col[j - 1] = 1.0;
    lubksb(a, nd, indx_store, col);
  }
  return true;
}

// The estimate at (x, y) for the values zp: the sum over the points j of
// zp[j] times the weight of j, each weight being column j of the inverse
// against the right-hand side (distances from (x, y) to the points, 1, the
// drift terms of (x, y)), summed in increasing row. ainv must come from the
// last krigmatinv of the same points. Returns 0 when the system is too
// large for the store or a span is too short; nd > 1024 is reported as
// "N too large in EVALKRIGE". Changes nothing but its own right-hand side
// store; does not allocate.
double evalkrige(std::span<const double> ainv, double x0, double y0,
                 std::span<const double> xp, std::span<const double> yp,
                 std::span<const double> zp, double x, double y, int n,
                 int idr) {
  const long long ndl = order(n, idr);
  if (ndl > MAXW) {
    error(msg::KRIG_N_TOO_LARGE);
    return 0.0;
  }
  if (!fits(ndl, n, xp, yp, ainv.size()) || zp.size() < std::size_t(n))
    return 0.0;
  const int nd = static_cast<int>(ndl);

  rhs(x0, y0, xp, yp, x, y, n, idr);
  double s = 0.0;
  for (int j = 1; j <= n; ++j)
    s = s + zp[j - 1] * weight_of(ainv, j, nd);
  return s;
}

// Writes the n weights evalkrige forms at (x, y) into weight, so that one
// set of weights per place serves every vector of values:
// sum_j zp[j] * weight[j], taken in increasing j from 0, equals evalkrige
// bit for bit. When evalkrige would give 0 (system too large, a span too
// short) the weights it can hold are set to 0; nothing is reported.
// Does not allocate.
void krigweights(std::span<const double> ainv, double x0, double y0,
                 std::span<const double> xp, std::span<const double> yp,
                 double x, double y, int n, int idr,
                 std::span<double> weight) noexcept {
  const long long ndl = order(n, idr);
  if (ndl > MAXW || !fits(ndl, n, xp, yp, ainv.size()) ||
      weight.size() < std::size_t(n)) {
    const std::size_t m = std::min(weight.size(), std::size_t(std::max(n, 0)));
    std::fill(weight.begin(), weight.begin() + m, 0.0);
    return;
  }
  const int nd = static_cast<int>(ndl);

  rhs(x0, y0, xp, yp, x, y, n, idr);
  for (int j = 1; j <= n; ++j)
    weight[j - 1] = weight_of(ainv, j, nd);
}

namespace {

// Places whose weights krigweights_many forms together: each row of the
// inverse is read once per block instead of once per place.
constexpr int BLOCK = 8;

// The first n columns of the inverse, transposed so that one row of it (the
// coefficients of one right-hand-side entry for every point) is contiguous.
std::array<double, MAXKRIG * MAXSTATION> ainv_rows{};
std::array<std::array<double, MAXKRIG>, BLOCK> block_rhs{};

// Four doubles handled as one value; every operation on it is the same IEEE
// operation on each lane.
typedef double Lanes __attribute__((vector_size(32)));

// out[b*n + j] = the sum over i of block_rhs[b][i] * ainv_rows[i*n + j],
// for the nb places of a block, each sum taken in increasing i from 0.
// Every operation is one IEEE multiplication or addition of doubles (no
// fused multiply-add: the build keeps them apart), so the wider vector
// version the processor may offer gives the same bits as the plain one.
// A full block keeps the sums of four columns of all its places in
// registers through the rows, instead of loading and storing them once per
// row: the same operations in the same order, a third of the memory traffic.
__attribute__((target_clones("avx2", "default"))) void
accumulate(const double *rows, int nd, int nb, std::size_t un, double *out) {
  std::size_t j0 = 0;
  if (nb == BLOCK) {
    for (; j0 + 4 <= un; j0 += 4) {
      Lanes acc[BLOCK];
      for (auto &a : acc)
        a = Lanes{0.0, 0.0, 0.0, 0.0};
      for (int i = 0; i < nd; ++i) {
        Lanes r;
        std::memcpy(&r, rows + std::size_t(i) * un + j0, sizeof r);
        for (int b = 0; b < BLOCK; ++b)
          acc[b] = acc[b] + block_rhs[b][std::size_t(i)] * r;
      }
      for (int b = 0; b < BLOCK; ++b)
        std::memcpy(out + std::size_t(b) * un + j0, &acc[b], sizeof acc[b]);
    }
  }
  // The columns left over, and a short last block.
  for (int b = 0; b < nb; ++b)
    std::fill(out + std::size_t(b) * un + j0, out + std::size_t(b + 1) * un,
              0.0);
  for (int i = 0; i < nd; ++i) {
    const double *row = rows + std::size_t(i) * un;
    for (int b = 0; b < nb; ++b) {
      const double wi = block_rhs[b][std::size_t(i)];
      double *acc = out + std::size_t(b) * un;
      for (std::size_t j = j0; j < un; ++j)
        acc[j] = acc[j] + wi * row[j];
    }
  }
}

} // namespace

// The weights of many places at once: weight[k*n .. k*n + n - 1] receives
// the n weights at (x[k], y[k]) for k = 0 .. x.size() - 1, each bit for bit
// what krigweights gives there (every weight is summed in increasing row
// from 0, exactly as krigweights sums it). When krigweights would give zero
// weights, so does this. Does not allocate.
void krigweights_many(std::span<const double> ainv, double x0, double y0,
                      std::span<const double> xp, std::span<const double> yp,
                      std::span<const double> x, std::span<const double> y,
                      int n, int idr, std::span<double> weight) noexcept {
  const std::size_t places = std::min(x.size(), y.size());
  const long long ndl = order(n, idr);
  if (n > MAXSTATION || ndl > MAXW || !fits(ndl, n, xp, yp, ainv.size()) ||
      weight.size() < places * std::size_t(std::max(n, 0))) {
    for (std::size_t k = 0; k < places; ++k)
      krigweights(ainv, x0, y0, xp, yp, x[k], y[k], n, idr,
                  weight.subspan(std::min(weight.size(),
                                          k * std::size_t(std::max(n, 0)))));
    return;
  }
  const int nd = static_cast<int>(ndl);
  const std::size_t un = std::size_t(n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < nd; ++i)
      ainv_rows[std::size_t(i) * un + std::size_t(j)] =
          ainv[std::size_t(j) * std::size_t(nd) + std::size_t(i)];

  for (std::size_t k0 = 0; k0 < places; k0 += BLOCK) {
    const int nb = int(std::min<std::size_t>(BLOCK, places - k0));
    for (int b = 0; b < nb; ++b) {
      rhs(x0, y0, xp, yp, x[k0 + b], y[k0 + b], n, idr);
      std::copy_n(w_store.begin(), nd, block_rhs[b].begin());
    }
    accumulate(ainv_rows.data(), nd, nb, un, weight.data() + k0 * un);
  }
}

} // namespace quon

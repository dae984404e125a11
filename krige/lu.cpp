// lu.cpp - dense LU factorisation (Crout's method, partial pivoting with
// implicit row scaling) and the matching forward and back substitution.
//
// The kriging inverse is built from these two routines and every estimate of
// the run depends on it, so the order of every operation below is fixed:
// changing it changes results in the last bits.

#include "krige.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quon {
namespace {

// Stands in for an exactly zero pivot: the single-precision 1.0E-20 widened
// to double (not the double nearest to 1.0E-20), as the established results
// of the model were computed with.
constexpr double TINY = static_cast<double>(1.0E-20f);

// Column-major element (i, j), both 1-based, of an n x n matrix.
inline std::size_t at(int i, int j, int n) {
  return std::size_t(j - 1) * std::size_t(n) + std::size_t(i - 1);
}

} // namespace

// Factorises a in place (rows in pivot order: unit lower triangle below the
// diagonal, upper triangle on and above it); indx[j-1] is the row swapped
// with row j at step j. Returns false, before touching a or indx, when a row
// is entirely zero (w then holds the scales of the rows above it), and also
// when n < 1 or a span is too short for n (nothing touched). An exactly zero
// pivot of a singular matrix becomes TINY and the result is true. Does not
// allocate.
bool ludcmp(std::span<double> a, int n, std::span<int> indx,
            std::span<double> w) noexcept {
  if (n < 1)
    return false;
  const std::size_t nn = std::size_t(n);
  if (a.size() < nn * nn || indx.size() < nn || w.size() < nn)
    return false;

  // Implicit row scaling: each pivot candidate is weighed against the
  // largest magnitude of its own row.
  for (int i = 1; i <= n; ++i) {
    double dmax = 0.0;
    for (int j = 1; j <= n; ++j)
      dmax = std::max(std::fabs(a[at(i, j, n)]), dmax);
    if (dmax == 0.0)
      return false;
    w[i - 1] = 1.0 / dmax;
  }

  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i < j; ++i) {
      double sum = a[at(i, j, n)];
      for (int k = 1; k < i; ++k)
        sum = sum - a[at(i, k, n)] * a[at(k, j, n)];
      a[at(i, j, n)] = sum;
    }

    // Strictly greater: among equal scaled candidates the lowest row wins,
    // and when all are zero the diagonal row stays.
    double dmax = 0.0;
    int imax = j;
    for (int i = j; i <= n; ++i) {
      double sum = a[at(i, j, n)];
      for (int k = 1; k < j; ++k)
        sum = sum - a[at(i, k, n)] * a[at(k, j, n)];
      a[at(i, j, n)] = sum;
      const double dum = w[i - 1] * std::fabs(sum);
      if (dum > dmax) {
        imax = i;
        dmax = dum;
      }
    }

    // Whole rows change places, the multipliers already stored included.
    if (imax != j) {
      for (int k = 1; k <= n; ++k) {
        const double dum = a[at(imax, k, n)];
        a[at(imax, k, n)] = a[at(j, k, n)];
        a[at(j, k, n)] = dum;
      }
      w[imax - 1] = w[j - 1];
    }
    indx[j - 1] = imax;

    if (j != n) {
      if (a[at(j, j, n)] == 0.0)
        a[at(j, j, n)] = TINY;
      const double dum = 1.0 / a[at(j, j, n)];
      for (int i = j + 1; i <= n; ++i)
        a[at(i, j, n)] = a[at(i, j, n)] * dum;
    }
  }
  if (a[at(n, n, n)] == 0.0)
    a[at(n, n, n)] = TINY;
  return true;
}

// Solves a x = b in place with the factors and interchanges of a successful
// ludcmp; a and indx are only read, so one factorisation serves any number
// of right-hand sides. Does nothing when n < 1 or a span is too short.
// Does not allocate.
void lubksb(std::span<const double> a, int n, std::span<const int> indx,
            std::span<double> b) noexcept {
  if (n < 1)
    return;
  const std::size_t nn = std::size_t(n);
  if (a.size() < nn * nn || indx.size() < nn || b.size() < nn)
    return;

  // Forward pass with the unit lower triangle, undoing the interchanges as
  // it goes. ii is the first non-zero of the permuted right-hand side: the
  // leading zeros contribute nothing, so they are skipped (a column of the
  // identity has many).
  int ii = 0;
  for (int i = 1; i <= n; ++i) {
    const int k = indx[i - 1];
    double sum = b[k - 1];
    b[k - 1] = b[i - 1];
    if (ii != 0) {
      for (int j = ii; j < i; ++j)
        sum = sum - a[at(i, j, n)] * b[j - 1];
    } else if (sum != 0.0) {
      ii = i;
    }
    b[i - 1] = sum;
  }

  for (int i = n; i >= 1; --i) {
    double sum = b[i - 1];
    for (int j = i + 1; j <= n; ++j)
      sum = sum - a[at(i, j, n)] * b[j - 1];
    b[i - 1] = sum / a[at(i, i, n)];
  }
}

} // namespace quon

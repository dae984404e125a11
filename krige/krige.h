// krige.h - universal kriging with a linear variogram and power drift, on a
// dense LU solver (Crout's method with implicit row scaling).
//
// Matrices are column-major, element (i, j) of an n x n matrix at
// a[(j-1)*n + (i-1)]. None of these routines allocates: the pivot vector and
// the right-hand side are fixed stores of this module.
#pragma once

#include <span>

#include "quon.h"

namespace quon {

// Factorises a (n x n) in place into L and U of the row-permuted matrix;
// indx receives the row interchanged at each step, w serves as scratch for
// the row scales. False only when a row is entirely zero (a, indx untouched).
// An exactly zero pivot is replaced by 9.999999682655225E-21.
bool ludcmp(std::span<double> a, int n, std::span<int> indx,
            std::span<double> w) noexcept;

// Solves a x = b with the factors of ludcmp; b becomes x.
void lubksb(std::span<const double> a, int n, std::span<const int> indx,
            std::span<double> b) noexcept;

// Fills a (nd x nd, nd = n + 2*idr + 1) with the kriging matrix of the
// points: distances, the constant column, then x^k, y^k alternating by
// increasing power k = 1..idr, offsets taken from (x0, y0).
void krigmat(double x0, double y0, std::span<const double> xp,
             std::span<const double> yp, std::span<double> a, int n, int idr);

// Builds the kriging matrix into amat, factorises it there and writes its
// inverse into ainv. Returns false (and leaves ainv all zero, or untouched
// when the system is larger than the 135 x 135 store) when no inverse could
// be formed; the cause has been reported.
bool krigmatinv(double x0, double y0, std::span<const double> xp,
                std::span<const double> yp, std::span<double> amat,
                std::span<double> ainv, int n, int idr);

// The estimate at (x, y) for the values zp at the points, from the inverse
// of the last krigmatinv with the same points. 0 when the system is too
// large.
double evalkrige(std::span<const double> ainv, double x0, double y0,
                 std::span<const double> xp, std::span<const double> yp,
                 std::span<const double> zp, double x, double y, int n,
                 int idr);

// The n weights that evalkrige forms at (x, y), each summed in the same
// order, so that sum_j zp[j] * weight[j] taken in increasing j equals
// evalkrige bit for bit for any zp.
void krigweights(std::span<const double> ainv, double x0, double y0,
                 std::span<const double> xp, std::span<const double> yp,
                 double x, double y, int n, int idr,
                 std::span<double> weight) noexcept;

// krigweights at many places: weight[k*n ..] receives the n weights at
// (x[k], y[k]), bit for bit what krigweights gives there, but each row of
// the inverse is shared by a block of places, which makes forming the
// weights of the whole grid several times faster. Does not allocate.
void krigweights_many(std::span<const double> ainv, double x0, double y0,
                      std::span<const double> xp, std::span<const double> yp,
                      std::span<const double> x, std::span<const double> y,
                      int n, int idr, std::span<double> weight) noexcept;

// True when the drift terms of order d (1, then x^k and y^k for k = 1..d)
// are independent at the first n stations of st, so that the kriging
// system can be solved. Never allocates.
bool drift_carried(const StationTable &st, int n, int d);

} // namespace quon

// krige_lu_test.cpp - the LU factorisation and substitution: pivot choice,
// the stand-in for a zero pivot, failure on a zero row, and that the factors
// and solutions are those of the matrix.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "krige.h"

namespace quon {
namespace {

// A square matrix given row by row, stored column by column as the solver
// takes it.
struct Mat {
  int n;
  std::vector<double> a;
  Mat(int n_, std::initializer_list<double> rows) : n(n_), a(n_ * n_) {
    int k = 0;
    for (double v : rows) {
      a[(k % n) * n + k / n] = v;
      ++k;
    }
  }
  double &operator()(int i, int j) { return a[(j - 1) * n + (i - 1)]; }
};

Mat random_matrix(int n, std::mt19937_64 &rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Mat m(n, {});
  for (double &v : m.a)
    v = u(rng);
  return m;
}

TEST(Ludcmp, OneByOne) {
  Mat m(1, {5.0});
  std::vector<int> indx{-7};
  std::vector<double> w{-7.0};
  ASSERT_TRUE(ludcmp(m.a, 1, indx, w));
  EXPECT_EQ(m.a[0], 5.0);
  EXPECT_EQ(indx[0], 1);
  std::vector<double> b{10.0};
  lubksb(m.a, 1, indx, b);
  EXPECT_EQ(b[0], 2.0);

  Mat z(1, {0.0});
  w[0] = -7.0;
  indx[0] = -7;
  EXPECT_FALSE(ludcmp(z.a, 1, indx, w));
  EXPECT_EQ(w[0], -7.0);
  EXPECT_EQ(indx[0], -7);
}

TEST(Ludcmp, ZeroRowFailsBeforeAnyColumn) {
  Mat m(3, {1.0, -4.0, 2.0, //
            3.0, 0.5, 2.0,  //
            0.0, 0.0, 0.0});
  const std::vector<double> before = m.a;
  std::vector<int> indx{-7, -7, -7};
  std::vector<double> w{-7.0, -7.0, -7.0};
  EXPECT_FALSE(ludcmp(m.a, 3, indx, w));
  EXPECT_EQ(m.a, before);
  EXPECT_EQ(indx, (std::vector<int>{-7, -7, -7}));
  // The scales of the rows above the zero row are already in place.
  EXPECT_EQ(w, (std::vector<double>{0.25, 1.0 / 3.0, -7.0}));
}

TEST(Ludcmp, PivotChoice) {
  std::vector<int> indx(3);
  std::vector<double> w(3);

  // Candidates are weighed against their row's largest magnitude: 2/1000
  // loses to 1/1 although 2 > 1.
  Mat s(2, {2.0, 1000.0, //
            1.0, 1.0});
  ASSERT_TRUE(ludcmp(s.a, 2, indx, w));
  EXPECT_EQ(indx[0], 2);

  // Rows 2 and 3 tie at 0.5 in column 1 (row 1 offers 0): the lower wins.
  Mat t(3, {0.0, 1.0, 1.0, //
            1.0, 2.0, 0.0, //
            2.0, 4.0, 1.0});
  ASSERT_TRUE(ludcmp(t.a, 3, indx, w));
  EXPECT_EQ(indx[0], 2);
  std::vector<double> b{2.0, 3.0, 7.0}; // x = (1, 1, 1)
  lubksb(t.a, 3, indx, b);
  for (double v : b)
    EXPECT_NEAR(v, 1.0, 1e-15);
}

TEST(Ludcmp, SingularMatrixGetsTinyPivot) {
  // Equal scaled candidates (0.5 each): row 1 stays; the last pivot is 0.
  Mat m(2, {1.0, 2.0, //
            2.0, 4.0});
  std::vector<int> indx(2);
  std::vector<double> w(2);
  ASSERT_TRUE(ludcmp(m.a, 2, indx, w));
  EXPECT_EQ(indx, (std::vector<int>{1, 2}));
  EXPECT_EQ(m(1, 1), 1.0);
  EXPECT_EQ(m(1, 2), 2.0);
  EXPECT_EQ(m(2, 1), 2.0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(m(2, 2)), 0x3BC79CA100000000u);
  EXPECT_EQ(m(2, 2), 9.999999682655225E-21);
}

// The multipliers are formed with the reciprocal of the pivot, not by
// division: the two differ in the last bit here, and the established results
// depend on it.
TEST(Ludcmp, MultipliersUseThePivotReciprocal) {
  Mat m(2, {3.0, 1.0, //
            5.0, 2.0});
  ASSERT_NE(5.0 * (1.0 / 3.0), 5.0 / 3.0);
  std::vector<int> indx(2);
  std::vector<double> w(2);
  ASSERT_TRUE(ludcmp(m.a, 2, indx, w));
  EXPECT_EQ(indx, (std::vector<int>{1, 2}));
  EXPECT_EQ(m(2, 1), 5.0 * (1.0 / 3.0));
  EXPECT_EQ(m(2, 2), 2.0 - 5.0 * (1.0 / 3.0) * 1.0);
}

TEST(Ludcmp, InterchangeAtFirstStep) {
  Mat m(2, {0.0, 1.0, //
            1.0, 0.0});
  std::vector<int> indx(2);
  std::vector<double> w(2);
  ASSERT_TRUE(ludcmp(m.a, 2, indx, w));
  EXPECT_EQ(indx, (std::vector<int>{2, 2}));
  std::vector<double> b{3.0, 4.0};
  lubksb(m.a, 2, indx, b);
  EXPECT_EQ(b, (std::vector<double>{4.0, 3.0}));
}

// The factors are those of the row-interchanged matrix: L (unit diagonal,
// below) times U (on and above) gives A with the rows swapped as indx says,
// and the solve gives back a known solution.
TEST(Ludcmp, FactorsAndSolvesRandomMatrices) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    Mat m = random_matrix(n, rng);
    Mat f = m;
    std::vector<int> indx(n);
    std::vector<double> w(n);
    ASSERT_TRUE(ludcmp(f.a, n, indx, w));

    Mat pa = m;
    for (int j = 1; j <= n; ++j) {
      ASSERT_GE(indx[j - 1], j);
      ASSERT_LE(indx[j - 1], n);
      for (int k = 1; k <= n; ++k)
        std::swap(pa(j, k), pa(indx[j - 1], k));
    }
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j) {
        long double s = 0.0L;
        for (int k = 1; k <= std::min(i, j); ++k)
          s += (k == i ? 1.0L : (long double)f(i, k)) * f(k, j);
        EXPECT_NEAR((double)s, pa(i, j), 1e-13) << i << "," << j;
      }

    std::vector<double> x(n), b(n, 0.0);
    for (double &v : x)
      v = u(rng);
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        b[i - 1] += m(i, j) * x[j - 1];
    lubksb(f.a, n, indx, b);
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(b[i], x[i], 1e-10);
  }
}

// Forward and back substitution without skipping the leading zeros.
void full_solve(Mat &f, const std::vector<int> &indx, std::vector<double> &b) {
  const int n = f.n;
  for (int i = 1; i <= n; ++i) {
    const int k = indx[i - 1];
    double sum = b[k - 1];
    b[k - 1] = b[i - 1];
    for (int j = 1; j < i; ++j)
      sum = sum - f(i, j) * b[j - 1];
    b[i - 1] = sum;
  }
  for (int i = n; i >= 1; --i) {
    double sum = b[i - 1];
    for (int j = i + 1; j <= n; ++j)
      sum = sum - f(i, j) * b[j - 1];
    b[i - 1] = sum / f(i, i);
  }
}

// Skipping the leading zeros of the permuted right-hand side changes no bit
// of the solution: columns of the identity (as the kriging inverse solves)
// and vectors whose first entries are zero.
TEST(Lubksb, LeadingZerosSkippedGiveTheFullResult) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int n = 12;
  Mat f = random_matrix(n, rng);
  std::vector<int> indx(n);
  std::vector<double> w(n);
  ASSERT_TRUE(ludcmp(f.a, n, indx, w));
  int swaps = 0;
  for (int j = 1; j <= n; ++j)
    swaps += indx[j - 1] != j;
  ASSERT_GT(swaps, 0);

  for (int lead = 0; lead < 2 * n; ++lead) {
    std::vector<double> b(n, 0.0);
    if (lead < n) {
      b[lead] = 1.0;
    } else {
      for (int i = lead - n; i < n; ++i)
        b[i] = u(rng);
    }
    std::vector<double> full = b;
    lubksb(f.a, n, indx, b);
    full_solve(f, indx, full);
    for (int i = 0; i < n; ++i)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(b[i]),
                std::bit_cast<std::uint64_t>(full[i]))
          << "lead " << lead << " row " << i;
  }
}

} // namespace
} // namespace quon

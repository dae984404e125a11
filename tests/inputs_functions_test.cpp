// Tests of the recharge functions: spline fits, the table lookup, and the
// FUNCTION block read from a parameter file with its table file.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "inputs.h"
#include "messages.h"
#include "reporters.h"
#include "tables.h"
#include "testutil.h"
#include "utl.h"

namespace quon {
namespace {

using test::InTempDir;
using test::read_file;
using test::write_file;

using test::count_of;

// The spline's reports are records of the report file too: the tests run
// in a folder of their own.
class Spline : public InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }
};

// Evaluates the spline of the given type through (x, y) on the grid
// 0, 0.1, .. (rows - 1) * 0.1.
std::vector<double> on_grid(const std::vector<double> &x,
                            const std::vector<double> &y, int rows, int type) {
  std::vector<double> g(rows), out(rows);
  for (int j = 0; j < rows; ++j)
    g[j] = j * 0.1;
  spline(x, y, int(x.size()), g, out, rows, type);
  return out;
}

TEST_F(Spline, LinearAndQuadraticThroughThreePoints) {
  const std::vector<double> x{0, 10, 30}, y{0, 1, 5};
  const auto lin = on_grid(x, y, 301, 1);
  const auto quad = on_grid(x, y, 301, 2);
  EXPECT_DOUBLE_EQ(lin[200], 3.0);
  EXPECT_DOUBLE_EQ(quad[200], 2.5);
  // Both pass through every point; a grid value on a knot gives that
  // knot's value exactly.
  EXPECT_EQ(lin[100], 1.0);
  EXPECT_EQ(quad[100], 1.0);
  EXPECT_DOUBLE_EQ(lin[300], 5.0);
  EXPECT_DOUBLE_EQ(quad[300], 5.0);
  // The quadratic's first interval is the straight line through its ends.
  for (int j = 0; j <= 100; ++j)
    EXPECT_NEAR(quad[j], 0.01 * j, 1e-12) << j;
  // Past the first knot it bends upward: slope continuous at 10 (0.1), and
  // C = 0.005 on the second interval.
  EXPECT_NEAR(quad[150], 1.0 + 0.1 * 5 + 0.005 * 25, 1e-12);
}

TEST_F(Spline, TwoPointsGiveTheSameLineForBothTypes) {
  const std::vector<double> x{0, 20}, y{1, 3};
  const auto lin = on_grid(x, y, 201, 1);
  const auto quad = on_grid(x, y, 201, 2);
  for (int j = 0; j < 201; ++j) {
    EXPECT_EQ(lin[j], quad[j]) << j;
    EXPECT_NEAR(lin[j], 1.0 + 0.01 * j, 1e-12) << j;
  }
}

TEST_F(Spline, ReportsAndExtrapolatesOutsideTheData) {
  const std::vector<double> x{1, 2, 3}, y{10, 20, 40};
  const std::vector<double> xo{0.5, 1.0, 3.0, 4.0};
  std::vector<double> yo(4);
  testing::internal::CaptureStderr();
  spline(x, y, 3, xo, yo, 4, 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_of(err, msg::SPLINE_RANGE), 2);
  EXPECT_DOUBLE_EQ(yo[0], 5.0); // first interval extended to the left
  EXPECT_DOUBLE_EQ(yo[1], 10.0);
  EXPECT_DOUBLE_EQ(yo[2], 40.0); // the last knot takes the last interval
  EXPECT_DOUBLE_EQ(yo[3], 60.0); // which extends to the right
}

TEST_F(Spline, OnePointIsAConstantAndNoPointIsZero) {
  const std::vector<double> x{2}, y{7.5};
  const std::vector<double> xo{0, 2, 5};
  std::vector<double> yo(3, -1.0);
  testing::internal::CaptureStderr();
  spline(x, y, 1, xo, yo, 3, 2);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_of(err, msg::SPLINE_ONE), 1);
  EXPECT_EQ(count_of(err, msg::SPLINE_RANGE), 2);
  EXPECT_EQ(yo, (std::vector<double>{7.5, 7.5, 7.5}));

  std::fill(yo.begin(), yo.end(), -1.0);
  testing::internal::CaptureStderr();
  spline({}, {}, 0, xo, yo, 3, 1);
  err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_of(err, msg::SPLINE_ONE), 1);
  EXPECT_EQ(yo, (std::vector<double>{0, 0, 0}));
}

TEST_F(Spline, EqualNeighboursGiveFiniteValues) {
  // A jump at 10: the zero-width interval contributes no slope, the fit
  // goes on and every value stays finite.
  const std::vector<double> x{0, 10, 10, 30}, y{0, 1, 3, 5};
  for (int type : {1, 2}) {
    const auto v = on_grid(x, y, 301, type);
    for (int j = 0; j < 301; ++j)
      ASSERT_TRUE(std::isfinite(v[j])) << type << " " << j;
    EXPECT_EQ(v[100], 3.0) << type; // at the jump: the right-hand point
    EXPECT_DOUBLE_EQ(v[300], 5.0) << type;
  }
  // Linear: the last interval is the line from (10, 3) to (30, 5).
  EXPECT_DOUBLE_EQ(on_grid(x, y, 301, 1)[200], 4.0);
}

TEST_F(Spline, MoreThan1024PointsUsesTheFirst1024) {
  std::vector<double> x(1100), y(1100);
  for (int i = 0; i < 1100; ++i) {
    x[i] = i;
    y[i] = 2.0 * i;
  }
  const std::vector<double> xo{10.5, 1023.0, 1050.0};
  std::vector<double> yo(3);
  testing::internal::CaptureStderr();
  spline(x, y, 1100, xo, yo, 3, 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_of(err, msg::SPLINE_MANY), 1);
  EXPECT_EQ(count_of(err, msg::SPLINE_RANGE), 1); // 1050 lies past 1023
  EXPECT_DOUBLE_EQ(yo[0], 21.0);
  EXPECT_DOUBLE_EQ(yo[1], 2046.0);
  EXPECT_DOUBLE_EQ(yo[2], 2100.0);
}

class Binfind : public InTempDir {
protected:
  std::vector<double> xt{0.0, 0.1, 0.2, 0.3, 0.4}, yt{5, 6, 8, 11, 15};
};

TEST_F(Binfind, EndsRowsAndMidpoints) {
  EXPECT_EQ(binfind(0.0, xt, yt, 5), 5.0);
  EXPECT_EQ(binfind(0.4, xt, yt, 5), 15.0);
  EXPECT_EQ(binfind(0.2, xt, yt, 5), 8.0); // exact hit on the middle row
  EXPECT_EQ(binfind(0.1, xt, yt, 5), 6.0);
  EXPECT_EQ(binfind(0.3, xt, yt, 5), 11.0);
  EXPECT_DOUBLE_EQ(binfind(0.05, xt, yt, 5), 5.5);
  EXPECT_NEAR(binfind(0.35, xt, yt, 5), 13.0, 1e-12);
  EXPECT_NEAR(binfind(0.175, xt, yt, 5), 7.5, 1e-12);
  // One row: only its own value; two rows: no search.
  EXPECT_EQ(binfind(0.0, xt, yt, 1), 5.0);
  EXPECT_DOUBLE_EQ(binfind(0.025, xt, yt, 2), 5.25);
}

TEST_F(Binfind, OutsideTheTableEndsTheRun) {
  try {
    binfind(-0.5, xt, yt, 5);
    FAIL() << "binfind returned";
  } catch (const RunEnd &e) {
    EXPECT_EQ(e.status, 1);
  }
  close_report();
  const std::string rec = read_file("fort.2");
  EXPECT_EQ(rec.rfind(" Value out of range in BINFIND", 0), 0u) << rec;
  EXPECT_NE(rec.find("-0.50000000000000000"), std::string::npos) << rec;

  EXPECT_THROW(binfind(0.40000001, xt, yt, 5), RunEnd);
  EXPECT_THROW(binfind(0.1, xt, yt, 1), RunEnd); // past a one-row table
  EXPECT_THROW(binfind(0.0, xt, yt, 0), RunEnd); // empty table
  EXPECT_THROW(binfind(std::nan(""), xt, yt, 5), RunEnd);
  close_report();
}

// A run whose parameter file holds `text`, positioned after the FUNCTION
// word of its first line, as the keyword loop hands it over.
class ReadFunction : public InTempDir {
protected:
  void start(const std::string &text, int nsoil) {
    write_file("param.txt", text);
    run = make_run();
    run->nsoil = nsoil;
    ASSERT_TRUE(run->param.open("param.txt"));
    std::string_view rec;
    ASSERT_TRUE(run->param.next(rec));
    run->line.set(rec);
    run->linelen = int(rec.size());
    run->linepos = 1;
    Word w;
    int err = 0;
    charin(w, run->pline(), run->linepos, run->linepos, err);
    ASSERT_EQ(w.trimmed(), "FUNCTION");
  }
  // Reads the block; returns what was reported on the console.
  std::string read() {
    testing::internal::CaptureStderr();
    readfunction(*run);
    write_function_table(*run);
    return testing::internal::GetCapturedStderr();
  }
  std::string next_line() {
    std::string_view rec;
    return run->param.next(rec) ? std::string(rec) : std::string("<eof>");
  }
  std::span<const double> col(int soil, int f) const {
    return run->functions.v[soil][f];
  }
  std::unique_ptr<quon::Run> run;
};

TEST_F(ReadFunction, BlockThenKeywordLineIsPutBack) {
  start("FUNCTION tab.txt 1\n"
        "0.0  0.0 0.0\n"
        "# a comment between data lines\n"
        "\n"
        "10.0 1.0 2.0\n"
        "   \t\n"
        "30.0 5.0 4.0\n"
        "STEADY 1950 1955\n"
        "TRANSIENT 1950 1960\n",
        1);
  EXPECT_EQ(read(), "");
  EXPECT_EQ(next_line(), "STEADY 1950 1955");
  EXPECT_EQ(next_line(), "TRANSIENT 1950 1960");
  EXPECT_EQ(run->functions.rows, 301);
  EXPECT_EQ(col(1, 0)[100], 1.0);
  EXPECT_EQ(col(1, 1)[100], 2.0);
  EXPECT_DOUBLE_EQ(col(1, 0)[200], 3.0);
  EXPECT_DOUBLE_EQ(col(1, 1)[200], 3.0);
  EXPECT_DOUBLE_EQ(col(1, 1)[300], 4.0);
}

TEST_F(ReadFunction, BlockAtEndOfFileAndTheGrid) {
  start("FUNCTION tab.txt 2\n0 0 0\n10 1 1\n40 4 4", 1);
  EXPECT_EQ(read(), "");
  EXPECT_EQ(next_line(), "<eof>");
  ASSERT_EQ(run->functions.rows, 401);
  const auto g = col(0, 0);
  // Products (j - 1) * 0.1, not running sums: 30 and 40 come out exact.
  EXPECT_EQ(g[0], 0.0);
  EXPECT_EQ(g[300], 30.0);
  EXPECT_EQ(g[400], 40.0);
  for (int j = 0; j < 401; ++j)
    ASSERT_EQ(col(0, 1)[j], g[j]);
  // Soil 0 is the identity under the lookup.
  EXPECT_NEAR(binfind(12.34, g, col(0, 0), 401), 12.34, 1e-12);
}

TEST_F(ReadFunction, TableFileBytes) {
  // Two soils; values chosen so that one field overflows eight characters.
  start("FUNCTION tab.txt 1\n"
        "0.0 0.0 0.0 0.0 0.0\n"
        "0.5 1.0 1000.0 -0.5 20000.0\n"
        "END\n",
        2);
  EXPECT_EQ(read(), "");
  EXPECT_EQ(next_line(), "END");
  EXPECT_EQ(read_file("tab.txt"), "Precip Soil  1 Soil  1 Soil  2 Soil  2\n"
                                  "   0.0   0.000   0.000   0.000   0.000\n"
                                  "   0.1   0.200 200.000  -0.1004000.000\n"
                                  "   0.2   0.400 400.000  -0.2008000.000\n"
                                  "   0.3   0.600 600.000  -0.300********\n"
                                  "   0.4   0.800 800.000  -0.400********\n"
                                  "   0.5   1.0001000.000  -0.500********\n");
}

TEST_F(ReadFunction, NoSoils) {
  start("FUNCTION tab.txt 1\n0\n2.5\nSOIL x\n", 0);
  const std::string err = read();
  EXPECT_EQ(count_of(err, msg::NO_SOILS_FUNCTION), 1);
  EXPECT_EQ(next_line(), "SOIL x");
  EXPECT_EQ(run->functions.rows, 26);
  EXPECT_EQ(read_file("tab.txt").substr(0, 7), "Precip\n");
}

TEST_F(ReadFunction, KeywordLineProblems) {
  start("FUNCTION tab.txt 3\n0 0 0\n10 1 1\n30 5 5\n", 1);
  std::string err = read();
  EXPECT_EQ(count_of(err, "Invalid FUNCTION spline type FUNCTION tab.txt 3"),
            1);
  // Any type but 1 fits quadratics.
  EXPECT_DOUBLE_EQ(col(1, 0)[200], 2.5);

  start("FUNCTION\n0 0 0\n", 1);
  err = read();
  EXPECT_EQ(count_of(err, msg::FUNCTION_FILE), 1);
  EXPECT_EQ(count_of(err, msg::FUNCTION_TYPE), 1);
  EXPECT_EQ(count_of(err, msg::ERROR_OPENING), 1);
}

TEST_F(ReadFunction, DataProblems) {
  start("FUNCTION tab.txt 1\n"
        "1.0 1 1\n"
        "2.0 2\n"
        "2.0 3 3\n"
        "3.0 x 4\n",
        1);
  const std::string err = read();
  EXPECT_EQ(count_of(err, msg::FUNCTION_ZERO), 1);
  EXPECT_EQ(count_of(err, msg::FUNCTION_MONOTONE), 1);
  EXPECT_EQ(count_of(err, "Invalid FUNCTION data 2.0 2"), 1);
  EXPECT_EQ(count_of(err, "Invalid FUNCTION data 3.0 x 4"), 1);
  // Grid points 0.0 .. 0.9 lie below the first value: reported for each
  // of the two functions.
  EXPECT_EQ(count_of(err, msg::SPLINE_RANGE), 20);
  EXPECT_EQ(run->functions.rows, 31);
  // The missing irrigated value of 2.0 and the bad dryland value of 3.0
  // are stored as 0.
  EXPECT_EQ(col(1, 1)[15], 1.0 + 0.5 * (0.0 - 1.0));
  EXPECT_EQ(col(1, 0)[30], 0.0);
  EXPECT_EQ(col(1, 1)[30], 4.0);
}

// Data that overflow the spline end the run with a record naming the
// first value that is not finite, and no table file is written.
TEST_F(ReadFunction, TableValueThatIsNotFiniteEndsTheRun) {
  struct Case {
    const char *block;
    const char *record; // empty: the table is finite
  };
  const Case cases[] = {{"0 0 0\n0.05 1.7e308 0\n",
                         "soil 1 dryland, precipitation 0.0, value NaN"},
                        {"0 0 0\n0.05 0 -1.7e308\n",
                         "soil 1 irrigated, precipitation 0.0, value NaN"},
                        {"0 0 0\n1e-155 0 0\n2e-155 0 1\n1 0 0\n",
                         "soil 1 irrigated, precipitation 0.1, value NaN"},
                        {"0 0 0\n0.05 1e300 1e300\n10 0 0\n", ""}};
  for (const Case &c : cases) {
    start(std::string("FUNCTION tab.txt 2\n") + c.block, 1);
    close_report();
    std::filesystem::remove("fort.2");
    std::filesystem::remove("tab.txt");
    bool ended = false;
    testing::internal::CaptureStderr();
    try {
      readfunction(*run);
      write_function_table(*run);
    } catch (const RunEnd &) {
      ended = true;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    close_report();
    EXPECT_EQ(ended, *c.record != 0) << c.block;
    EXPECT_EQ(std::filesystem::exists("tab.txt"), !ended) << c.block;
    if (!ended)
      continue;
    const std::string text =
        std::string("FUNCTION table value not finite, ") + c.record;
    EXPECT_NE(err.find(text + "\n"), std::string::npos) << err;
    EXPECT_EQ(read_file("fort.2"), " " + text + "\n");
  }
}

TEST_F(ReadFunction, RowsPast64AreDropped) {
  std::string text = "FUNCTION tab.txt 1\n";
  for (int i = 0; i < 70; ++i)
    text += std::to_string(i) + " " + std::to_string(2 * i) + " 1\n";
  text += "STEADY 1950 1950\n";
  start(text, 1);
  const std::string err = read();
  EXPECT_EQ(count_of(err, msg::FUNCTION_TOO_MANY), 6);
  EXPECT_EQ(next_line(), "STEADY 1950 1950");
  EXPECT_EQ(run->functions.rows, 631); // the 64th value is 63
  EXPECT_DOUBLE_EQ(col(1, 0)[630], 126.0);
}

TEST_F(ReadFunction, RangeCappedAt8192Rows) {
  start("FUNCTION tab.txt 1\n0 0 0\n819.2 819.2 1\n", 1);
  const std::string err = read();
  EXPECT_EQ(count_of(err, msg::FUNCTION_RANGE), 1);
  ASSERT_EQ(run->functions.rows, 8192);
  EXPECT_DOUBLE_EQ(run->functions.grid()[8191], 819.1);
  EXPECT_DOUBLE_EQ(col(1, 0)[8191], 819.1);
  const std::string tab = read_file("tab.txt");
  EXPECT_EQ(count_of(tab, "\n"), 8193);
  EXPECT_EQ(tab.substr(tab.size() - 23), " 819.1 819.100   1.000\n");
}

TEST_F(ReadFunction, NoDataRowsLeavesOneRowAtZero) {
  start("FUNCTION tab.txt 1\nSTEADY 1950 1950\n", 1);
  const std::string err = read();
  EXPECT_EQ(count_of(err, msg::SPLINE_ONE), 2);
  EXPECT_EQ(next_line(), "STEADY 1950 1950");
  ASSERT_EQ(run->functions.rows, 1);
  EXPECT_EQ(col(1, 0)[0], 0.0);
  EXPECT_EQ(binfind(0.0, col(0, 0), col(1, 0), 1), 0.0);
  EXPECT_THROW(binfind(0.1, col(0, 0), col(1, 0), 1), RunEnd);
  close_report();
}

TEST_F(ReadFunction, OneDataRowIsConstant) {
  start("FUNCTION tab.txt 2\n2.0 3.0 4.0\n", 1);
  const std::string err = read();
  EXPECT_EQ(count_of(err, msg::FUNCTION_ZERO), 1);
  EXPECT_EQ(count_of(err, msg::SPLINE_ONE), 2);
  ASSERT_EQ(run->functions.rows, 21);
  for (int j = 0; j < 21; ++j) {
    EXPECT_EQ(col(1, 0)[j], 3.0);
    EXPECT_EQ(col(1, 1)[j], 4.0);
  }
}

TEST_F(ReadFunction, SecondBlockReplacesTheFirst) {
  start("FUNCTION a.txt 1\n0 0 0\n50 5 5\nFUNCTION b.txt 1\n0 1 1\n2 3 3\n", 1);
  read();
  EXPECT_EQ(run->functions.rows, 501);
  // The keyword loop's turn: the next line is the second keyword.
  std::string_view rec;
  ASSERT_TRUE(run->param.next(rec));
  run->line.set(rec);
  run->linelen = int(rec.size());
  run->linepos = 9;
  read();
  EXPECT_EQ(run->functions.rows, 21);
  EXPECT_EQ(col(1, 0)[0], 1.0);
  EXPECT_EQ(col(1, 0)[20], 3.0);
  EXPECT_THROW(binfind(2.05, col(0, 0), col(1, 0), 21), RunEnd);
  close_report();
  EXPECT_EQ(count_of(read_file("b.txt"), "\n"), 22);
}

TEST_F(ReadFunction, TableFileFailures) {
  start("FUNCTION nodir/tab.txt 1\n0 0 0\n1 1 1\n", 1);
  std::string err = read();
  EXPECT_EQ(count_of(err, "Error opening file nodir/tab.txt"), 1);
  EXPECT_EQ(run->functions.rows, 11); // the table itself is kept
  EXPECT_DOUBLE_EQ(col(1, 0)[5], 0.5);

  if (access("/dev/full", W_OK) != 0)
    GTEST_SKIP() << "no /dev/full";
  start("FUNCTION /dev/full 1\n0 0 0\n819 1 1\n", 1);
  err = read();
  EXPECT_EQ(count_of(err, "Cannot write file /dev/full"), 1);
}

} // namespace
} // namespace quon

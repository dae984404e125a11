// Tests of the TERRAIN keyword: class grid, multiplier file, limits, the
// kriged multiplier grid and its plot file.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "inputs.h"
#include "krige.h"
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

class ReadTerrain : public InTempDir {
protected:
  void SetUp() override {
    InTempDir::SetUp();
    run = make_run();
  }

  // A class grid file with the given names; cls(c, r) gives each cell's
  // class, one digit a cell.
  void classes(const std::string &file, const std::string &names,
               const std::function<int(int, int)> &cls) {
    std::string t = names + "\n";
    for (int r = 1; r <= NROW; ++r) {
      for (int c = 1; c <= NCOL; ++c)
        t += char('0' + cls(c, r));
      t += '\n';
    }
    write_file(file, t);
  }

  // Runs readterrain on the parameter line `line` (starting with the
  // keyword); returns what was reported on the console.
  std::string terrain(const std::string &line) {
    run->line.set(line);
    run->linelen = int(line.size());
    run->linepos = 1;
    Word w;
    int err = 0;
    charin(w, run->pline(), run->linepos, run->linepos, err);
    testing::internal::CaptureStderr();
    try {
      readterrain(*run);
      write_terrain_plot(*run);
    } catch (...) {
      testing::internal::GetCapturedStderr();
      throw;
    }
    return testing::internal::GetCapturedStderr();
  }

  double at(int c, int r) const { return run->terrain[cell(c, r)]; }

  // Smallest and largest multiplier over the cells of class k.
  std::pair<double, double> range_of(int k) const {
    double lo = 1e300, hi = -1e300;
    for (int i = 0; i < NCELL; ++i) {
      if (run->terclass[i] != k)
        continue;
      lo = std::min(lo, run->terrain[i]);
      hi = std::max(hi, run->terrain[i]);
    }
    return {lo, hi};
  }

  std::unique_ptr<quon::Run> run;
};

// Three locations inside the grid with multipliers 0.0, 1.0 and 2.5 for
// class 1 and 3.0, 3.0, 3.0 for class 2; the kriged field of class 1 then
// runs from about 0 to about 2.5.
const char *three_locations = "X Y class1 class2\n"
                              "400000 14500000 0.0 3.0\n"
                              "1200000 14600000 1.0 3.0\n"
                              "1900000 14800000 2.5 3.0\n";

// A band of class 2 along the northern edge; below it every third column
// class 0 and the rest class 1.
int halves(int c, int r) { return r <= 20 ? 2 : (c % 3 == 0 ? 0 : 1); }

TEST_F(ReadTerrain, NoLimitClipsBelowZeroOnly) {
  classes("cls.txt", "A B", halves);
  write_file("mult.txt", "X Y a b\n"
                         "400000 14500000 -2.0 3.0\n"
                         "1900000 14800000 2.5 3.0\n");
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot.txt"), "");
  EXPECT_EQ(run->nterclass, 2);
  EXPECT_EQ(run->nterrain, 2);
  const auto [lo, hi] = range_of(1);
  EXPECT_EQ(lo, 0.0);
  EXPECT_GT(hi, 1.5);
  EXPECT_NEAR(range_of(2).first, 3.0, 1e-12);
  EXPECT_DOUBLE_EQ(range_of(2).second, 3.0);
  EXPECT_EQ(range_of(0), std::make_pair(1.0, 1.0));
}

TEST_F(ReadTerrain, LimitClipsEveryClassifiedCell) {
  classes("cls.txt", "A B", halves);
  write_file("mult.txt", three_locations);
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot.txt LIMIT 0.5 1.5"), "");
  const auto [lo, hi] = range_of(1);
  EXPECT_EQ(lo, 0.5);
  EXPECT_EQ(hi, 1.5);
  EXPECT_EQ(range_of(2), std::make_pair(1.5, 1.5)); // 3.0 clipped
  // Class 0 keeps exactly 1.0, limits or not.
  EXPECT_EQ(range_of(0), std::make_pair(1.0, 1.0));

  // A later LIMIT on the same line replaces the first.
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot.txt LIMIT 0.5 1.5 "
                    "LIMIT 0.25 2"),
            "");
  EXPECT_EQ(range_of(1).first, 0.25);
  EXPECT_EQ(range_of(1).second, 2.0);
  EXPECT_EQ(range_of(2).second, 2.0);
}

TEST_F(ReadTerrain, MinimumAboveMaximumGivesTheMaximum) {
  classes("cls.txt", "A B", halves);
  write_file("mult.txt", three_locations);
  const std::string line = "TERRAIN cls.txt mult.txt plot.txt LIMIT 2 1";
  const std::string err = terrain(line);
  EXPECT_EQ(count_of(err, "Invalid TERRAIN LIMIT range " + line), 1);
  EXPECT_EQ(range_of(1), std::make_pair(1.0, 1.0));
  EXPECT_EQ(range_of(2), std::make_pair(1.0, 1.0));
}

TEST_F(ReadTerrain, BadOptions) {
  classes("cls.txt", "A B", halves);
  write_file("mult.txt", three_locations);
  std::string err = terrain("TERRAIN cls.txt mult.txt plot.txt limit 0.5 1.5");
  EXPECT_EQ(count_of(err, msg::TERRAIN_PARAMETER), 3);
  EXPECT_EQ(count_of(err, "Invalid TERRAIN parameter limit"), 1);
  EXPECT_EQ(count_of(err, "Invalid TERRAIN parameter 0.5"), 1);
  EXPECT_EQ(count_of(err, "Invalid TERRAIN parameter 1.5"), 1);
  // The limits stay at their defaults.
  EXPECT_GT(range_of(1).second, 1.5);
  EXPECT_NEAR(range_of(2).first, 3.0, 1e-12);

  // Only the first 16 characters of a long word are reported.
  err = terrain("TERRAIN cls.txt mult.txt plot.txt ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(count_of(err, "Invalid TERRAIN parameter ABCDEFGHIJKLMNOP"), 1);
  EXPECT_EQ(count_of(err, "ABCDEFGHIJKLMNOPQ"), 0);

  err = terrain("TERRAIN cls.txt mult.txt plot.txt LIMIT x");
  EXPECT_EQ(count_of(err, msg::TERRAIN_LIMIT_MIN), 1);
  EXPECT_EQ(count_of(err, msg::TERRAIN_LIMIT_MAX), 1);
  // Both limits took the reader's 0: every classified cell is 0.
  EXPECT_EQ(range_of(1), std::make_pair(0.0, 0.0));
}

TEST_F(ReadTerrain, SingleLocationGivesAConstantField) {
  classes("cls.txt", "A B", halves);
  write_file("mult.txt", "header\n900000 14700000 0.8 1.3\n");
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot.txt"), "");
  EXPECT_DOUBLE_EQ(range_of(1).first, 0.8);
  EXPECT_DOUBLE_EQ(range_of(1).second, 0.8);
  EXPECT_DOUBLE_EQ(range_of(2).first, 1.3);
  EXPECT_DOUBLE_EQ(range_of(2).second, 1.3);
}

TEST_F(ReadTerrain, ExactAtLocationsAndEqualToTheFullEstimate) {
  classes("cls.txt", "A B", halves);
  // Two locations on cell centres: (10, 30) of class 1 and (200, 5) of
  // class 2.
  const auto x = [&](int c) { return std::to_string(run->xc[c]); };
  const auto y = [&](int r) { return std::to_string(run->yc[r]); };
  write_file("mult.txt", "X Y a b\n" + x(10) + " " + y(30) + " 0.7 1.1\n" +
                             x(200) + " " + y(5) + " 1.4 0.6\n" +
                             "400000 14200000 1.0 1.0\n"
                             "1800000 14950000 1.2 0.9\n");
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot.txt"), "");
  EXPECT_NEAR(at(10, 30), 0.7, 1e-9);
  EXPECT_NEAR(at(200, 5), 0.6, 1e-9);

  // Every cell equals the full kriging estimate of its class, clipped at 0:
  // forming the weights once per cell changes no bit.
  for (int r = 1; r <= NROW; r += 7) {
    for (int c = 1; c <= NCOL; c += 5) {
      const int k = run->terclass[cell(c, r)];
      if (k == 0)
        continue;
      const double v =
          evalkrige(run->krig.ainv, X0, Y0, run->terx, run->tery,
                    run->termult[k - 1], run->xc[c], run->yc[r], 4, 0);
      ASSERT_EQ(at(c, r), std::max(v, 0.0)) << c << " " << r;
    }
  }
}

TEST_F(ReadTerrain, PlotFile) {
  classes("cls.txt", "A", [](int c, int r) { return c == 3 && r == 2; });
  write_file("mult.txt", "X Y a\n900000 14700000 123.4\n");
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot.txt"), "");
  EXPECT_DOUBLE_EQ(at(3, 2), 123.4);
  const std::string plot = read_file("plot.txt");
  ASSERT_EQ(plot.size(), std::size_t(NROW) * (NCOL * 6 + 1));
  for (int r = 0; r < NROW; ++r)
    ASSERT_EQ(plot[std::size_t(r) * 1957 + 1956], '\n') << r;
  std::string ones;
  for (int c = 0; c < NCOL; ++c)
    ones += " 1.000";
  EXPECT_EQ(plot.substr(0, 1956), ones);
  EXPECT_EQ(plot.substr(1957, 18), " 1.000 1.000******");
  EXPECT_EQ(plot.substr(1957 + 18, 1956 - 18), ones.substr(18));
}

TEST_F(ReadTerrain, MultiplierFileLines) {
  classes("cls.txt", "A B", halves);
  write_file("mult.txt", "X Y a b\n"
                         "# a comment\n"
                         "\n"
                         "400000 14500000 0.5 0.5\n"
                         "1900000 14900000 0.5\n"
                         "1200000 14600000\n"
                         "END   \n"
                         "garbage\n");
  const std::string err = terrain("TERRAIN cls.txt mult.txt plot.txt");
  EXPECT_EQ(run->nterrain, 3);
  EXPECT_EQ(count_of(err, "Invalid terrain multiplier 1900000 14900000 0.5"),
            1);
  EXPECT_EQ(count_of(err, "Invalid terrain multiplier 1200000 14600000"), 2);
  EXPECT_EQ(count_of(err, msg::TERRAIN_X), 0);
  EXPECT_EQ(run->terx[2], 1200000.0);
  EXPECT_EQ(run->termult[1][1], 0.0);

  write_file("mult.txt", "X Y a b\nx 1 1 1\n5 y 1 1\n");
  const std::string err2 = terrain("TERRAIN cls.txt mult.txt plot.txt");
  EXPECT_EQ(count_of(err2, "Invalid terrain X x 1 1 1"), 1);
  EXPECT_EQ(count_of(err2, "Invalid terrain Y 5 y 1 1"), 1);
}

TEST_F(ReadTerrain, LocationsPast128AreDropped) {
  std::string t = "X Y a\n";
  for (int i = 0; i < 130; ++i)
    t += std::to_string(300000 + 10000 * i) + " " +
         std::to_string(14200000 + 5000 * (i * 37 % 130)) + " 1.0\n";
  write_file("mult.txt", t);
  // Class 1 on one row only: 128 locations make every estimate costly.
  classes("cls.txt", "A", [](int, int r) { return r == 80; });
  const std::string err = terrain("TERRAIN cls.txt mult.txt plot.txt");
  EXPECT_EQ(count_of(err, msg::TERRAIN_TOO_MANY), 2);
  EXPECT_EQ(run->nterrain, 128);
  EXPECT_EQ(run->terx[127], 300000.0 + 10000 * 127);
  // All multipliers 1 give 1 everywhere.
  EXPECT_NEAR(range_of(1).first, 1.0, 1e-6);
  EXPECT_NEAR(range_of(1).second, 1.0, 1e-6);
}

TEST_F(ReadTerrain, SecondKeywordReplacesTheGrid) {
  write_file("mult.txt", three_locations);
  terrain("TERRAIN * mult.txt plot.txt LIMIT 0.5 1.5");
  EXPECT_EQ(range_of(1), std::make_pair(0.5, 1.5));

  classes("cls.txt", "A B", halves);
  EXPECT_EQ(terrain("TERRAIN cls.txt mult.txt plot2.txt"), "");
  EXPECT_EQ(range_of(0), std::make_pair(1.0, 1.0));
  EXPECT_GT(range_of(1).second, 1.5); // limits back at their defaults
  EXPECT_LT(range_of(1).first, 0.5);
}

TEST_F(ReadTerrain, FilesThatCannotBeOpened) {
  classes("cls.txt", "A B", halves);
  std::string err = terrain("TERRAIN cls.txt nofile.txt nodir/plot.txt");
  EXPECT_EQ(count_of(err, "Error opening file nofile.txt"), 1);
  EXPECT_EQ(count_of(err, "Error opening file nodir/plot.txt"), 1);
  // No locations: nothing to krige, the classified cells take the minimum.
  EXPECT_EQ(run->nterrain, 0);
  EXPECT_EQ(range_of(1), std::make_pair(0.0, 0.0));
  EXPECT_EQ(range_of(0), std::make_pair(1.0, 1.0));

  err = terrain("TERRAIN cls.txt");
  EXPECT_EQ(count_of(err, msg::TERRAIN_MULT_FILE), 1);
  EXPECT_EQ(count_of(err, msg::TERRAIN_PLOT), 1);

  write_file("empty.txt", "");
  EXPECT_THROW(terrain("TERRAIN cls.txt empty.txt plot.txt"), RunEnd);
  close_report();
  // The reports made before the end are records above it.
  EXPECT_EQ(read_file("fort.2"), " Error opening file nofile.txt\n"
                                 " Cannot invert kriging matrix\n"
                                 " Error opening file nodir/plot.txt\n"
                                 " Invalid TERRAIN multiplier file TERRAIN "
                                 "cls.txt\n"
                                 " Error opening file \n"
                                 " Invalid TERRAIN plot file TERRAIN cls.txt\n"
                                 " Cannot invert kriging matrix\n"
                                 " Error opening file \n"
                                 " Error reading file header empty.txt\n");

  EXPECT_THROW(terrain("TERRAIN"), RunEnd); // no class grid to read
  close_report();
}

} // namespace
} // namespace quon

// Tests of one stress period: the RCH and WEL records byte for byte, the
// split into four recharge files, the well limit, the shares of the annual
// pumping file, XFACTOR, the mound and NOPUMP rules, and the faults that end
// the run rather than write a model file MODFLOW would misread.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fmt.h"
#include "messages.h"
#include "period.h"
#include "reporters.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

constexpr int BLOCK = 2 + NROW * 17; // lines of one RCH block

using test::Sparse;
using test::write_bin;

std::vector<std::string> lines_of(const std::string &file) {
  std::vector<std::string> v;
  std::istringstream s(read_file(file));
  std::string line;
  while (std::getline(s, line))
    v.push_back(line);
  return v;
}

// The printed array value of a cell in RCH block `block` (0 = first).
std::string field(const std::vector<std::string> &lines, int block, int c,
                  int r) {
  const std::string &line =
      lines.at(std::size_t(block * BLOCK + 2 + (r - 1) * 17 + (c - 1) / 20));
  return line.substr(std::size_t(9 * ((c - 1) % 20)), 9);
}

class Period : public test::InTempDir {
protected:
  void SetUp() override {
    InTempDir::SetUp();
    run = make_run();
    run->binmode = 1;
    open_rch(1);
    ASSERT_TRUE(run->wel.open("wel"));
  }
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }
  void open_rch(int n, const std::string &prefix = "r") {
    run->nrch = n;
    for (int k = 0; k < n; ++k)
      ASSERT_TRUE(run->rch[k].open(prefix + std::to_string(k + 1)));
  }
  // The steady period and January 1950.
  void steady(double mult = 1.0) {
    period(*run, r, "Steady ", "steady", "steady", -1, 31557600, mult);
  }
  void january(int year = 1950, double mult = 1.0) {
    char label[8], part[8], ann[5];
    std::snprintf(label, sizeof label, " 1/%4d", year);
    std::snprintf(part, sizeof part, "%4d.01", year);
    std::snprintf(ann, sizeof ann, "%4d", year);
    period(*run, r, label, part, ann, year, 31 * 86400, mult);
  }
  void flush() {
    for (auto &f : run->rch)
      f.flush();
    run->wel.flush();
  }
  double sum(SumId id, int state, int c, int r) const {
    return run->sums[id].slice[state][cell(c, r)];
  }

  std::unique_ptr<quon::Run> run;
  CellArray r{};
};

TEST_F(Period, RchBlockHasItsControlRecordAndSeventeenLinesPerRow) {
  steady();
  january();
  flush();
  const auto rch = lines_of("r1");
  ASSERT_EQ(rch.size(), std::size_t(2 * BLOCK));
  EXPECT_EQ(rch[0], "         1         0");
  EXPECT_EQ(rch[1], "INTERNAL  2.64067398E-09 (20F9.5)  -1 Steady ");
  EXPECT_EQ(rch[BLOCK], "         1         0");
  EXPECT_EQ(rch[BLOCK + 1], "INTERNAL  3.11131023E-08 (20F9.5)  -1  1/1950");
  for (int i = 2; i < BLOCK; ++i) {
    const std::size_t len = (i - 2) % 17 == 16 ? 54 : 180;
    ASSERT_EQ(rch[i].size(), len) << i;
  }
  EXPECT_EQ(rch[2].substr(0, 18), "  0.00000  0.00000");

  // No cell pumps: the period line alone, with its count of 0.
  const auto wel = lines_of("wel");
  ASSERT_EQ(wel.size(), 2u);
  EXPECT_EQ(wel[0], "    0 -1 Steady ");
  EXPECT_EQ(wel[1], "    0 -1  1/1950");
}

TEST_F(Period, FourFilesGetTheComponentsThatSumToTheOneFile) {
  // At cell (5,5): 80 AF of precipitation recharge, 10 from groundwater,
  // 20 from surface-water and 40 from commingled irrigation.
  r[cell(5, 5)] = 1.5; // 1.5 in/yr * 53.33 = 80 AF
  Sparse().at(5, 5, 4.0).write("co/1950.01.rcg");
  Sparse().at(5, 5, 6.0).write("ks/1950.01.rcg");
  Sparse().at(5, 5, 20.0).write("ne/1950.01.rcs");
  Sparse().at(5, 5, 40.0).write("co/1950.01.rcc");
  // And an awkward value in every cell of every component.
  auto noise = std::make_unique<CellArray>();
  for (int i = 0; i < NCELL; ++i) {
    if (i == cell(5, 5))
      continue;
    r[i] = 3.0 + std::sin(0.1 * i);
    (*noise)[i] = 50.0 * std::fabs(std::cos(0.7 * i));
  }
  write_bin("ks/1950.01.rcc", *noise);
  write_bin("ks/1950.01.rcs", *noise);

  january();
  flush();
  open_rch(4, "q");
  january();
  flush();
  const auto one = lines_of("r1");
  const auto f1 = lines_of("q1"), f2 = lines_of("q2"), f3 = lines_of("q3"),
             f4 = lines_of("q4");
  EXPECT_EQ(field(one, 0, 5, 5), "  2.81250");
  EXPECT_EQ(field(f1, 0, 5, 5), "  1.50000");
  EXPECT_EQ(field(f2, 0, 5, 5), "  0.18750");
  EXPECT_EQ(field(f3, 0, 5, 5), "  0.37500");
  EXPECT_EQ(field(f4, 0, 5, 5), "  0.75000");
  ASSERT_EQ(f4.size(), std::size_t(BLOCK));

  double worst = 0.0;
  for (int rr = 1; rr <= NROW; ++rr)
    for (int c = 1; c <= NCOL; ++c) {
      const double parts = std::atof(field(f1, 0, c, rr).c_str()) +
                           std::atof(field(f2, 0, c, rr).c_str()) +
                           std::atof(field(f3, 0, c, rr).c_str()) +
                           std::atof(field(f4, 0, c, rr).c_str());
      worst = std::max(
          worst, std::fabs(parts - std::atof(field(one, 0, c, rr).c_str())));
    }
  // Four roundings of half a unit in the last digit, and one more.
  EXPECT_LE(worst, 2.5e-5 + 1e-12);
  EXPECT_GT(worst, 0.0); // the noise does reach the last digit
}

TEST_F(Period, ExactlyMaxwelWellsAreWrittenOneMoreEndsTheRun) {
  auto pmp = std::make_unique<CellArray>();
  for (int i = 0; i < MAXWEL; ++i)
    (*pmp)[std::size_t(i) * 3] = 1.0;
  write_bin("ne/1950.01.pmp", *pmp);
  january();
  flush();
  auto wel = lines_of("wel");
  ASSERT_EQ(wel.size(), std::size_t(1 + MAXWEL));
  EXPECT_EQ(wel[0], "14000 -1  1/1950");
  EXPECT_EQ(wel[1], "1   1   1  -0.016263"); // 1 AF in 31 days, in cfs
  EXPECT_EQ(wel.back(), "1 129 270  -0.016263");

  Sparse().at(326, 165, 2.5).write("co/1951.01.pmp");
  (*pmp)[cell(326, 165)] = 1.0;
  write_bin("ne/1951.01.pmp", *pmp);
  testing::internal::CaptureStderr();
  EXPECT_THROW(january(1951), RunEnd);
  testing::internal::GetCapturedStderr();
  close_report();
  EXPECT_EQ(read_file("fort.2"), " Increase MAXWEL to        14001\n");
  flush();
  // The period's RCH block is out, not a line of its WEL block.
  EXPECT_EQ(lines_of("r1").size(), std::size_t(2 * BLOCK));
  EXPECT_EQ(lines_of("wel").size(), std::size_t(1 + MAXWEL));
}

TEST_F(Period, WellLinesCarryRowColumnAndRate) {
  Sparse().at(326, 165, 0.5).at(2, 1, -0.25).write("co/1950.01.pmp");
  Sparse().at(326, 165, 0.5).write("ks/1950.01.pmp");
  january();
  flush();
  const auto wel = lines_of("wel");
  ASSERT_EQ(wel.size(), 3u);
  EXPECT_EQ(wel[0], "    2 -1  1/1950");
  EXPECT_EQ(wel[1], "1   1   2   0.004066"); // injection is positive
  EXPECT_EQ(wel[2], "1 165 326  -0.016263");
  EXPECT_EQ(sum(PMP, 1, 326, 165), 0.5);
  EXPECT_EQ(sum(PMP, 2, 326, 165), 0.5);
  EXPECT_EQ(sum(PMP, 0, 326, 165), 0.0);
}

// One acre-foot a day of municipal pumping is the same rate every month,
// and the months of a year take 365 (or 366) days of the annual volume.
TEST_F(Period, AnnualMunicipalFileIsSharedByTheMonths) {
  open_rch(0);
  Sparse().at(1, 1, 365.25).write("co/1951.mi");
  Sparse().at(1, 1, 365.25).write("ne/1952.mi");
  for (int year : {1951, 1952}) {
    for (int m = 1; m <= 12; ++m) {
      const int days = m == 2 && year % 4 == 0 ? 29 : run->days[m - 1];
      char label[8], part[8], ann[5];
      std::snprintf(label, sizeof label, "%2d/%4d", m, year);
      std::snprintf(part, sizeof part, "%4d.%02d", year, m);
      std::snprintf(ann, sizeof ann, "%4d", year);
      period(*run, r, label, part, ann, year, days * 86400, 1.0 / 12);
    }
  }
  EXPECT_NEAR(sum(MI, 1, 1, 1), 365.0, 1e-9);
  EXPECT_NEAR(sum(MI, 3, 1, 1), 366.0, 1e-9);
  flush();
  const auto wel = lines_of("wel");
  ASSERT_EQ(wel.size(), 48u);
  for (std::size_t i = 1; i < wel.size(); i += 2)
    EXPECT_EQ(wel[i], "1   1   1  -0.504167") << i;
}

// The annual file is looked for once a year and every month takes its
// share. Each missing file is counted once, by kind and state; the pumping
// files of a state under NOPUMP are not looked for.
TEST_F(Period, MissingFilesAreCountedOnceByKindAndState) {
  Sparse().at(2, 1, 365.25).write("ks/1950.mi");
  Sparse().at(3, 3, 1.0).write("co/1950.02.rcs");
  run->pumpflag[2] = 0;
  january();
  period(*run, r, " 2/1950", "1950.02", "1950", 1950, 28 * 86400, 1.0);
  EXPECT_NEAR(sum(MI, 2, 2, 1), 59.0, 1e-12);
  const std::array<std::array<int, NSTATE>, NSUMS> missing{{
      {2, 2, 0}, // pmp
      {1, 0, 0}, // mi: CO's once for the year, KS's was there
      {0, 0, 0}, // agw, aco, asw: the annual evaluation's
      {0, 0, 0},
      {0, 0, 0},
      {2, 2, 0}, // rcg
      {1, 2, 2}, // rcs: CO's February was there
      {2, 2, 2}, // rcc
  }};
  EXPECT_EQ(run->missing, missing);
}

TEST_F(Period, XfactorScalesIrrigationReturnsOfTheModelFilesOnly) {
  open_rch(4);
  run->xfactor_year = 1950;
  run->xfactor[cell(5, 5)] = 2.0;
  for (int y : {1950, 1951}) {
    const std::string p = std::to_string(y) + ".01.";
    Sparse().at(5, 5, 10.0).write("co/" + p + "rcg");
    Sparse().at(5, 5, 20.0).write("co/" + p + "rcs");
    Sparse().at(5, 5, 40.0).write("co/" + p + "rcc");
    january(y);
  }
  flush();
  const auto f2 = lines_of("r2"), f3 = lines_of("r3"), f4 = lines_of("r4");
  ASSERT_EQ(f4.size(), std::size_t(2 * BLOCK));
  // In the XFACTOR year itself nothing is scaled.
  EXPECT_EQ(field(f2, 0, 5, 5), "  0.18750");
  EXPECT_EQ(field(f3, 0, 5, 5), "  0.37500");
  EXPECT_EQ(field(f4, 0, 5, 5), "  0.75000");
  // After it, groundwater and surface-water returns are doubled, commingled
  // ones not.
  EXPECT_EQ(field(f2, 1, 5, 5), "  0.37500");
  EXPECT_EQ(field(f3, 1, 5, 5), "  0.75000");
  EXPECT_EQ(field(f4, 1, 5, 5), "  0.75000");
  // The budget keeps the volumes as delivered, both years.
  EXPECT_EQ(sum(RCG, 1, 5, 5), 20.0);
  EXPECT_EQ(sum(RCS, 1, 5, 5), 40.0);
}

TEST_F(Period, NopumpAndMoundRules) {
  run->pumpflag[1] = 0;
  run->mound[cell(1, 1)] = 1;
  // Read, any of these would be reported.
  for (const char *q : {"ks/1950.mi", "ks/1950.01.pmp", "ks/1950.01.rcg"})
    write_file(q, "damaged");
  Sparse().at(1, 1, 20.0).at(2, 1, 20.0).write("ks/1950.01.rcs");
  Sparse().at(1, 1, 40.0).at(2, 1, 40.0).write("ks/1950.01.rcc");
  Sparse().at(1, 1, 8.0).write("co/1950.01.pmp");
  Sparse().at(1, 1, 10.0).write("co/1950.01.rcg");

  testing::internal::CaptureStderr();
  january();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  flush();
  const auto rch = lines_of("r1");
  // At the mound cell only the groundwater return is recharged; next to it
  // both returns of the non-pumping state are.
  EXPECT_EQ(field(rch, 0, 1, 1), "  0.18750");
  EXPECT_EQ(field(rch, 0, 2, 1), "  1.12500");
  EXPECT_EQ(sum(RCS, 2, 1, 1), 0.0);
  EXPECT_EQ(sum(RCC, 2, 1, 1), 0.0);
  EXPECT_EQ(sum(RCS, 2, 2, 1), 20.0);
  EXPECT_EQ(sum(RCC, 2, 2, 1), 40.0);
  // Pumping inside the mound is still a well.
  EXPECT_EQ(lines_of("wel").size(), 2u);
}

// With the period length of 43560 s one acre-foot is one cubic foot per
// second, so the rate is the file's value with its sign turned.
TEST_F(Period, WideWellRatesKeepALeadingBlank) {
  const double pmp[] = {-999.999,   -1000.0,    100.0, 99.9999994,
                        -12345.678, 99.9999995, -0.5};
  const char *expect[] = {
      "1   1   1 999.999000", "1   2   1 1000.000000",  "1   3   1 -100.000000",
      "1   4   1 -99.999999", "1   5   1 12345.678000", "1   6   1 -100.000000",
      "1   7   1   0.500000",
  };
  Sparse s;
  for (int i = 0; i < 7; ++i)
    s.at(1, i + 1, pmp[i]);
  s.write("co/steady.pmp");
  open_rch(0);
  period(*run, r, "Steady ", "steady", "steady", -1, 43560, 0.0);
  flush();
  const auto wel = lines_of("wel");
  ASSERT_EQ(wel.size(), 8u);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(wel[std::size_t(i + 1)], expect[i]);
}

// A rate up to the bound of a cell value keeps its widened field; a value
// beyond it (1e300, or two states' 1.7e308 that would sum to infinity) ends
// the run as its file is read, before any well line of the period, with a
// record naming the file and on the console the cell.
TEST_F(Period, WellRateBeyondTheCellBoundEndsTheRun) {
  struct Case {
    double co, ks;
    bool ends;
  };
  const Case cases[] = {{1e15, 1e15, false},
                        {1e300, 0.0, true},
                        {1.7e308, 1.7e308, true},
                        {-1.7e308, -1.7e308, true}};
  for (const Case &c : cases) {
    Sparse().at(5, 2, 1.0).at(7, 3, c.co).write("co/steady.pmp");
    Sparse().at(7, 3, c.ks).write("ks/steady.pmp");
    fs::remove("fort.2");
    ASSERT_TRUE(run->wel.open("wel"));
    testing::internal::CaptureStderr();
    bool ended = false;
    try {
      period(*run, r, "Steady ", "steady", "steady", -1, 43560, 0.0);
    } catch (const RunEnd &) {
      ended = true;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    close_report();
    flush();
    EXPECT_EQ(ended, c.ends) << c.co;
    const auto wel = lines_of("wel");
    if (!c.ends) {
      ASSERT_EQ(wel.size(), 3u);
      EXPECT_EQ(wel[2].substr(0, 11), "1   3   7 -");
      continue;
    }
    EXPECT_TRUE(wel.empty()) << wel.size();
    const std::string text =
        std::string(msg::CELL_VALUE_TOO_LARGE) + "co/steady.pmp";
    EXPECT_EQ(err.rfind(text + "\n  at row 3, column 7, value ", 0), 0u) << err;
    EXPECT_EQ(read_file("fort.2"), " " + text + "\n");
  }
}

// An array value MODFLOW could not read back ends the run, at exactly the
// values the field would fill with asterisks.
TEST_F(Period, RchValueThatWouldPrintAsAsterisksEndsTheRun) {
  const double inch = 0.01875000074505806;
  std::vector<double> volumes;
  for (double edge : {999.999995, -99.999995}) {
    const double out = std::copysign(HUGE_VAL, edge);
    double v = edge / inch;
    for (int k = 0; k < 4; ++k)
      v = std::nextafter(v, -out);
    for (int k = 0; k < 9; ++k, v = std::nextafter(v, out))
      volumes.push_back(v);
  }
  volumes.push_back(1e6);
  int ended = 0;
  for (double q : volumes) {
    char buf[16];
    fmt::f(buf, inch * q, 9, 5);
    const bool asterisks = buf[0] == '*';
    Sparse().at(7, 3, q).write("co/steady.rcs");
    testing::internal::CaptureStderr();
    bool threw = false;
    try {
      steady();
    } catch (const RunEnd &) {
      threw = true;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(threw, asterisks) << q;
    if (threw) {
      ++ended;
      EXPECT_NE(err.find("RCH array field in file r1, period Steady , row   3, "
                         "column   7, value"),
                std::string::npos)
          << err;
    }
  }
  EXPECT_GE(ended, 5); // both edges were crossed
  EXPECT_LE(ended, int(volumes.size()) - 8);

  r[cell(2, 2)] = std::numeric_limits<double>::quiet_NaN();
  Sparse().write("co/steady.rcs");
  EXPECT_THROW(steady(), RunEnd);
}

TEST_F(Period, WriteFailureOfAModelFileEndsTheRun) {
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  ASSERT_TRUE(run->rch[0].open("/dev/full"));
  testing::internal::CaptureStderr();
  EXPECT_THROW(steady(), RunEnd);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot write to file /dev/full\n");

  open_rch(0);
  ASSERT_TRUE(run->wel.open("/dev/full"));
  testing::internal::CaptureStderr();
  EXPECT_THROW(steady(), RunEnd);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot write to file /dev/full\n");
}

} // namespace
} // namespace quon

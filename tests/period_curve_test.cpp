// Tests of the annual recharge grid: the blend of the dryland and irrigated
// functions by the irrigated share, the rules of which areas count where,
// the store files, and the per-cell kriging weights against the full
// estimate.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "inputs.h"
#include "krige.h"
#include "period.h"
#include "reporters.h"
#include "tables.h"
#include "testutil.h"
#include "writers.h"

namespace quon {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

using test::Sparse;
using test::write_bin;

class Curve : public test::InTempDir {
protected:
  void SetUp() override {
    InTempDir::SetUp();
    run = make_run();
    run->binmode = 1;
    run->soil.fill(1);
    // Precipitation grid 0.0 .. 200.0; soil 1 recharges a tenth of the
    // precipitation on dryland and four tenths under irrigation.
    FunctionTable &f = run->functions;
    f.rows = 2001;
    for (int j = 0; j < f.rows; ++j) {
      const double x = j * 0.1;
      f.v[0][0][j] = f.v[0][1][j] = x;
      f.v[1][0][j] = 0.1 * x;
      f.v[1][1][j] = 0.4 * x;
    }
  }

  // One station: every estimate is its value for the year.
  void one_station(int year, double ppt) {
    StationTable &st = run->stations;
    st.count = 1;
    st.drift = 0;
    st.x[0] = 900000.0;
    st.y[0] = 14500000.0;
    st.ppt[year - FIRSTYEAR][0] = ppt;
    invert();
  }

  void invert() {
    StationTable &st = run->stations;
    ASSERT_TRUE(krigmatinv(X0, Y0, st.x, st.y, run->krig.amat, run->krig.ainv,
                           st.count, st.drift));
  }

  double at(const CellArray &a, int c, int r) const { return a[cell(c, r)]; }

  std::unique_ptr<quon::Run> run;
  CellArray rch;
};

TEST_F(Curve, IrrigatedShareBlendsTheTwoFunctions) {
  one_station(1950, 20.0); // dryland 2.0, irrigated 8.0 in/yr
  run->terrain[cell(9, 9)] = 1.5;
  Sparse().at(1, 1, 700.0).at(2, 1, 320.0).write("co/1950.agw");
  Sparse().at(3, 1, 160.0).write("ks/1950.asw");
  Sparse().at(4, 1, 64.0).write("ne/1950.aco");
  Sparse().at(2, 1, 1e-300).write("ne/1950.asw");

  evalcurve(*run, rch, 0, 1950);

  EXPECT_EQ(at(run->frac, 1, 1), 1.0); // 700 acres is the whole cell
  EXPECT_DOUBLE_EQ(at(rch, 1, 1), 8.0);
  EXPECT_DOUBLE_EQ(at(rch, 2, 1), 5.0);
  EXPECT_DOUBLE_EQ(at(rch, 3, 1), 3.5);
  EXPECT_DOUBLE_EQ(at(rch, 4, 1), 2.6);
  EXPECT_DOUBLE_EQ(at(rch, 5, 1), 2.0);
  EXPECT_DOUBLE_EQ(at(rch, 9, 9), 3.0);
  EXPECT_EQ(at(run->ppt, 100, 100), 20.0);

  // The areas go to the state that delivered them, slice 0 stays empty.
  EXPECT_EQ(at(run->sums[AGW].slice[1], 1, 1), 700.0);
  EXPECT_EQ(at(run->sums[AGW].slice[1], 2, 1), 320.0);
  EXPECT_EQ(at(run->sums[ASW].slice[2], 3, 1), 160.0);
  EXPECT_EQ(at(run->sums[ACO].slice[3], 4, 1), 64.0);
  EXPECT_EQ(at(run->sums[ASW].slice[3], 2, 1), 1e-300);
  for (int s = 0; s < NSUMS; ++s)
    EXPECT_EQ(at(run->sums[s].slice[0], 1, 1), 0.0);
  // The area files not written above are missing, and counted.
  using Counts = std::array<int, NSTATE>;
  EXPECT_EQ(run->missing[AGW], (Counts{0, 1, 1}));
  EXPECT_EQ(run->missing[ASW], (Counts{1, 0, 0}));
  EXPECT_EQ(run->missing[ACO], (Counts{1, 1, 0}));
}

TEST_F(Curve, SteadyYearUsesTheDrylandFunctionAndTouchesNoFile) {
  one_station(1960, 20.0);
  fs::create_directory("out");
  run->nstore = 3;
  run->storedir.set("out");
  run->storenames = {Name("ppt"), Name("irr"), Name("rch")};
  Sparse().at(1, 1, 700.0).write("co/1960.agw");
  write_file("ks/1960.asw", "damaged");

  testing::internal::CaptureStderr();
  evalcurve(*run, rch, 1, 1960);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  EXPECT_DOUBLE_EQ(at(rch, 1, 1), 2.0);
  EXPECT_EQ(at(run->frac, 1, 1), 0.0);
  EXPECT_EQ(at(run->sums[AGW].slice[1], 1, 1), 0.0);
  EXPECT_TRUE(fs::is_empty("out"));
}

TEST_F(Curve, MoundAndNopumpDecideWhichAreasCount) {
  one_station(1950, 20.0);
  run->pumpflag[1] = 0; // KS does not pump
  run->mound[cell(1, 2)] = 1;
  run->mound[cell(2, 2)] = 1;
  run->mound[cell(3, 2)] = 1;
  // Read, the damaged file would end the run.
  write_file("ks/1950.agw", "damaged");
  Sparse().at(1, 2, 100.0).at(1, 3, 100.0).write("ks/1950.aco");
  Sparse().at(2, 2, 100.0).at(2, 3, 100.0).write("co/1950.asw");
  Sparse().at(3, 2, 100.0).write("co/1950.aco");

  testing::internal::CaptureStderr();
  evalcurve(*run, rch, 0, 1950);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  // Commingled land of a state without pumping: only outside the mound.
  EXPECT_EQ(at(run->frac, 1, 2), 0.0);
  EXPECT_EQ(at(run->sums[ACO].slice[2], 1, 2), 0.0);
  EXPECT_EQ(at(run->frac, 1, 3), 100.0 * 0.0015625);
  EXPECT_EQ(at(run->sums[ACO].slice[2], 1, 3), 100.0);
  // Surface-water land never counts inside the mound.
  EXPECT_EQ(at(run->frac, 2, 2), 0.0);
  EXPECT_EQ(at(run->sums[ASW].slice[1], 2, 2), 0.0);
  EXPECT_EQ(at(run->sums[ASW].slice[1], 2, 3), 100.0);
  // Commingled land of a pumping state counts inside the mound too.
  EXPECT_EQ(at(run->sums[ACO].slice[1], 3, 2), 100.0);

  // Opening the mound lets the non-pumping state's commingled land in, but
  // not its surface-water land.
  run->optmound = 1;
  for (auto &s : run->sums)
    s.clear();
  evalcurve(*run, rch, 0, 1950);
  EXPECT_EQ(at(run->sums[ACO].slice[2], 1, 2), 100.0);
  EXPECT_EQ(at(run->frac, 1, 2), 100.0 * 0.0015625);
  EXPECT_EQ(at(run->sums[ASW].slice[1], 2, 2), 0.0);
}

TEST_F(Curve, InactiveCellsStayZeroWhateverTheirInputs) {
  one_station(1950, 20.0);
  run->ibound[cell(1, 1)] = 0;
  run->ibound[cell(2, 1)] = -1;
  run->terrain[cell(2, 1)] = 5.0;
  Sparse().at(1, 1, 300.0).at(2, 1, 300.0).write("co/1950.agw");

  evalcurve(*run, rch, 0, 1950);
  for (int c = 1; c <= 2; ++c) {
    EXPECT_EQ(at(rch, c, 1), 0.0);
    EXPECT_EQ(at(run->frac, c, 1), 0.0);
    EXPECT_EQ(at(run->ppt, c, 1), 0.0);
  }
  // Their areas still belong to the state's budget.
  EXPECT_EQ(at(run->sums[AGW].slice[1], 2, 1), 300.0);
  EXPECT_DOUBLE_EQ(at(rch, 3, 1), 2.0);
}

TEST_F(Curve, SoilZeroRechargesItsOwnPrecipitation) {
  StationTable &st = run->stations;
  st.count = 3;
  st.drift = 1;
  const double xs[] = {300000.0, 1900000.0, 1000000.0};
  const double ys[] = {14100000.0, 14200000.0, 14950000.0};
  const double ps[] = {14.0, 31.0, 22.0};
  for (int j = 0; j < 3; ++j) {
    st.x[j] = xs[j];
    st.y[j] = ys[j];
    st.ppt[1955 - FIRSTYEAR][j] = ps[j];
  }
  invert();
  run->soil.fill(0);
  run->terrain.fill(2.0);
  evalcurve(*run, rch, 1, 1955);
  double lo = 1e9, hi = -1e9;
  for (int i = 0; i < NCELL; ++i) {
    ASSERT_NEAR(rch[i], 2.0 * run->ppt[i], 1e-12 * run->ppt[i]) << i;
    lo = std::min(lo, run->ppt[i]);
    hi = std::max(hi, run->ppt[i]);
  }
  EXPECT_LT(lo, 15.0); // the kriged field does vary over the grid
  EXPECT_GT(hi, 30.0);
}

// A precipitation that ends the run keeps its record in the report file;
// the console also names the cell, the year and, for a lookup outside the
// function table, the soil and the function.
TEST_F(Curve, BadPrecipitationEndsTheRunNamingItsCell) {
  one_station(1950, 0.0);
  evalcurve(*run, rch, 1, 1950);
  EXPECT_EQ(at(rch, 7, 7), 0.0);

  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double ppt;
    int steady;
    const char *record, *where;
  } cases[] = {
      {-3.0e-5, 1, " Negative PPT   -3.0000000000000001E-005\n",
       "  at row 1, column 2, year 1951 of the steady period\n"},
      {std::nan(""), 0, " Negative PPT                        NaN\n",
       "  at row 1, column 2, year 1951\n"},
      {inf, 0, " Negative PPT                   Infinity\n",
       "  at row 1, column 2, year 1951\n"},
      {200.05, 0, " Value out of range in BINFIND    200.05000000000001     \n",
       "  at row 1, column 2, year 1951, soil 3, dryland recharge function; "
       "its table covers 0 to 200\n"},
  };
  run->ibound[cell(1, 1)] = 0;
  run->soil[cell(2, 1)] = 3;
  for (const auto &k : cases) {
    SCOPED_TRACE(k.ppt);
    fs::remove("fort.2");
    one_station(1951, k.ppt);
    testing::internal::CaptureStderr();
    EXPECT_THROW(evalcurve(*run, rch, k.steady, 1951), RunEnd);
    const std::string err = testing::internal::GetCapturedStderr();
    close_report();
    const std::string rec = read_file("fort.2");
    EXPECT_EQ(rec, k.record);
    EXPECT_EQ(err, rec.substr(1) + k.where);
  }
}

TEST_F(Curve, YearOutsideThePrecipitationTableEndsTheRun) {
  one_station(1950, 20.0);
  EXPECT_THROW(evalcurve(*run, rch, 0, 1909), RunEnd);
  EXPECT_THROW(evalcurve(*run, rch, 1, 2151), RunEnd);
}

TEST_F(Curve, TransientYearStoresItsThreeGrids) {
  one_station(1950, 20.0);
  fs::create_directory("out");
  run->nstore = 3;
  run->storedir.set("out");
  run->storenames = {Name("ppt"), Name("irr"), Name("rch")};
  Sparse().at(1, 1, 700.0).at(2, 1, 320.0).write("co/1950.agw");

  evalcurve(*run, rch, 0, 1950);
  YearInfo year;
  year.label = "1950";
  year.year = 1950;
  year.rech = &rch;
  store_writer().begin_year(*run, year);
  auto back = std::make_unique<CellArray>();
  readfile(*run, *back, "out", "1950", "irr");
  EXPECT_EQ(at(*back, 1, 1), 640.0); // capped at the whole cell
  EXPECT_EQ(at(*back, 2, 1), 320.0);
  EXPECT_EQ(at(*back, 3, 1), 0.0);
  readfile(*run, *back, "out", "1950", "ppt");
  EXPECT_EQ(at(*back, 50, 50), 20.0);
  readfile(*run, *back, "out", "1950", "rch");
  EXPECT_EQ(std::memcmp(back->data(), rch.data(), sizeof rch), 0);
}

// The weights formed once per run must give each year's estimate exactly as
// the full kriging evaluation does, for every drift order.
TEST_F(Curve, StoredWeightsReproduceTheEstimateBitForBit) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> ux(266023.0, 1987303.0),
      uy(14092806.0, 14964006.0), up(15.0, 35.0);
  StationTable &st = run->stations;
  st.count = 24;
  // The corners keep every cell inside the stations' hull.
  const double cx[] = {266023.0, 1987303.0, 266023.0, 1987303.0};
  const double cy[] = {14092806.0, 14092806.0, 14964006.0, 14964006.0};
  for (int j = 0; j < st.count; ++j) {
    st.x[j] = j < 4 ? cx[j] : ux(rng);
    st.y[j] = j < 4 ? cy[j] : uy(rng);
    st.ppt[1990 - FIRSTYEAR][j] = up(rng);
  }
  for (int i = 0; i < NCELL; i += 7)
    run->ibound[i] = i % 2 ? 0 : -1;

  auto direct = std::make_unique<CellArray>();
  for (int drift = 0; drift <= 3; ++drift) {
    SCOPED_TRACE(drift);
    st.drift = drift;
    invert();
    prepare_kriging(*run);
    EXPECT_GT(run->krigcells.size(), 40000u);
    evalcurve(*run, rch, 1, 1990);
    const CellArray &withweights = run->ppt;

    direct->fill(0.0);
    for (int r = 1; r <= NROW; ++r)
      for (int c = 1; c <= NCOL; ++c)
        if (run->ibound[cell(c, r)] > 0)
          (*direct)[cell(c, r)] = evalkrige(
              run->krig.ainv, X0, Y0, st.x, st.y, st.ppt[1990 - FIRSTYEAR],
              run->xc[c], run->yc[r], st.count, drift);
    EXPECT_EQ(std::memcmp(direct->data(), withweights.data(), sizeof rch), 0);
  }
}

} // namespace
} // namespace quon

// budget_budget_test.cpp - the budget table rows and headers in the report
// file, the sub-area files, and the state totals left in slice 0.

#include <gtest/gtest.h>

#include <filesystem>

#include "budget.h"
#include "reporters.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

using test::read_file;

// Fields of ten characters, right-justified: the expected values are
// written out by hand.
std::string f10(std::initializer_list<const char *> values) {
  std::string s;
  for (const char *v : values)
    s += std::string(10 - std::strlen(v), ' ') + v;
  return s;
}
std::string f12(std::initializer_list<const char *> values) {
  std::string s;
  for (const char *v : values)
    s += std::string(12 - std::strlen(v), ' ') + v;
  return s;
}

class Budget : public test::InTempDir {
protected:
  std::unique_ptr<quon::Run> run = make_run();
  CellArray rech{};

  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }
  void zones(std::initializer_list<const char *> names) {
    run->nbud = 0;
    for (const char *n : names)
      run->budnames[run->nbud++].set(n);
  }
  double &sum(SumId id, int slice, int c, int r) {
    return run->sums[id].slice[slice][cell(c, r)];
  }
  std::string report() {
    close_report();
    return read_file("fort.2");
  }

  // A small year: four cells in row 1 (zones 1, 2, 3 and 0) and one far
  // away in zone 0, with pumping, areas and recharge spread over the states.
  void small_year() {
    run->budzone[cell(1, 1)] = 1;
    run->budzone[cell(2, 1)] = 2;
    run->budzone[cell(3, 1)] = 3;
    rech[cell(1, 1)] = 12.0; // 640 acre-feet
    rech[cell(2, 1)] = 1.5;  // 80 acre-feet
    rech[cell(4, 1)] = 24.0; // zone 0: not in the recharge group
    sum(PMP, 1, 4, 1) = 10.0;
    sum(PMP, 2, 1, 1) = 20.0;
    sum(PMP, 3, 100, 100) = 30.5;
    sum(MI, 1, 2, 1) = 1.0;
    sum(AGW, 2, 100, 100) = 100.0;
    sum(ACO, 3, 4, 1) = 5.0;
    sum(RCG, 1, 1, 1) = 2.0;
    sum(RCG, 2, 4, 1) = 3.0;
    sum(RCS, 3, 3, 1) = -1.0;
  }
};

TEST_F(Budget, HeaderLines) {
  zones({});
  budget_header(*run);
  zones({"CO", "Kansas_Zone", "NE"});
  budget_header(*run);
  const std::string labels[9] = {"gwIrr_af",  "gwMI_af",   "gwArea_ac",
                                 "coArea_ac", "swArea_ac", "RchRcp_af",
                                 "RchRcg_af", "RchRcs_af", "RchRcc_af"};
  std::string h0 = " Year", h3 = " Year";
  for (const auto &l : labels) {
    h0 += std::string(10 - l.size(), ' ') + l;
    h3 +=
        "        COKansas_Zon        NE" + std::string(10 - l.size(), ' ') + l;
  }
  EXPECT_EQ(h0.size(), 95u);
  EXPECT_EQ(h3.size(), 5u + 90u * 4u);
  EXPECT_EQ(report(), h0 + "\n" + h3 + "\n");
}

TEST_F(Budget, SteadyRowIsTheRechargeGroupOnly) {
  zones({"A", "B"});
  run->budzone[cell(1, 1)] = 1;
  run->budzone[cell(5, 5)] = 2;
  rech[cell(1, 1)] = 12.0;
  rech[cell(5, 5)] = 6.0;
  rech[cell(10, 10)] = 100.0; // zone 0
  sum(PMP, 1, 1, 1) = 7.0;
  budget(*run, "SS  ", rech);
  EXPECT_EQ(report(), " SS  " + f10({"640.0", "320.0", "960.0"}) + "\n");
  EXPECT_EQ(sum(PMP, 0, 1, 1), 0.0); // a steady row fills no slice 0
  EXPECT_EQ(run->budwork[1], 640.0);
  EXPECT_EQ(run->budwork[0], 100.0); // zone 0 is summed, not converted
}

TEST_F(Budget, TransientRowAndSliceZero) {
  zones({"CO", "KS", "NE"});
  small_year();
  budget(*run, "1950", rech);
  const std::string row =
      " 1950" + f10({"10.0", "20.0", "30.5", "60.5"}) +
      f10({"1.0", "0.0", "0.0", "1.0"}) +
      f10({"0.0", "100.0", "0.0", "100.0"}) +
      f10({"0.0", "0.0", "5.0", "5.0"}) + f10({"0.0", "0.0", "0.0", "0.0"}) +
      f10({"640.0", "80.0", "0.0", "720.0"}) +
      f10({"2.0", "3.0", "0.0", "5.0"}) + f10({"0.0", "0.0", "-1.0", "-1.0"}) +
      f10({"0.0", "0.0", "0.0", "0.0"});
  EXPECT_EQ(report(), row + "\n");

  // Slice 0 of pmp, mi, agw, aco, asw is the sum of the state slices at
  // every cell; slice 0 of the recharge components stays 0.
  for (SumId id : {PMP, MI, AGW, ACO, ASW})
    for (int k = 0; k < NCELL; ++k) {
      const auto &s = run->sums[id].slice;
      ASSERT_EQ(s[0][k], s[1][k] + s[2][k] + s[3][k]) << id << " " << k;
    }
  EXPECT_EQ(sum(PMP, 0, 100, 100), 30.5);
  for (SumId id : {RCG, RCS, RCC})
    for (double v : run->sums[id].slice[0])
      ASSERT_EQ(v, 0.0);
}

// A value summed past the largest double ends the run with a record naming
// the file, the year and the value's column; finite values too wide for
// their field keep their asterisks.
TEST_F(Budget, ValueThatIsNotFiniteEndsTheRun) {
  struct Case {
    const char *label;
    SumId id; // a state sum to overflow, or NSUMS: the recharge grid
    const char *record;
  };
  const Case cases[] = {
      {"1950", MI, "fort.2, period 1950, column   6, value Infinity"},
      {"1950", RCS, "fort.2, period 1950, column  30, value -Infinity"},
      {"SS  ", NSUMS, "fort.2, period SS, column   1, value Infinity"},
      {"1951", PMP, ""}};
  for (const Case &c : cases) {
    run = make_run();
    rech.fill(0.0);
    zones({"CO", "KS", "NE"});
    run->budzone[cell(1, 1)] = 1;
    const double big = c.id == RCS ? -1.7e308 : 1.7e308;
    if (c.id == NSUMS) {
      rech[cell(1, 1)] = big;
    } else {
      sum(c.id, 2, 1, 1) = big;
      sum(c.id, 2, 2, 1) = *c.record ? big : 1e9; // 1e9: asterisks
    }
    close_report();
    std::filesystem::remove("fort.2");
    testing::internal::CaptureStderr();
    bool ended = false;
    try {
      budget(*run, c.label, rech);
    } catch (const RunEnd &) {
      ended = true;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string rep = report();
    EXPECT_EQ(ended, *c.record != 0) << c.record;
    if (!ended) {
      EXPECT_NE(rep.find("**********"), std::string::npos) << rep;
      continue;
    }
    const std::string text =
        std::string("Budget value not finite in file ") + c.record;
    EXPECT_EQ(err, text + "\n");
    EXPECT_EQ(rep, " " + text + "\n");
  }
}

TEST_F(Budget, MoreZonesThanStates) {
  zones({"CO", "KS", "NE", "Z4", "Z5"});
  small_year();
  run->budzone[cell(4, 1)] = 5; // now counts in the recharge group
  budget(*run, "1950", rech);
  const std::string row = report();
  ASSERT_EQ(row.size(), 5u + 9u * 6u * 10u + 1u);
  EXPECT_EQ(row.substr(5, 60),
            f10({"10.0", "20.0", "30.5", "0.0", "0.0", "60.5"}));
  EXPECT_EQ(row.substr(5 + 5 * 60, 60),
            f10({"640.0", "80.0", "0.0", "0.0", "1280.0", "2000.0"}));
  EXPECT_EQ(row.substr(5 + 6 * 60, 60),
            f10({"2.0", "3.0", "0.0", "0.0", "0.0", "5.0"}));
}

// Each state group's total is that of all three states, also of those
// without a column: pumping 10 + 20 + 30.5, NE's return -1.
TEST_F(Budget, FewerZonesThanStatesShowTheFirstStatesAndTheWholeTotal) {
  const struct {
    std::initializer_list<const char *> names;
    std::string pmp, rcs;
  } cases[] = {
      {{"CO"}, f10({"10.0", "60.5"}), f10({"0.0", "-1.0"})},
      {{"CO", "KS"},
       f10({"10.0", "20.0", "60.5"}),
       f10({"0.0", "0.0", "-1.0"})},
  };
  for (const auto &k : cases) {
    std::filesystem::remove("fort.2");
    run = make_run();
    zones(k.names);
    small_year();
    budget(*run, "1951", rech);
    const std::string row = report();
    const std::size_t w = k.pmp.size();
    ASSERT_EQ(row.size(), 5u + 9u * w + 1u);
    EXPECT_EQ(row.substr(5, w), k.pmp);
    EXPECT_EQ(row.substr(5 + 7 * w, w), k.rcs);
    EXPECT_EQ(sum(PMP, 0, 100, 100), 30.5); // slice 0 gets all three
  }
}

TEST_F(Budget, NoZonesWriteNothing) {
  zones({});
  small_year();
  budget(*run, "1950", rech);
  budget2(*run, "1950", rech);
  budget(*run, "SS  ", rech);
  close_report();
  EXPECT_FALSE(std::filesystem::exists("fort.2"));
  for (double v : run->sums[PMP].slice[0])
    ASSERT_EQ(v, 0.0);
}

TEST_F(Budget, SumsRunRowByRow) {
  // Row order decides the bits: 1e16 + 1 rounds back to 1e16 before the
  // cell of row 2 cancels it; a column-wise sum would keep the 1.
  zones({"A"});
  run->budzone[cell(1, 1)] = 1;
  run->budzone[cell(2, 1)] = 1;
  run->budzone[cell(1, 2)] = 1;
  rech[cell(1, 1)] = 1e16;
  rech[cell(2, 1)] = 1.0;
  rech[cell(1, 2)] = -1e16;
  sum(MI, 1, 1, 1) = 1e16;
  sum(MI, 1, 2, 1) = 1.0;
  sum(MI, 1, 1, 2) = -1e16;
  budget(*run, "SS  ", rech);
  budget(*run, "1960", rech);
  const std::string text = report();
  ASSERT_EQ(text.size(), 26u + 5u + 9u * 20u + 1u);
  EXPECT_EQ(text.substr(0, 25), " SS  " + f10({"0.0", "0.0"}));
  const std::string row = text.substr(26);
  EXPECT_EQ(row.substr(5 + 1 * 20, 20), f10({"0.0", "0.0"})); // MI
  EXPECT_EQ(row.substr(5 + 5 * 20, 20), f10({"0.0", "0.0"})); // recharge
  EXPECT_EQ(sum(MI, 0, 2, 1), 1.0);
}

class SubArea : public Budget {
protected:
  void SetUp() override {
    Budget::SetUp();
    std::filesystem::create_directories("quon");
  }
  void names(std::initializer_list<const char *> list) {
    run->nsub = 0;
    for (const char *n : list)
      run->subnames[++run->nsub].set(n);
    run->has_subarea = true;
  }
};

TEST_F(SubArea, HeadersForNoAndTwoSubAreas) {
  names({});
  test::write_file("quon/pump.bsn", "old contents\nof another run\n");
  subarea_headers(*run);
  run->pumpbsn.close();
  run->rechbsn.close();
  EXPECT_EQ(read_file("quon/pump.bsn"),
            " Year nonOsken_co nonOsken_ks nonOsken_ne \n");
  EXPECT_EQ(read_file("quon/rech.bsn"),
            " Year nonOsken_co nonOsken_ks nonOsken_ne \n");

  names({"North", "LongSubAreaName"});
  subarea_headers(*run);
  run->pumpbsn.close();
  EXPECT_EQ(read_file("quon/pump.bsn"),
            " Year nonOsken_co nonOsken_ks nonOsken_ne North_co North_ks "
            "North_ne LongSubAre_co LongSubAre_ks LongSubAre_ne \n");
}

TEST_F(SubArea, RowsOfPumpingAndRecharge) {
  zones({"CO", "KS", "NE", "XX"});
  names({"North", "South"});
  subarea_headers(*run);
  small_year();
  run->subarea[cell(1, 1)] = 1;
  run->subarea[cell(2, 1)] = 2;
  run->subarea[cell(4, 1)] = 1;
  run->subarea[cell(3, 1)] = 2;
  // A zone above the states: in the report, not in the sub-area recharge.
  run->budzone[cell(5, 1)] = 4;
  run->subarea[cell(5, 1)] = 1;
  rech[cell(5, 1)] = 12.0;
  sum(RCC, 3, 100, 100) = 123456789.0;
  budget2(*run, "1950", rech);

  const std::string head =
      " Year nonOsken_co nonOsken_ks nonOsken_ne North_co North_ks North_ne "
      "South_co South_ks South_ne \n";
  EXPECT_EQ(read_file("quon/pump.bsn"), head + "1950" +
                                            f12({"0.0", "0.0", "30.5"}) +
                                            f12({"10.0", "20.0", "0.0"}) +
                                            f12({"0.0", "0.0", "0.0"}) + "\n");
  // Recharge of state k in sub-area s: the precipitation recharge of the
  // zone-k cells there plus the state's irrigation recharge there.
  EXPECT_EQ(read_file("quon/rech.bsn"),
            head + "1950" + f12({"0.0", "0.0", "123456789.0"}) +
                f12({"642.0", "3.0", "0.0"}) + f12({"0.0", "80.0", "-1.0"}) +
                "\n");
  // The report shows the same large value as asterisks.
  const std::string row = report();
  ASSERT_EQ(row.size(), 5u + 9u * 5u * 10u + 1u);
  EXPECT_EQ(row.substr(5 + 5 * 50, 50),
            f10({"640.0", "80.0", "0.0", "640.0", "1360.0"}));
  EXPECT_EQ(row.substr(5 + 8 * 50, 50),
            f10({"0.0", "0.0", "**********", "0.0", "**********"}));
}

TEST_F(SubArea, FilesThatCannotBeWrittenEndTheRun) {
  names({"North"});
  std::filesystem::remove_all("quon");
  EXPECT_THROW(subarea_headers(*run), RunEnd);

  std::filesystem::create_directories("quon");
  subarea_headers(*run);
  zones({"CO"});
  ASSERT_TRUE(run->rechbsn.open("/dev/full"));
  testing::internal::CaptureStderr();
  EXPECT_THROW(budget2(*run, "1950", rech), RunEnd);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("quon/rech.bsn"), std::string::npos) << err;
  // The pumping row went out before the failure.
  EXPECT_EQ(read_file("quon/pump.bsn").size(),
            std::string(" Year nonOsken_co nonOsken_ks nonOsken_ne North_co "
                        "North_ks North_ne \n")
                    .size() +
                4 + 6 * 12 + 1);
}

} // namespace
} // namespace quon

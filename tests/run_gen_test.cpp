// run_gen_test.cpp - the scenario generator: the same seed gives the same
// folder, quon runs generated folders of every shape to their end without a
// single message, and options that would make a broken run are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using quon::test::read_file;

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";
const std::string QUON = QUON_BINARY_DIR "/quon";

using quon::test::shell;

// Runs the generator into dir; its console output goes to dir.log.
int generate(const std::string &dir, const std::string &opts) {
  return shell(GEN + " --out " + dir + " " + opts + " >" + dir + ".log 2>&1");
}

// Runs quon in dir; its console output goes to dir/console.txt.
int run_quon(const std::string &dir) {
  return shell("cd " + dir + " && " + QUON + " quon.par >console.txt 2>&1");
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    out.push_back(l);
  return out;
}

// Every file below dir, by relative path, with its bytes.
std::map<std::string, std::string> tree(const std::string &dir) {
  std::map<std::string, std::string> t;
  for (auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      t[fs::relative(e.path(), dir).string()] = read_file(e.path().string());
  return t;
}

// The stress periods of a WEL file: label and well count of each, checking
// that each period line is followed by exactly that many well lines.
struct Period {
  std::string label;
  int wells;
};
std::vector<Period> wel_periods(const std::string &file) {
  const auto l = lines(read_file(file));
  std::vector<Period> p;
  std::size_t i = 1; // past the header line
  while (i < l.size()) {
    EXPECT_GE(l[i].size(), 9u) << "period line " << i;
    if (l[i].size() < 9)
      break;
    const int n = std::atoi(l[i].substr(0, 5).c_str());
    p.push_back({l[i].substr(9), n});
    i += std::size_t(n) + 1;
  }
  EXPECT_EQ(i, l.size()) << "well lines do not match the period counts";
  return p;
}

class GenScenario : public quon::test::InTempDir {};

TEST_F(GenScenario, SameSeedGivesTheSameFolderAnotherSeedAnother) {
  const std::string opts =
      "--years 1 --steady-years 1 --stations 12 --drift 2 --wells 500";
  ASSERT_EQ(generate("a", "--seed 5 " + opts), 0) << read_file("a.log");
  ASSERT_EQ(generate("b", "--seed 5 " + opts), 0) << read_file("b.log");
  ASSERT_EQ(generate("c", "--seed 6 " + opts), 0) << read_file("c.log");
  const auto a = tree("a"), b = tree("b"), c = tree("c");
  ASSERT_GT(a.size(), 50u);
  EXPECT_TRUE(a == b) << "two runs of one seed differ";
  ASSERT_TRUE(c.count("stations.ppt") && c.count("co/1950.07.pmp"));
  EXPECT_NE(a.at("stations.ppt"), c.at("stations.ppt"));
  EXPECT_NE(a.at("co/1950.07.pmp"), c.at("co/1950.07.pmp"));
}

TEST_F(GenScenario, QuonRunsATextScenarioToItsEndWithoutAMessage) {
  ASSERT_EQ(generate("s", "--seed 2 --years 2 --steady-years 2"), 0)
      << read_file("s.log");
  ASSERT_EQ(run_quon("s"), 0) << read_file("s/console.txt");
  // No report on the console: the month multipliers sum to 1, every active
  // cell has a soil and a positive terrain multiplier, no file is malformed.
  EXPECT_EQ(quon::test::reports_of(read_file("s/console.txt")), "");

  // The report file holds the budget table and nothing else.
  const auto report = lines(read_file("s/fort.2"));
  ASSERT_EQ(report.size(), 4u) << read_file("s/fort.2");
  EXPECT_EQ(report[0].substr(0, 25), " Year        CO        KS");
  EXPECT_EQ(report[1].substr(0, 5), " SS  ");
  EXPECT_EQ(report[2].substr(0, 5), " 1950");
  EXPECT_EQ(report[3].substr(0, 5), " 1951");

  // One steady and 24 monthly periods; the summer months pump at about
  // --wells cells (plus the town wells), the winter months at far fewer.
  const auto p = wel_periods("s/quon.wel");
  ASSERT_EQ(p.size(), 25u);
  EXPECT_EQ(p[0].label, "Steady ");
  EXPECT_EQ(p[1].label, " 1/1950");
  EXPECT_EQ(p[24].label, "12/1951");
  for (const auto &q : p) {
    EXPECT_GT(q.wells, 0) << q.label;
    EXPECT_LE(q.wells, 14000) << q.label;
  }
  EXPECT_GE(p[7].wells, 3000); // July 1950
  EXPECT_LE(p[7].wells, 3000 + 3 * 30);
  EXPECT_LT(p[1].wells, 1000); // January 1950

  for (const char *rch : {"precip.rch", "gwirr.rch", "swirr.rch", "coirr.rch"})
    EXPECT_EQ(lines(read_file(std::string("s/") + rch)).size(),
              1u + 25u * 2807u)
        << rch;
  EXPECT_EQ(lines(read_file("s/quon/pump.bsn")).size(), 3u);
  EXPECT_EQ(lines(read_file("s/1951.csv")).size(), 1u + 53790u);
  for (const char *f : {"s/store/1950.ppt", "s/store/1951.irr",
                        "s/store/1951.rch", "s/funtable.txt", "s/terrain.plt"})
    EXPECT_TRUE(fs::exists(f)) << f;
}

TEST_F(GenScenario, UnformattedFilesHoldTheSameValuesAsText) {
  const std::string opts = "--seed 3 --years 1 --steady-years 1 --wells 800";
  ASSERT_EQ(generate("t", opts), 0) << read_file("t.log");
  ASSERT_EQ(generate("u", opts + " --bin"), 0) << read_file("u.log");

  // One sequential record each: length, 53,790 doubles, length.
  const std::string rec = read_file("u/ks/1950.07.pmp");
  ASSERT_EQ(rec.size(), 430328u);
  std::int32_t head = 0, tail = 0;
  std::memcpy(&head, rec.data(), 4);
  std::memcpy(&tail, rec.data() + rec.size() - 4, 4);
  EXPECT_EQ(head, 430320);
  EXPECT_EQ(tail, 430320);

  ASSERT_EQ(run_quon("t"), 0) << read_file("t/console.txt");
  ASSERT_EQ(run_quon("u"), 0) << read_file("u/console.txt");
  EXPECT_EQ(quon::test::reports_of(read_file("u/console.txt")), "");
  for (const char *f : {"quon.wel", "precip.rch", "gwirr.rch", "swirr.rch",
                        "coirr.rch", "fort.2", "1950.csv", "quon/rech.bsn"})
    EXPECT_TRUE(read_file(std::string("t/") + f) ==
                read_file(std::string("u/") + f))
        << f << " differs between text and unformatted input";
}

TEST_F(GenScenario, ExtremeOptionsStillRunToTheEnd) {
  // The most stations with the highest drift order, and the most wells a
  // period can take; one RCH file, no steady period, no optional outputs.
  ASSERT_EQ(generate("x", "--seed 11 --years 1 --steady-years 0 --stations "
                          "128 --drift 3 --wells 13820 --rch 1 --no-subareas "
                          "--no-annpump"),
            0)
      << read_file("x.log");
  ASSERT_EQ(run_quon("x"), 0) << read_file("x/console.txt");
  EXPECT_EQ(quon::test::reports_of(read_file("x/console.txt")), "");
  const auto p = wel_periods("x/quon.wel");
  ASSERT_EQ(p.size(), 12u);
  EXPECT_EQ(p[0].label, " 1/1950");
  int most = 0;
  for (const auto &q : p)
    most = std::max(most, q.wells);
  EXPECT_GE(most, 13820);
  EXPECT_LE(most, 14000);
  EXPECT_EQ(lines(read_file("x/quon.rch")).size(), 1u + 12u * 2807u);
  EXPECT_FALSE(fs::exists("x/quon/pump.bsn"));
  EXPECT_FALSE(fs::exists("x/1950.csv"));

  // Few stations for a cubic drift: the kriging overshoots in some years,
  // whose station values the generator calms until the run is safe.
  ASSERT_EQ(generate("y", "--seed 1 --years 3 --stations 8 --drift 3"), 0)
      << read_file("y.log");
  EXPECT_NE(read_file("y.log").find("calmed"), std::string::npos);
  ASSERT_EQ(run_quon("y"), 0) << read_file("y/console.txt");
  EXPECT_EQ(quon::test::reports_of(read_file("y/console.txt")), "");
}

TEST_F(GenScenario, RefusesOptionsThatWouldBreakTheRun) {
  const char *bad[] = {
      "--stations 129",              // more than the station table holds
      "--stations 0",                //
      "--stations 7 --drift 3",      // too few to fit a cubic drift
      "--drift 4",                   // beyond the kriging store
      "--rch 2",                     // quon takes 1 or 4 RCH files
      "--wells 13821",               // wells and towns above MAXWEL
      "--start-year 1911",           // steady span before 1910
      "--start-year 2149 --years 3", // transient span after 2150
      "--years x",                   //
      "--bin=1",                     // a switch takes no value
      "--colour blue",               // unknown option
  };
  for (const char *opts : bad) {
    EXPECT_EQ(generate("z", opts), 2) << opts;
    EXPECT_FALSE(fs::exists("z")) << opts;
  }
  EXPECT_EQ(shell(GEN + " --years 1 >log 2>&1"), 2) << "--out is required";
}

} // namespace

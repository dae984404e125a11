// run_checks_test.cpp - the checks a modeller makes of a run's outputs, on
// small generated scenarios run through the program: the shapes of the RCH
// blocks, the four recharge files against the one-file sum, the wells against
// the pumping files, the budget table against the period arrays and the
// yearly pumping tables, leap-year Februaries, the return-flow factors after
// their year, a state left out of the pumping, and the mound.
#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include "quon.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using quon::cell;
using quon::NCELL;
using quon::NCOL;
using quon::NROW;
using quon::test::read_file;
using quon::test::write_file;

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";
const std::string QUON = QUON_BINARY_DIR "/quon";

// The scenarios: two transient years from a leap year on, so that one run
// holds a 29-day and a 28-day February and a year after the return-flow
// factor year (the generator puts it at the first transient year).
constexpr int START = 1952, YEARS = 2;
const std::string OPTS = " --start-year 1952 --years 2 --steady-years 1"
                         " --stations 16 --seed 11";
constexpr int PERIODS = 1 + 12 * YEARS;
constexpr int BLOCK = 2 + NROW * 17; // lines of one RCH period block
constexpr const char *STATES[3] = {"co", "ks", "ne"};
constexpr const char *RCH4[4] = {"precip.rch", "gwirr.rch", "swirr.rch",
                                 "coirr.rch"};

using quon::test::shell;

using quon::test::lines_of;
double to_double(std::string_view s) {
  while (!s.empty() && s.front() == ' ')
    s.remove_prefix(1);
  double v = NAN;
  const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  if (res.ec != std::errc())
    return NAN;
  return v;
}

int days_of(int year, int month) {
  static constexpr int D[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (month == 2 && year % 4 == 0) ? 29 : D[month - 1];
}

// Period index of a month in the RCH and WEL files (0 is the steady period).
int period_of(int year, int month) {
  return 1 + (year - START) * 12 + month - 1;
}

std::string month_part(int year, int month) {
  char b[16];
  std::snprintf(b, sizeof b, "%04d.%02d", year, month);
  return b;
}

using Grid = std::vector<double>;

// A whole-grid text file of the generator (free-format values separated by
// blanks, commas or line ends); a missing file is all zeros, as for quon.
Grid read_grid(const fs::path &name) {
  Grid g(NCELL, 0.0);
  if (!fs::exists(name))
    return g;
  const std::string t = read_file(name.string());
  const char *p = t.data(), *e = t.data() + t.size();
  int n = 0;
  while (p < e) {
    if (*p == ' ' || *p == ',' || *p == '\n' || *p == '\r' || *p == '\t') {
      ++p;
      continue;
    }
    double v = 0;
    const auto res = std::from_chars(p, e, v);
    if (res.ec != std::errc() || n >= NCELL) {
      ADD_FAILURE() << name << ": unreadable or surplus value " << n;
      return g;
    }
    g[n++] = v;
    p = res.ptr;
  }
  EXPECT_EQ(n, NCELL) << name;
  return g;
}

// A zone grid of one character a cell after its header line of names.
std::vector<int> read_zones(const fs::path &name) {
  const std::vector<std::string> l = lines_of(read_file(name.string()));
  std::vector<int> z(NCELL, 0);
  EXPECT_EQ(l.size(), std::size_t(NROW + 1)) << name;
  for (int r = 1; r <= NROW && r < int(l.size()); ++r)
    for (int c = 1; c <= NCOL && c <= int(l[r].size()); ++c) {
      const char ch = l[r][c - 1];
      z[cell(c, r)] = (ch >= '0' && ch <= '9') ? ch - '0' : 0;
    }
  return z;
}

// One RCH array of a period as printed, in units of 1e-5 inch (the F9.5
// values exactly), or an empty vector when the block is malformed.
std::vector<long> rch_array(const std::vector<std::string> &lines, int p) {
  std::vector<long> v;
  const std::size_t first = 1 + std::size_t(p) * BLOCK + 2;
  if (lines.size() < first + NROW * 17)
    return v;
  v.reserve(NCELL);
  for (int r = 0; r < NROW; ++r)
    for (int k = 0; k < 17; ++k) {
      const std::string &l = lines[first + r * 17 + k];
      for (std::size_t f = 0; f + 9 <= l.size(); f += 9) {
        const double x = to_double(std::string_view(l).substr(f, 9));
        if (std::isnan(x))
          return {};
        v.push_back(std::lround(x * 1e5));
      }
    }
  if (v.size() != std::size_t(NCELL))
    v.clear();
  return v;
}

// The printed F9.5 value (in 1e-5 units) quon must give for a value.
long printed(double inches) { return std::lround(inches * 1e5); }

// The wells of one WEL period: (row, col) -> printed rate.
using Wells = std::map<std::pair<int, int>, double>;
struct WelPeriod {
  int count = -1;
  std::string label;
  Wells wells;
};

std::vector<WelPeriod> read_wel(const std::string &text) {
  const std::vector<std::string> l = lines_of(text);
  std::vector<WelPeriod> out;
  std::size_t i = 1;
  while (i < l.size()) {
    WelPeriod w;
    const std::string &h = l[i++];
    if (h.size() < 16)
      return out;
    w.count = int(to_double(h.substr(0, 5)));
    EXPECT_EQ(h.substr(5, 4), " -1 ");
    w.label = h.substr(9, 7);
    for (int k = 0; k < w.count && i < l.size(); ++k, ++i) {
      const std::string &x = l[i];
      EXPECT_EQ(x.size(), 20u) << x;
      EXPECT_EQ(x[0], '1') << x;
      const int row = int(to_double(x.substr(1, 4)));
      const int col = int(to_double(x.substr(5, 4)));
      w.wells[{row, col}] = to_double(x.substr(9, 11));
    }
    out.push_back(std::move(w));
  }
  return out;
}

// A budget row of the report file: the values after the 5-character label.
std::vector<double> budget_row(const std::string &report,
                               const std::string &label) {
  for (const std::string &l : lines_of(report)) {
    if (l.rfind(label, 0) != 0)
      continue;
    std::vector<double> v;
    for (std::size_t f = 5; f + 10 <= l.size(); f += 10)
      v.push_back(to_double(std::string_view(l).substr(f, 10)));
    EXPECT_EQ((l.size() - 5) % 10, 0u) << l;
    return v;
  }
  ADD_FAILURE() << "no budget row " << label;
  return {};
}

// Budget groups, each with one column per state (the generator's budget
// zones are CO, KS, NE) and a total.
enum Group {
  GWIRR,
  GWMI,
  GWAREA,
  COAREA,
  SWAREA,
  RCHRCP,
  RCHRCG,
  RCHRCS,
  RCHRCC
};
double col(const std::vector<double> &row, Group g, int k) {
  const std::size_t i = std::size_t(g) * 4 + std::size_t(k);
  return i < row.size() ? row[i] : NAN;
}

// A value of the parameter file: the words after a keyword.
std::vector<std::string> par_words(const fs::path &dir,
                                   const std::string &key) {
  for (const std::string &l :
       lines_of(read_file((dir / "quon.par").string()))) {
    std::istringstream in(l);
    std::string w;
    in >> w;
    if (w != key)
      continue;
    std::vector<std::string> out;
    while (in >> w)
      out.push_back(w);
    return out;
  }
  ADD_FAILURE() << "no " << key << " line in quon.par";
  return {};
}

// The generated runs, each made on first use and kept for the other checks
// of the program: "four" (four RCH files), "one" (the same scenario with one
// RCH file) and "nopump" (the same with NE's pumping left out). Made lazily
// so that a test run on its own builds only the runs it reads.
class ModellerChecks : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    std::string tmpl =
        (fs::temp_directory_path() / "quon-checks-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
  }

  // Generates the run and runs quon in it, once; false (with the reason as
  // a test failure) when either fails or quon has anything to say.
  static bool ready(const char *run) {
    const std::string name = run;
    if (made_.count(name))
      return made_[name];
    bool &ok = made_[name] = false;
    if (!fs::exists(GEN) || !fs::exists(QUON)) {
      ADD_FAILURE() << "missing " << GEN << " or " << QUON;
      return false;
    }
    const fs::path d = root_ / run;
    const std::string rch = name == "one" ? " --rch 1" : " --rch 4";
    if (shell(GEN + " --out " + d.string() + OPTS + rch + " > " + d.string() +
              ".log 2>&1") != 0) {
      ADD_FAILURE() << read_file(d.string() + ".log");
      return false;
    }
    if (name == "nopump") {
      const fs::path par = d / "quon.par";
      write_file(par.string(), read_file(par.string()) + "NOPUMP ne\n");
    }
    const int st = shell("cd " + d.string() + " && " + QUON +
                         " quon.par > stdout.txt 2> stderr.txt");
    const std::string err =
        quon::test::reports_of(read_file((d / "stderr.txt").string()));
    if (st != 0 || !err.empty()) {
      ADD_FAILURE() << run << ": quon ended with " << st << ": " << err;
      return false;
    }
    ok = true;
    return true;
  }

  static void TearDownTestSuite() {
    std::error_code ec;
    if (!root_.empty())
      fs::remove_all(root_, ec);
  }

  static fs::path dir(const char *run) { return root_ / run; }
  static std::string out(const char *run, const std::string &name) {
    return read_file((root_ / run / name).string());
  }

  // Q0 of a period recomputed from the input files: the share yf of the
  // year's municipal pumping plus the period's irrigation pumping, over the
  // states that pump, in the program's order.
  static Grid pumping(const char *run, int year, int month,
                      const std::array<bool, 3> &pumps) {
    const bool steady = year < 0;
    const double seconds = steady ? 31557600.0 : days_of(year, month) * 86400.0;
    const double yf = seconds * 3.168808781402895e-08;
    Grid q(NCELL, 0.0);
    for (int k = 0; k < 3; ++k) {
      if (!pumps[k])
        continue;
      const fs::path sd = dir(run) / STATES[k];
      const std::string ann = steady ? "steady" : std::to_string(year);
      const std::string per = steady ? "steady" : month_part(year, month);
      const Grid mi = read_grid(sd / (ann + ".mi"));
      const Grid pmp = read_grid(sd / (per + ".pmp"));
      for (int i = 0; i < NCELL; ++i) {
        q[i] += yf * mi[i];
        q[i] += pmp[i];
      }
    }
    return q;
  }

  // The wells of every period against the pumping files.
  static void check_wells(const char *run, const std::array<bool, 3> &pumps) {
    const std::vector<WelPeriod> wel = read_wel(out(run, "quon.wel"));
    ASSERT_EQ(wel.size(), std::size_t(PERIODS)) << run;
    int bad = 0; // the first few faults tell enough
    for (int p = 0; p < PERIODS; ++p) {
      const int year = p == 0 ? -1 : START + (p - 1) / 12;
      const int month = p == 0 ? 0 : (p - 1) % 12 + 1;
      const double seconds =
          p == 0 ? 31557600.0 : days_of(year, month) * 86400.0;
      const Grid q = pumping(run, year, month, pumps);
      const WelPeriod &w = wel[p];
      EXPECT_EQ(w.count, int(w.wells.size())) << run << " period " << p;
      std::set<std::pair<int, int>> expected;
      for (int r = 1; r <= NROW; ++r)
        for (int c = 1; c <= NCOL; ++c)
          if (q[cell(c, r)] != 0.0)
            expected.insert({r, c});
      std::set<std::pair<int, int>> got;
      for (const auto &kv : w.wells)
        got.insert(kv.first);
      EXPECT_EQ(got, expected) << run << " period " << p;
      EXPECT_GT(expected.size(), 100u) << run << " period " << p;
      for (const auto &[rc, rate] : w.wells) {
        const double want = -q[cell(rc.second, rc.first)] * 43560.0 / seconds;
        if (!(std::fabs(rate - want) <= 0.5e-6 + 1e-12 * std::fabs(want)) &&
            bad++ < 5)
          ADD_FAILURE() << run << " period " << p << " well " << rc.first << ","
                        << rc.second << ": rate " << rate << ", want " << want;
      }
    }
  }

  static fs::path root_;
  static std::map<std::string, bool> made_;
};
fs::path ModellerChecks::root_;
std::map<std::string, bool> ModellerChecks::made_;

TEST_F(ModellerChecks, EveryRchBlockHasItsLayoutInEachOfTheFourFiles) {
  ASSERT_TRUE(ready("four"));
  for (const char *f : RCH4) {
    const std::vector<std::string> l = lines_of(out("four", f));
    ASSERT_EQ(l.size(), 1u + std::size_t(PERIODS) * BLOCK) << f;
    EXPECT_EQ(l[0], "         1        50") << f;
    int bad = 0;
    for (int p = 0; p < PERIODS; ++p) {
      const std::size_t b = 1 + std::size_t(p) * BLOCK;
      EXPECT_EQ(l[b], "         1         0") << f << " period " << p;
      const std::string &cr = l[b + 1];
      ASSERT_EQ(cr.size(), 45u) << f << " period " << p << ": " << cr;
      EXPECT_EQ(cr.substr(0, 9), "INTERNAL ") << cr;
      EXPECT_EQ(cr.substr(24, 14), " (20F9.5)  -1 ") << cr;
      for (int r = 0; r < NROW; ++r)
        for (int k = 0; k < 17; ++k) {
          const std::string &x = l[b + 2 + r * 17 + k];
          const std::size_t want = k < 16 ? 180u : 54u;
          if (x.size() != want && bad++ < 3)
            ADD_FAILURE() << f << " period " << p << " row " << r + 1
                          << " line " << k + 1 << " has " << x.size()
                          << " characters";
        }
    }
  }
}

TEST_F(ModellerChecks, FourComponentFilesSumToTheOneFileArray) {
  ASSERT_TRUE(ready("four"));
  ASSERT_TRUE(ready("one"));
  const std::vector<std::string> one = lines_of(out("one", "quon.rch"));
  ASSERT_EQ(one.size(), 1u + std::size_t(PERIODS) * BLOCK);
  std::vector<std::vector<std::string>> four;
  for (const char *f : RCH4)
    four.push_back(lines_of(out("four", f)));
  long nonzero = 0, largest = 0;
  int bad = 0;
  for (int p = 0; p < PERIODS; ++p) {
    const std::vector<long> sum1 = rch_array(one, p);
    ASSERT_EQ(sum1.size(), std::size_t(NCELL)) << "period " << p;
    std::vector<long> sum4(NCELL, 0);
    for (const auto &lines : four) {
      const std::vector<long> a = rch_array(lines, p);
      ASSERT_EQ(a.size(), std::size_t(NCELL)) << "period " << p;
      for (int i = 0; i < NCELL; ++i)
        sum4[i] += a[i];
    }
    for (int i = 0; i < NCELL; ++i) {
      const long d = std::labs(sum4[i] - sum1[i]);
      largest = std::max(largest, d);
      nonzero += sum1[i] != 0;
      // Five values rounded to 5 decimals: at most 2 in the last digit.
      if (d > 2 && bad++ < 5)
        ADD_FAILURE() << "period " << p << " cell " << i << ": four files "
                      << sum4[i] << ", one file " << sum1[i] << " (1e-5 in)";
    }
  }
  EXPECT_GT(nonzero, 100000); // the runs do recharge
  EXPECT_LE(largest, 2);
}

TEST_F(ModellerChecks, WellsAreExactlyThePumpingCellsAtTheirRates) {
  ASSERT_TRUE(ready("four"));
  check_wells("four", {true, true, true});
}

TEST_F(ModellerChecks, BudgetStateGroupsAreTheSumsOfThePeriodFiles) {
  ASSERT_TRUE(ready("four"));
  const std::string report = out("four", "fort.2");
  const std::vector<int> mound = read_zones(dir("four") / "mound.zon");
  const std::vector<int> zones = read_zones(dir("four") / "budget.zon");
  for (int y = START; y < START + YEARS; ++y) {
    const std::vector<double> row = budget_row(report, " " + std::to_string(y));
    ASSERT_EQ(row.size(), 36u) << y;
    const int days = y % 4 == 0 ? 366 : 365;
    for (int k = 0; k < 3; ++k) {
      const fs::path sd = dir("four") / STATES[k];
      const std::string ys = std::to_string(y);
      // The year's volumes cell by cell, then over the grid, as summed.
      Grid pmp(NCELL, 0.0), rcg(NCELL, 0.0), rcs(NCELL, 0.0), rcc(NCELL, 0.0);
      for (int m = 1; m <= 12; ++m) {
        const std::string mp = month_part(y, m);
        const Grid a = read_grid(sd / (mp + ".pmp"));
        const Grid g = read_grid(sd / (mp + ".rcg"));
        const Grid s = read_grid(sd / (mp + ".rcs"));
        const Grid c = read_grid(sd / (mp + ".rcc"));
        for (int i = 0; i < NCELL; ++i) {
          pmp[i] += a[i];
          rcg[i] += g[i];
          if (mound[i] == 0) {
            rcs[i] += s[i];
            rcc[i] += c[i];
          }
        }
      }
      const Grid mi = read_grid(sd / (ys + ".mi"));
      const Grid agw = read_grid(sd / (ys + ".agw"));
      const Grid asw = read_grid(sd / (ys + ".asw"));
      const Grid aco = read_grid(sd / (ys + ".aco"));
      double s_pmp = 0, s_mi = 0, s_rcg = 0, s_rcs = 0, s_rcc = 0, s_agw = 0,
             s_asw = 0, s_aco = 0;
      for (int i = 0; i < NCELL; ++i) {
        s_pmp += pmp[i];
        s_mi += mi[i];
        s_rcg += rcg[i];
        s_rcs += rcs[i];
        s_rcc += rcc[i];
        s_agw += agw[i];
        s_aco += aco[i]; // OPTMOUND: commingled land counts on the mound too
        if (mound[i] == 0)
          s_asw += asw[i];
      }
      s_mi *= days / 365.25;
      const auto near = [](double printed, double want) {
        return std::fabs(printed - want) <= 0.05 + 1e-9 * std::fabs(want);
      };
      const std::string at = ys + " " + STATES[k];
      EXPECT_PRED2(near, col(row, GWIRR, k), s_pmp) << at;
      EXPECT_PRED2(near, col(row, GWMI, k), s_mi) << at;
      EXPECT_PRED2(near, col(row, GWAREA, k), s_agw) << at;
      EXPECT_PRED2(near, col(row, COAREA, k), s_aco) << at;
      EXPECT_PRED2(near, col(row, SWAREA, k), s_asw) << at;
      EXPECT_PRED2(near, col(row, RCHRCG, k), s_rcg) << at;
      EXPECT_PRED2(near, col(row, RCHRCS, k), s_rcs) << at;
      EXPECT_PRED2(near, col(row, RCHRCC, k), s_rcc) << at;
      // Every state of the scenario irrigates and pumps every year.
      EXPECT_GT(s_pmp, 1000.0) << at;
    }
    // Precipitation recharge by budget zone, from the year's stored grid.
    const Grid rch =
        read_grid(dir("four") / "store" / (std::to_string(y) + ".rch"));
    double zsum[4] = {0, 0, 0, 0};
    for (int i = 0; i < NCELL; ++i)
      if (zones[i] >= 1 && zones[i] <= 3)
        zsum[zones[i]] += rch[i];
    double total = 0;
    for (int z = 1; z <= 3; ++z) {
      const double af = (zsum[z] * 0.08333333333333333) * 640.0;
      total += af;
      EXPECT_NEAR(col(row, RCHRCP, z - 1), af, 0.05 + 1e-9 * af) << y;
    }
    EXPECT_NEAR(col(row, RCHRCP, 3), total, 0.05 + 1e-9 * total) << y;
    // Every group's total is the sum of its columns.
    for (int g = GWIRR; g <= RCHRCC; ++g) {
      const Group gg = Group(g);
      EXPECT_NEAR(col(row, gg, 3),
                  col(row, gg, 0) + col(row, gg, 1) + col(row, gg, 2), 0.151)
          << y << " group " << g;
    }
  }
}

TEST_F(ModellerChecks, AnnualPumpingTablesMatchTheBudgetRows) {
  ASSERT_TRUE(ready("four"));
  const std::string report = out("four", "fort.2");
  for (int y = START; y < START + YEARS; ++y) {
    const std::string ys = std::to_string(y);
    const std::vector<std::string> csv = lines_of(out("four", ys + ".csv"));
    ASSERT_EQ(csv.size(), 1u + NCELL) << ys;
    EXPECT_EQ(csv[0], "node, row, col, irr_af, mi_af");
    // The year's pumping of every cell, over the three states.
    const int days = y % 4 == 0 ? 366 : 365;
    Grid irr(NCELL, 0.0), mi(NCELL, 0.0);
    for (int k = 0; k < 3; ++k) {
      const fs::path sd = dir("four") / STATES[k];
      for (int m = 1; m <= 12; ++m) {
        const Grid a = read_grid(sd / (month_part(y, m) + ".pmp"));
        for (int i = 0; i < NCELL; ++i)
          irr[i] += a[i];
      }
      const Grid b = read_grid(sd / (ys + ".mi"));
      for (int i = 0; i < NCELL; ++i)
        mi[i] += b[i] * days / 365.25;
    }
    double sum_irr = 0, sum_mi = 0;
    int bad = 0;
    for (int i = 0; i < NCELL; ++i) {
      std::vector<std::string> f;
      std::istringstream in(csv[1 + i]);
      for (std::string w; std::getline(in, w, ',');)
        f.push_back(w);
      ASSERT_GE(f.size(), 5u) << csv[1 + i];
      const double node = to_double(f[0]), row = to_double(f[1]),
                   c = to_double(f[2]), a = to_double(f[3]),
                   b = to_double(f[4]);
      sum_irr += a;
      sum_mi += b;
      const bool ok = node == i + 1 && row == i / NCOL + 1 &&
                      c == i % NCOL + 1 &&
                      std::fabs(a - irr[i]) <= 0.005 + 1e-9 * irr[i] &&
                      std::fabs(b - mi[i]) <= 0.005 + 1e-9 * mi[i];
      if (!ok && bad++ < 5)
        ADD_FAILURE() << ys << ".csv line " << i + 2 << ": " << csv[1 + i]
                      << " want irr " << irr[i] << " mi " << mi[i];
    }
    const std::vector<double> row = budget_row(report, " " + ys);
    ASSERT_EQ(row.size(), 36u);
    EXPECT_NEAR(sum_irr, col(row, GWIRR, 3), 1.0) << ys;
    EXPECT_NEAR(sum_mi, col(row, GWMI, 3), 1.0) << ys;
    EXPECT_GT(sum_irr, 1000.0) << ys;
    EXPECT_GT(sum_mi, 100.0) << ys;
  }
}

TEST_F(ModellerChecks, SteadyPeriodHasItsRowAndLabels) {
  ASSERT_TRUE(ready("four"));
  const std::vector<std::string> report = lines_of(out("four", "fort.2"));
  ASSERT_GE(report.size(), 2u);
  int steady_rows = 0;
  for (const std::string &l : report) {
    if (l.rfind(" SS  ", 0) != 0)
      continue;
    ++steady_rows;
    // Only the precipitation recharge group: three zones and the total.
    EXPECT_EQ(l.size(), 5u + 4u * 10u) << l;
  }
  EXPECT_EQ(steady_rows, 1);
  // Its values sit under the first columns of the header, and add up.
  const std::vector<double> ss = budget_row(out("four", "fort.2"), " SS  ");
  ASSERT_EQ(ss.size(), 4u);
  EXPECT_GT(ss[0], 0.0);
  EXPECT_NEAR(ss[3], ss[0] + ss[1] + ss[2], 0.151);
  EXPECT_EQ(report[0].substr(0, 45),
            " Year        CO        KS        NE  gwIrr_af");

  for (const char *f : RCH4) {
    const std::vector<std::string> l = lines_of(out("four", f));
    ASSERT_GT(l.size(), 3u);
    EXPECT_EQ(l[2], "INTERNAL  2.64067398E-09 (20F9.5)  -1 Steady ") << f;
    EXPECT_EQ(l[1 + BLOCK + 1].substr(38), " 1/1952") << f;
  }
  const std::vector<WelPeriod> wel = read_wel(out("four", "quon.wel"));
  ASSERT_EQ(wel.size(), std::size_t(PERIODS));
  EXPECT_EQ(wel[0].label, "Steady ");
  EXPECT_EQ(wel[1].label, " 1/1952");
  EXPECT_EQ(wel[PERIODS - 1].label, "12/1953");
}

TEST_F(ModellerChecks, FebruaryOfALeapYearHas29Days) {
  ASSERT_TRUE(ready("four"));
  const auto control = [](int days, const std::string &label) {
    char m[32];
    std::snprintf(m, sizeof m, "%15.8E",
                  0.08333333333333333 / (days * 86400.0));
    return "INTERNAL " + std::string(m) + " (20F9.5)  -1 " + label;
  };
  for (const char *f : RCH4) {
    const std::vector<std::string> l = lines_of(out("four", f));
    ASSERT_EQ(l.size(), 1u + std::size_t(PERIODS) * BLOCK) << f;
    const auto cr = [&](int y, int m) {
      return l[1 + std::size_t(period_of(y, m)) * BLOCK + 1];
    };
    EXPECT_EQ(cr(1952, 2), control(29, " 2/1952")) << f;
    EXPECT_EQ(cr(1953, 2), control(28, " 2/1953")) << f;
    EXPECT_EQ(cr(1952, 1), control(31, " 1/1952")) << f;
    EXPECT_EQ(cr(1953, 4), control(30, " 4/1953")) << f;
  }
  // The well rates of that February spread its pumping over 29 days.
  const std::vector<WelPeriod> wel = read_wel(out("four", "quon.wel"));
  ASSERT_EQ(wel.size(), std::size_t(PERIODS));
  EXPECT_EQ(wel[period_of(1952, 2)].label, " 2/1952");
  const Grid q = pumping("four", 1952, 2, {true, true, true});
  int checked = 0;
  for (const auto &[rc, rate] : wel[period_of(1952, 2)].wells) {
    const double v = q[cell(rc.second, rc.first)];
    EXPECT_NEAR(rate, -v * 43560.0 / (29 * 86400.0), 0.5e-6 + 1e-12 * v);
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

// After the XFACTOR year the groundwater- and surface-water irrigation
// recharge of the RCH arrays is scaled cell by cell; the budget keeps the
// unscaled sums (checked against the raw files above).
TEST_F(ModellerChecks, ReturnFlowFactorsScaleTheArraysAfterTheirYear) {
  ASSERT_TRUE(ready("four"));
  const std::vector<std::string> xw = par_words(dir("four"), "XFACTOR");
  ASSERT_EQ(xw.size(), 2u);
  const int xyear = std::atoi(xw[0].c_str());
  ASSERT_GE(xyear, START);
  ASSERT_LT(xyear, START + YEARS - 1) << "no year after the XFACTOR year";
  const Grid xf = read_grid(dir("four") / xw[1]);
  const std::vector<int> mound = read_zones(dir("four") / "mound.zon");
  const std::vector<std::string> gw = lines_of(out("four", "gwirr.rch"));
  const std::vector<std::string> sw = lines_of(out("four", "swirr.rch"));
  const std::vector<std::string> co = lines_of(out("four", "coirr.rch"));
  const double f = 0.01875000074505806;
  int scaled = 0;
  int bad = 0;
  for (int y : {xyear, xyear + 1})
    for (int m = 5; m <= 9; ++m) {
      Grid g(NCELL, 0.0), s(NCELL, 0.0), c(NCELL, 0.0);
      for (int k = 0; k < 3; ++k) {
        const fs::path sd = dir("four") / STATES[k];
        const std::string mp = month_part(y, m);
        const Grid a = read_grid(sd / (mp + ".rcg"));
        const Grid b = read_grid(sd / (mp + ".rcs"));
        const Grid d = read_grid(sd / (mp + ".rcc"));
        for (int i = 0; i < NCELL; ++i) {
          g[i] += a[i];
          if (mound[i] == 0) {
            s[i] += b[i];
            c[i] += d[i];
          }
        }
      }
      const int p = period_of(y, m);
      const std::vector<long> pg = rch_array(gw, p), ps = rch_array(sw, p),
                              pc = rch_array(co, p);
      ASSERT_EQ(pg.size(), std::size_t(NCELL));
      ASSERT_EQ(ps.size(), std::size_t(NCELL));
      ASSERT_EQ(pc.size(), std::size_t(NCELL));
      const bool after = y > xyear;
      for (int i = 0; i < NCELL; ++i) {
        const double x = after ? xf[i] : 1.0;
        const bool ok = pg[i] == printed(f * (g[i] * x)) &&
                        ps[i] == printed(f * (s[i] * x)) &&
                        pc[i] == printed(f * c[i]);
        if (!ok && bad++ < 5)
          ADD_FAILURE() << y << "/" << m << " cell " << i << ": printed "
                        << pg[i] << " " << ps[i] << " " << pc[i]
                        << ", unscaled " << g[i] << " " << s[i] << " " << c[i]
                        << ", factor " << xf[i];
        scaled +=
            after && g[i] != 0 && xf[i] != 1.0 && printed(f * g[i]) != pg[i];
      }
    }
  // The factors did change printed values after the year.
  EXPECT_GT(scaled, 100);
}

TEST_F(ModellerChecks, AStateLeftOutOfThePumpingHasNoPumpingAndNoWells) {
  ASSERT_TRUE(ready("four"));
  ASSERT_TRUE(ready("nopump"));
  const std::string report = out("nopump", "fort.2");
  for (int y = START; y < START + YEARS; ++y) {
    const std::vector<double> row = budget_row(report, " " + std::to_string(y));
    ASSERT_EQ(row.size(), 36u);
    EXPECT_EQ(col(row, GWIRR, 2), 0.0) << y;
    EXPECT_EQ(col(row, GWMI, 2), 0.0) << y;
    EXPECT_EQ(col(row, GWAREA, 2), 0.0) << y;
    EXPECT_EQ(col(row, RCHRCG, 2), 0.0) << y;
    EXPECT_GT(col(row, GWIRR, 0), 0.0) << y;
    // The same scenario with NE pumping: NE pumps there.
    const std::vector<double> full =
        budget_row(out("four", "fort.2"), " " + std::to_string(y));
    ASSERT_EQ(full.size(), 36u);
    EXPECT_GT(col(full, GWIRR, 2), 0.0) << y;
    EXPECT_EQ(col(row, GWIRR, 0), col(full, GWIRR, 0)) << y;
  }
  // The wells are the CO and KS pumping cells only.
  check_wells("nopump", {true, true, false});
  // And cells that only NE pumps are there, but are no wells.
  const std::vector<WelPeriod> wel = read_wel(out("nopump", "quon.wel"));
  ASSERT_EQ(wel.size(), std::size_t(PERIODS));
  const int p = period_of(START, 7);
  const Grid ne = pumping("nopump", START, 7, {false, false, true});
  const Grid others = pumping("nopump", START, 7, {true, true, false});
  int ne_only = 0;
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c)
      if (ne[cell(c, r)] != 0.0 && others[cell(c, r)] == 0.0) {
        ++ne_only;
        EXPECT_EQ(wel[p].wells.count({r, c}), 0u) << r << "," << c;
      }
  EXPECT_GT(ne_only, 100);
}

TEST_F(ModellerChecks, MoundCellsGetNoSurfaceWaterOrCommingledRecharge) {
  ASSERT_TRUE(ready("four"));
  const std::vector<int> mound = read_zones(dir("four") / "mound.zon");
  const std::vector<std::string> sw = lines_of(out("four", "swirr.rch"));
  const std::vector<std::string> co = lines_of(out("four", "coirr.rch"));
  int raw_on_mound = 0, bad = 0;
  for (int p = 0; p < PERIODS; ++p) {
    const int y = p == 0 ? 0 : START + (p - 1) / 12;
    const int m = p == 0 ? 0 : (p - 1) % 12 + 1;
    const std::string part = p == 0 ? "steady" : month_part(y, m);
    for (int k = 0; k < 3; ++k)
      for (const char *q : {".rcs", ".rcc"}) {
        const Grid g = read_grid(dir("four") / STATES[k] / (part + q));
        for (int i = 0; i < NCELL; ++i)
          raw_on_mound += mound[i] != 0 && g[i] != 0.0;
      }
    const std::vector<long> s = rch_array(sw, p), c = rch_array(co, p);
    ASSERT_EQ(s.size(), std::size_t(NCELL));
    ASSERT_EQ(c.size(), std::size_t(NCELL));
    for (int i = 0; i < NCELL; ++i)
      if (mound[i] != 0 && (s[i] != 0 || c[i] != 0) && bad++ < 5)
        ADD_FAILURE() << "period " << p << " mound cell " << i << ": swirr "
                      << s[i] << ", coirr " << c[i] << " (1e-5 in)";
  }
  // The inputs do return water on the mound, so the check means something.
  EXPECT_GT(raw_on_mound, 100);
}

// The precipitation recharge of a month is the year's recharge grid (kept by
// FILE at full precision) times the month's share, in inches over the cell.
TEST_F(ModellerChecks, MonthlyPrecipitationRechargeIsTheYearsShare) {
  ASSERT_TRUE(ready("four"));
  const std::vector<std::string> mw = par_words(dir("four"), "MONTH");
  ASSERT_EQ(mw.size(), 12u);
  const std::vector<std::string> precip = lines_of(out("four", "precip.rch"));
  const double f = 0.01875000074505806;
  int bad = 0;
  long wet = 0;
  for (int y = START; y < START + YEARS; ++y) {
    const Grid r =
        read_grid(dir("four") / "store" / (std::to_string(y) + ".rch"));
    for (int m = 1; m <= 12; ++m) {
      const double mult = to_double(mw[m - 1]);
      const std::vector<long> a = rch_array(precip, period_of(y, m));
      ASSERT_EQ(a.size(), std::size_t(NCELL)) << y << "/" << m;
      for (int i = 0; i < NCELL; ++i) {
        const double want = f * (53.333333333333336 * mult * r[i]);
        wet += a[i] != 0;
        if (std::fabs(double(a[i]) * 1e-5 - want) > 0.5e-5 + 1e-12 && bad++ < 5)
          ADD_FAILURE() << y << "/" << m << " cell " << i << ": printed "
                        << a[i] << " (1e-5 in), want " << want;
      }
    }
  }
  EXPECT_GT(wet, 12L * YEARS * 10000);
}

} // namespace

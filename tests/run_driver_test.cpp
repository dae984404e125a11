// Tests of the program's run: command line and exit statuses, the checks
// after the parameter file, the model file headers, the calendar of the
// transient months and the annual pumping tables.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "calendar.h"
#include "messages.h"
#include "quon.h"
#include "quon_commit.h"
#include "reporters.h"
#include "run.h"
#include "testutil.h"

namespace quon {
namespace {

namespace fs = std::filesystem;
using test::count_of;
using test::read_file;
using test::write_file;

using test::lines_of;
// A whole-grid text file: every cell 0 except the ones given, keyed by
// (column, row).
void write_grid(const std::string &name,
                const std::map<std::pair<int, int>, std::string> &values) {
  std::string text;
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c) {
      auto it = values.find({c, r});
      text += it == values.end() ? "0" : it->second;
      text += c == NCOL ? '\n' : ' ';
    }
  }
  write_file(name, text);
}

// An IBOUND file (two characters a cell, no header) whose first row is
// `row1` and whose other rows are inactive.
void write_ibound(const std::string &name, const std::string &row1) {
  write_file(name, row1 + "\n" + std::string(NROW - 1, '\n'));
}

class Driver : public test::InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }

  // Runs the program with these arguments (the program name is added);
  // keeps what it wrote on stdout and stderr.
  int quon(std::vector<std::string> args) {
    args.insert(args.begin(), "quon");
    std::vector<char *> argv;
    for (std::string &a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = quon_main(int(args.size()), argv.data());
    out = testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    return status;
  }

  int run_param(const std::string &param) {
    write_file("run.par", param);
    return quon({"run.par"});
  }

  bool said(const std::string &text) const {
    return err.find(text) != std::string::npos;
  }

  std::string out, err;
};

// ---- Calendar
// ----------------------------------------------------------------

TEST(Calendar, MonthLengthsHaveNoCenturyRule) {
  EXPECT_EQ(month_seconds(1952, 2), 2505600);
  EXPECT_EQ(month_seconds(2100, 2), 2505600);
  EXPECT_EQ(month_seconds(1951, 2), 2419200);
  EXPECT_EQ(month_seconds(1950, 1), 2678400);
  EXPECT_EQ(month_seconds(1950, 4), 2592000);
  int days = 0;
  for (int m = 1; m <= 12; ++m)
    days += month_seconds(1951, m) / 86400;
  EXPECT_EQ(days, 365);
}

TEST(Calendar, LabelsAndPartsOfEveryMonth) {
  const char *labels[] = {" 1/1950", " 2/1950", " 3/1950", " 4/1950",
                          " 5/1950", " 6/1950", " 7/1950", " 8/1950",
                          " 9/1950", "10/1950", "11/1950", "12/1950"};
  for (int m = 1; m <= 12; ++m) {
    char buf[16];
    EXPECT_EQ(std::string(buf, month_label(buf, 1950, m)), labels[m - 1]);
    char want[16];
    std::snprintf(want, sizeof want, "1950.%02d", m);
    EXPECT_EQ(std::string(buf, month_part(buf, 1950, m)), want);
  }
  // The part is exact for every month of every year the tables hold.
  for (int y = FIRSTYEAR; y <= LASTYEAR; ++y) {
    for (int m = 1; m <= 12; ++m) {
      char buf[16], want[16];
      std::snprintf(want, sizeof want, "%d.%02d", y, m);
      ASSERT_EQ(std::string(buf, month_part(buf, y, m)), want);
    }
  }
  char buf[8];
  EXPECT_EQ(std::string(buf, year_label(buf, 2150)), "2150");
}

// ---- Command line
// --------------------------------------------------------------

TEST_F(Driver, HelpAndVersion) {
  EXPECT_EQ(quon({"--help"}), 0);
  EXPECT_EQ(out.rfind("Usage: quon [--check] [--strict] <parameter file>\n"
                      "       quon --help | --version\n",
                      0),
            0u);
  EXPECT_NE(out.find("TRANSIENT"), std::string::npos);
  EXPECT_NE(out.find("  3      --check: the run would go through, but with "
                     "reports\n"),
            std::string::npos);
  EXPECT_EQ(quon({"run.par", "-h"}), 0);
  EXPECT_EQ(out.rfind("Usage: quon", 0), 0u);
  EXPECT_EQ(quon({"--version"}), 0);
  EXPECT_EQ(out, "quon " QUON_VERSION " (commit " QUON_COMMIT ")\n");
  EXPECT_FALSE(fs::exists("fort.2"));
}

TEST_F(Driver, NothingToRunIsStatus2AndSaysWhy) {
  const std::string usage = "Usage: quon [--check] [--strict] <parameter "
                            "file> | quon --help | quon --version\n";
  write_file("run.par", "WELL model.wel\n");
  fs::create_directory("folder.par");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, usage},
      {{"--check"}, usage},
      {{"missing.par"},
       "Error opening parameter file missing.par: no such file\n"},
      {{"folder.par"},
       "Error opening parameter file folder.par: it is a folder\n"},
      {{"run.par/x.par"},
       "Error opening parameter file run.par/x.par: a "
       "part of its path is not a folder\n"},
      {{"missing.par", "run.par"},
       usage + "Error opening parameter file missing.par: no such file\n"},
      {{"--chek", "run.par"}, "Unknown option --chek\n" + usage},
      {{"run.par", "-x"}, "Unknown option -x\n" + usage},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(quon(c.args), 2) << c.err;
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(out, "");
    EXPECT_FALSE(fs::exists("fort.2")) << c.err;
    EXPECT_FALSE(fs::exists("model.wel")) << c.err;
  }
}

TEST_F(Driver, EndingReporterGivesStatus1AndItsRecord) {
  EXPECT_EQ(run_param("WELL model.wel\nFILE out ppt area\n"), 1);
  EXPECT_EQ(read_file("fort.2"), " Invalid FILE extention            3\n");
  EXPECT_FALSE(fs::exists("model.wel"));
}

// ---- Model file headers
// ----------------------------------------------------------

TEST_F(Driver, WithoutPeriodsOnlyTheHeaderLinesAreWritten) {
  EXPECT_EQ(run_param("WELL model.wel\nIWELCB 50\n"
                      "RECHARGE p.rch g.rch s.rch c.rch\nIRCHCB 0\nSOIL *\n"),
            0)
      << err;
  EXPECT_EQ(read_file("model.wel"), "     14000        50 NOPRINT\n");
  for (const char *f : {"p.rch", "g.rch", "s.rch", "c.rch"})
    EXPECT_EQ(read_file(f), "         1         0\n") << f;
  // Settings missing from the file are reported, but the run completes.
  EXPECT_FALSE(said("No SOILs specified"));
  EXPECT_TRUE(said("No curve specified"));
  EXPECT_TRUE(said("MONTH multipliers do not sum to 1"));
  // Every report is a record of the report file too.
  EXPECT_EQ(read_file("fort.2"), " No curve specified\n"
                                 " MONTH multipliers do not sum to 1\n"
                                 " Cannot invert kriging matrix\n");
}

TEST_F(Driver, SecondArgumentIsReportedAndTheFirstIsRun) {
  write_file("run.par", "WELL model.wel\nIWELCB -3\nSOIL *\n");
  EXPECT_EQ(quon({"run.par", "other.par"}), 0);
  EXPECT_TRUE(said("Usage: quon [--check] [--strict] <parameter file>"));
  EXPECT_EQ(read_file("fort.2").rfind(" Usage: quon [--check]", 0), 0u);
  EXPECT_TRUE(said("No recharge file(s) specified"));
  EXPECT_EQ(read_file("model.wel"), "     14000        -3 NOPRINT\n");
}

// The console names the parameter line of a report, counting comment and
// blank lines and the data lines of a FUNCTION block (whose end is read
// and put back); the report file keeps the reports' texts alone.
TEST_F(Driver, ReportsGiveTheirParameterLineOnTheConsoleAndAreRecords) {
  EXPECT_EQ(run_param("WELL model.wel\nSOIL *\n# a comment\nFUNCTION t.txt 1\n"
                      "0 1 1\n5 2 x\n3 3 3\n\nBOGUS 1\n"
                      "STEADY 1949.5 1950 1\n"),
            1);
  EXPECT_EQ(err.substr(0, err.find("MONTH")),
            "Invalid FUNCTION data 5 2 x (run.par line 6)\n"
            "FUNCTION data not monotone increasing (run.par line 7)\n"
            "Unknown parameter BOGUS (run.par line 9)\n"
            "Invalid STEADY start year (run.par line 10)\n"
            "STEADY period start error (run.par line 10)\n");
  EXPECT_EQ(read_file("fort.2"),
            " Invalid FUNCTION data 5 2 x\n"
            " FUNCTION data not monotone increasing\n"
            " Unknown parameter BOGUS\n"
            " Invalid STEADY start year\n"
            " STEADY period start error\n"
            " MONTH multipliers do not sum to 1\n"
            " A year is not a whole number, the run would go on with year 0: "
            "STEADY\n");
  EXPECT_TRUE(said("quon:   the first: Invalid FUNCTION data 5 2 x\n"));
}

TEST_F(Driver, AppendWritesNoHeaderAndKeepsTheOldRecords) {
  write_file("model.wel", "old wel\n");
  write_file("model.rch", "old rch\n");
  EXPECT_EQ(run_param("APPEND\nWELL model.wel\nRECHARGE model.rch\nSOIL *\n"),
            0)
      << err;
  EXPECT_EQ(read_file("model.wel"), "old wel\n");
  EXPECT_EQ(read_file("model.rch"), "old rch\n");
}

TEST_F(Driver, MonthMultipliersMustSumToOneWithin1e10) {
  const std::string base = "WELL model.wel\nSOIL *\n";
  run_param(base + "MONTH 0.5 0.49999999995 0 0 0 0 0 0 0 0 0 0\n");
  EXPECT_FALSE(said("MONTH multipliers do not sum to 1")) << err;
  run_param(base + "MONTH 0.5 0.5000000002 0 0 0 0 0 0 0 0 0 0\n");
  EXPECT_TRUE(said("MONTH multipliers do not sum to 1"));
  run_param(base + "MONTH 0.5 0.4999999998 0 0 0 0 0 0 0 0 0 0\n");
  EXPECT_TRUE(said("MONTH multipliers do not sum to 1"));
  // Ten shares of 0.1 sum to 0.9999999999999999 in doubles.
  run_param(base + "MONTH .1 .1 .1 .1 .1 .1 .1 .1 .1 .1 0 0\n");
  EXPECT_FALSE(said("MONTH multipliers do not sum to 1")) << err;
}

// ---- Warnings of active cells
// -----------------------------------------------------

TEST_F(Driver, ActiveCellsWithoutSoilOrWithBadTerrainAreWarned) {
  write_ibound("ibound.txt", " 1 0-1");
  write_file("mult.txt", "x y mult\n1000000 14500000 0.5\n");
  // One location and limits below 0: every classified cell gets -1.
  EXPECT_EQ(run_param("WELL model.wel\nIBOUND ibound.txt\n"
                      "TERRAIN * mult.txt plot.txt LIMIT -2 -1\n"),
            0)
      << err;
  EXPECT_EQ(read_file("fort.2"),
            " No SOILs specified\n"
            " No curve specified\n"
            " MONTH multipliers do not sum to 1\n"
            " WARNING: Terrain multiplier error            1           1"
            "  -1.0000000000000000     \n"
            " WARNING: Missing soil type            1           1\n"
            " WARNING: Terrain multiplier error            1           3"
            "  -1.0000000000000000     \n"
            " WARNING: Missing soil type            1           3\n"
            " Cannot invert kriging matrix\n"
            " No recharge file(s) specified\n");
}

// ---- Settings the run cannot go on with
// --------------------------------------------

TEST_F(Driver, SpansOutsideTheTablesEndTheRunBeforeAnyModelFile) {
  const std::string base = "WELL model.wel\nRECHARGE model.rch\nSOIL *\n";
  for (const char *span :
       {"STEADY 1900 1950 1.0", "STEADY 1960 1950 1.0", "STEADY 2150 2151 1",
        "TRANSIENT 1905 1912", "TRANSIENT 2149 2151", "TRANSIENT 0 1950"}) {
    EXPECT_EQ(run_param(base + span + "\n"), 1) << span;
    EXPECT_FALSE(fs::exists("model.wel")) << span;
    EXPECT_FALSE(fs::exists("model.rch")) << span;
  }
  EXPECT_TRUE(said("TRANSIENT period cannot be run"));
  // A span that never starts is no fault: no steady period, no year, at
  // whatever distance its ends lie from each other.
  for (const char *spans : {"STEADY 0 0 1\nTRANSIENT 1960 1959\n",
                            "STEADY -2147483648 2147483647 1\nTRANSIENT "
                            "2147483647 -2147483648\n"}) {
    EXPECT_EQ(run_param(base + spans), 0) << spans << err;
    EXPECT_EQ(read_file("model.wel"), "     14000         0 NOPRINT\n");
  }
}

TEST_F(Driver, MoreThanFourRechargeFilesEndTheRun) {
  EXPECT_EQ(run_param("WELL model.wel\nRECHARGE 1.r 2.r 3.r 4.r 5.r\nSOIL *\n"),
            1);
  EXPECT_TRUE(said("Too many RECHARGE files"));
  for (const char *f : {"model.wel", "1.r", "4.r", "5.r"})
    EXPECT_FALSE(fs::exists(f)) << f;
}

TEST_F(Driver, DriftOrderBeyondTheKrigingStoreEndsTheRun) {
  write_file("loc.txt", "name x y\nS1 1000000 14500000\nS2 1100000 14600000\n");
  write_file("ppt.txt", "Year S1 S2\n1950 20 21\n");
  EXPECT_EQ(run_param("WELL model.wel\nSOIL *\nSTATIONS loc.txt ppt.txt 4\n"),
            1);
  EXPECT_TRUE(said("Invalid STATION drift order"));
  EXPECT_TRUE(said("Station kriging system too large"));
  EXPECT_FALSE(fs::exists("model.wel"));
}

TEST_F(Driver, ModelFilesThatCannotBeOpenedOrWrittenEndTheRun) {
  EXPECT_EQ(run_param("SOIL *\n"), 1);
  EXPECT_TRUE(said("No well file specified"));
  EXPECT_EQ(lines_of(read_file("fort.2")).back(), " No well file specified");

  EXPECT_EQ(run_param("WELL nodir/model.wel\nSOIL *\n"), 1);
  EXPECT_TRUE(said("Cannot open file nodir/model.wel"));

  EXPECT_EQ(run_param("WELL model.wel\nRECHARGE nodir/a.rch\nSOIL *\n"), 1);
  EXPECT_TRUE(said("Cannot open file nodir/a.rch"));

  if (fs::exists("/dev/full")) {
    EXPECT_EQ(run_param("WELL /dev/full\nSOIL *\n"), 1);
    EXPECT_TRUE(said("Cannot write to file /dev/full")) << err;
  }
}

// ---- Periods in calendar order and the annual pumping tables
// ------------------------

// The multiplier field of an RCH control record for a period of T seconds.
std::string rch_multiplier(int seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%15.8E", 0.08333333333333333 / seconds);
  return buf;
}

TEST_F(Driver, PeriodsRunInCalendarOrderWithTheirLengthsAndTables) {
  // No active cell: the years need no stations or functions, and the
  // pumping comes from the per-state files alone.
  write_file("ibound.txt", std::string(NROW, '\n'));
  write_grid("co/1950.01.pmp", {{{1, 1}, "12.5"}});
  write_grid("co/1950.07.pmp", {{{1, 1}, "2.25"}});
  write_grid("ks/1950.03.pmp", {{{326, 165}, "1.5"}});
  write_grid("ne/1951.mi", {{{2, 1}, "36525"}});
  ASSERT_EQ(run_param("WELL model.wel\nRECHARGE model.rch\nIBOUND ibound.txt\n"
                      "SOIL *\nMONTH 1 0 0 0 0 0 0 0 0 0 0 0\nANNPUMP\n"
                      "STEADY 1950 1951 1.0\nTRANSIENT 1950 1952\n"),
            0)
      << err;

  // WEL: the header, the steady period, then 36 months in order.
  std::vector<std::string> labels;
  for (const std::string &l : lines_of(read_file("model.wel")))
    if (l.size() == 16)
      labels.push_back(l.substr(9));
  ASSERT_EQ(labels.size(), 37u);
  EXPECT_EQ(labels[0], "Steady ");
  EXPECT_EQ(labels[1], " 1/1950");
  EXPECT_EQ(labels[12], "12/1950");
  EXPECT_EQ(labels[36], "12/1952");

  // RCH: each control record carries the period's length.
  std::vector<std::string> control;
  for (const std::string &l : lines_of(read_file("model.rch")))
    if (l.rfind("INTERNAL ", 0) == 0)
      control.push_back(l);
  ASSERT_EQ(control.size(), 37u);
  EXPECT_EQ(control[0],
            "INTERNAL " + rch_multiplier(31557600) + " (20F9.5)  -1 Steady ");
  const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int y = 1950; y <= 1952; ++y) {
    for (int m = 1; m <= 12; ++m) {
      const int d = (m == 2 && y == 1952) ? 29 : days[m - 1];
      const std::string &rec = control[1 + (y - 1950) * 12 + (m - 1)];
      char label[8];
      std::snprintf(label, sizeof label, "%2d/%d", m, y);
      EXPECT_EQ(rec, "INTERNAL " + rch_multiplier(d * 86400) +
                         " (20F9.5)  -1 " + label);
    }
  }

  // One pumping table a year: a header and one line per cell.
  for (const char *f : {"1950.csv", "1951.csv", "1952.csv"}) {
    const std::vector<std::string> t = lines_of(read_file(f));
    ASSERT_EQ(t.size(), 1u + NCELL) << f;
    EXPECT_EQ(t[0], "node, row, col, irr_af, mi_af");
    EXPECT_EQ(t[NCELL].substr(0, 18), "53790,  165,  326,");
  }
  // Without budget zones the totals over the states are formed all the same.
  const std::vector<std::string> y1950 = lines_of(read_file("1950.csv"));
  EXPECT_EQ(y1950[1], "    1,    1,    1,       14.75,        0.00,");
  EXPECT_EQ(y1950[2], "    2,    1,    2,        0.00,        0.00,");
  EXPECT_EQ(y1950[NCELL], "53790,  165,  326,        1.50,        0.00,");
  const std::vector<std::string> y1951 = lines_of(read_file("1951.csv"));
  EXPECT_EQ(y1951[1], "    1,    1,    1,        0.00,        0.00,");
  EXPECT_EQ(y1951[2], "    2,    1,    2,        0.00,    36500.00,");
  EXPECT_EQ(y1951[NCELL], "53790,  165,  326,        0.00,        0.00,");
}

TEST_F(Driver, AnnualTableThatCannotBeCreatedEndsTheRun) {
  write_file("ibound.txt", std::string(NROW, '\n'));
  fs::create_directory("1950.csv");
  EXPECT_EQ(run_param("WELL model.wel\nIBOUND ibound.txt\nSOIL *\nANNPUMP\n"
                      "TRANSIENT 1950 1950\n"),
            1);
  EXPECT_TRUE(said("Cannot open file 1950.csv")) << err;
}

// Months whose wells could sum past the largest double over the year never
// get that far: a value beyond the bound of a cell ends the run as its file
// is read.
TEST_F(Driver, AnnualTotalThatIsNotFiniteEndsTheRun) {
  write_file("ibound.txt", std::string(NROW, '\n'));
  for (const char *m : {"01", "02"})
    write_grid(std::string("co/1950.") + m + ".pmp", {{{4, 2}, "1.7e308"}});
  EXPECT_EQ(run_param("WELL model.wel\nIBOUND ibound.txt\nSOIL *\nANNPUMP\n"
                      "TRANSIENT 1950 1950\n"),
            1);
  const std::string text =
      std::string(msg::CELL_VALUE_TOO_LARGE) + "co/1950.01.pmp";
  EXPECT_TRUE(said(text)) << err;
  close_report();
  EXPECT_EQ(count_of(read_file("fort.2"), text), 1);
}

TEST_F(Driver, EarlyEndKeepsTheRecordsWrittenSoFar) {
  // 14001 pumping cells in the first month: past the well limit.
  write_file("ibound.txt", std::string(NROW, '\n'));
  std::map<std::pair<int, int>, std::string> wells;
  for (int i = 0; i < 14001; ++i)
    wells[{i % NCOL + 1, i / NCOL + 1}] = "1";
  write_grid("co/1950.01.pmp", wells);
  EXPECT_EQ(run_param("WELL model.wel\nRECHARGE model.rch\nIBOUND ibound.txt\n"
                      "SOIL *\nTRANSIENT 1950 1950\n"),
            1);
  const std::vector<std::string> report = lines_of(read_file("fort.2"));
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[report.size() - 2], " Increase MAXWEL to        14001");
  EXPECT_EQ(report.back(),
            " The RCH and WEL files hold no period; they are incomplete");
  EXPECT_EQ(read_file("model.wel"), "     14000         0 NOPRINT\n");
  const std::vector<std::string> rch = lines_of(read_file("model.rch"));
  ASSERT_EQ(rch.size(), 1u + 2807u);
  EXPECT_EQ(rch[2].substr(38), " 1/1950");
}

TEST_F(Driver, AppendAddsThePeriodsAfterTheOldRecords) {
  write_file("ibound.txt", std::string(NROW, '\n'));
  write_file("model.wel", "old wel\n");
  ASSERT_EQ(run_param("APPEND\nWELL model.wel\nIBOUND ibound.txt\nSOIL *\n"
                      "STEADY 1950 1950 1.0\n"),
            0)
      << err;
  EXPECT_EQ(read_file("model.wel"), "old wel\n    0 -1 Steady \n");
}

} // namespace
} // namespace quon

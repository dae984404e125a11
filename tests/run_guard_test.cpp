// run_guard_test.cpp - input mistakes that used to give a run that looked
// good: each must now end the run before its first period (or warn), with
// --strict and --check behaving as documented.
//
// Every case copies one small generated run folder, applies a mistake with
// a shell command and runs the real program on it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "testutil.h"

namespace {
namespace fs = std::filesystem;
using quon::test::read_file;
using quon::test::shell;
using quon::test::write_file;

const std::string QUON = QUON_BINARY_DIR "/quon";
const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";

class Guard : public quon::test::InTempDir {
protected:
  // A copy of the generated run with the mistake applied; returns quon's
  // exit status, its console in err and its standard output in out.
  int run_case(const std::string &mistake, const std::string &args) {
    static int n = 0;
    dir = "case" + std::to_string(++n);
    if (!fs::exists("base") &&
        shell(GEN + " --out base --seed 5 --start-year 1950 --years 2 "
                    "--steady-years 1 --stations 6 --drift 1 --rch 4 "
                    ">/dev/null 2>&1") != 0)
      return -1;
    EXPECT_EQ(shell("cp -r base " + dir + " && cd " + dir + " && " + mistake),
              0)
        << mistake;
    const int st = shell("cd " + dir + " && " + QUON + " " + args +
                         " quon.par > out.txt 2> err.txt");
    err = read_file(dir + "/err.txt");
    out = read_file(dir + "/out.txt");
    return st;
  }
  std::string dir, err, out;
};

// Edits of quon.par in sed.
std::string par(const std::string &sed) {
  return "sed -i '" + sed + "' quon.par";
}

TEST_F(Guard, MistakesEndTheRunBeforeTheFirstPeriod) {
  struct Case {
    const char *what;
    std::string mistake;
    const char *message; // on the console and in fort.2
  };
  const Case cases[] = {
      {"precipitation year missing", "sed -i '/^1950 /d' stations.ppt",
       "no data line for simulated years: 1950 (1 year)"},
      {"too few stations", par("s/^STATIONS \\(.*\\) 1$/STATIONS \\1 3/"),
       "Too few stations for the drift order of the kriging: 6 read, 7 "
       "needed for drift order 3"},
      {"two stations at one place",
       "awk 'NR==4{$2=\"192735\";$3=\"14035535\"} NR==3{$2=\"192735\";"
       "$3=\"14035535\"} {print}' stations.loc > s && mv s stations.loc",
       "Two stations at the same place: "},
      {"WEL file is an RCH file", par("s/^WELL .*/WELL precip.rch/"),
       "precip.rch (WELL file and RECHARGE "
       "file 1)"},
      {"RCH file is an input", par("s|^RECHARGE .*|RECHARGE ./stations.ppt|"),
       "stations.ppt (STATIONS precipitation file) and ./stations.ppt "
       "(RECHARGE file 1)"},
      {"RCH file is the report file", par("s/^RECHARGE .*/RECHARGE fort.2/"),
       "fort.2 (RECHARGE file 1 and report file)"},
      {"a link to an RCH file",
       "touch gwirr.rch && ln -s gwirr.rch link.rch && " +
           par("s/^WELL .*/WELL link.rch/"),
       "link.rch (WELL file) and gwirr.rch "
       "(RECHARGE file 2)"},
      {"store files on state data", par("s/^FILE .*/FILE co agw irr rch/"),
       "co/1950.agw (FILE store file 1 and co "
       "data file)"},
      {"annual tables in the store folder",
       par("s/^FILE .*/FILE . ppt csv rch/"),
       "./1950.csv (FILE store file 2 and ANNPUMP table)"},
      {"XFACTOR year not whole", par("s/^XFACTOR \\([0-9]*\\)/XFACTOR \\1.0/"),
       "run would go on with year 0: XFACTOR"},
      {"STEADY year not whole", par("s/^STEADY 1949/STEADY 1949.0/"),
       "run would go on with year 0: STEADY"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run_case(c.mistake, ""), 1) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_NE(read_file(dir + "/fort.2").find(c.message), std::string::npos)
        << read_file(dir + "/fort.2");
    // No model file was opened.
    EXPECT_FALSE(fs::exists(dir + "/quon.wel"));
    EXPECT_FALSE(fs::exists(dir + "/gwirr.rch") &&
                 fs::file_size(dir + "/gwirr.rch") > 0);
  }
}

TEST_F(Guard, SideFileNeverOverwritesAnInput) {
  // The function table is written while the settings are read: it must not
  // land on the station file read before it.
  EXPECT_EQ(
      run_case(par("s/^FUNCTION funtable.txt/FUNCTION stations.ppt/"), ""), 1);
  EXPECT_EQ(read_file(dir + "/stations.ppt"), read_file("base/stations.ppt"));
  EXPECT_NE(err.find("(STATIONS precipitation file and FUNCTION table file)"),
            std::string::npos)
      << err;
}

TEST_F(Guard, StrictEndsAtReportsAndWarningsDoNot) {
  struct Case {
    const char *what;
    std::string mistake, args;
    int status;
    const char *message;
    const char *record; // the last record of fort.2 but the budget rows
  };
  const Case cases[] = {
      {"missing state folder warns", par("s/^DIR .*/DIR nothere ks ne/"), "", 0,
       "state data folder does not exist, all its files count as zeros: "
       "co nothere",
       " WARNING: state data folder does not exist, all its files count as "
       "zeros: co nothere"},
      {"strict: misspelt keyword", "echo TRANSIENTS 1950 1951 >> quon.par",
       "--strict", 1, "--strict, and the settings had reports: 1",
       " Run ended before the first period: --strict, and the settings had "
       "reports: 1 (Unknown parameter TRANSIENTS)"},
      {"strict: missing folder and misspelt keyword",
       par("s/^DIR .*/DIR co ks gone/;s/^TRANSIENT /TRANSIENTS /"), "--strict",
       1, "the settings had reports: 2",
       " Run ended before the first period: --strict, and the settings had "
       "reports: 2 (the first: Unknown parameter TRANSIENTS)"},
      {"strict: a report during the periods",
       par("s/^FILE store/FILE nostore/"), "--strict", 1,
       "Cannot open file nostore/1950.ppt",
       " Run ended: --strict ends a run at its first report: Cannot open "
       "file nostore/1950.ppt"},
      {"strict: a good run", "true", "--strict", 0, "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run_case(c.mistake, c.args), c.status) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    // A run that ended during its periods closes with the periods held.
    std::string last, held;
    for (const std::string &l :
         quon::test::lines_of(read_file(dir + "/fort.2")))
      if (l.rfind(" The RCH and WEL files hold", 0) == 0)
        held = l;
      else if (l.rfind(" Year", 0) != 0 && l.rfind(" 19", 0) != 0 &&
               l.rfind(" SS ", 0) != 0)
        last = l;
    EXPECT_EQ(last, c.record);
    EXPECT_EQ(held, c.message[0] == 'C' ? " The RCH and WEL files hold "
                                          "periods 1 to 1 of 25; they are "
                                          "incomplete"
                                        : "");
    // A strict run that ends before its periods writes no model file.
    EXPECT_EQ(fs::exists(dir + "/quon.wel"),
              c.status == 0 || c.message[0] == 'C');
  }
  // The summary names the report, the missing files and --check.
  run_case(par("s/^DIR .*/DIR co ks gone/"), "");
  EXPECT_NE(err.find("quon: this run made reports: 1"), std::string::npos);
  EXPECT_NE(err.find("quon: per-state files missing, counted as zeros: "),
            std::string::npos);
  EXPECT_NE(err.find("quon --check"), std::string::npos) << err;
}

TEST_F(Guard, SummaryOfARunWithNothingWrongIsShort) {
  ASSERT_EQ(run_case("rm -f co/1950.07.rcs ks/1950.agw", ""), 0) << err;
  EXPECT_EQ(err, "quon: run completed, 25 periods written to quon.wel, "
                 "precip.rch, gwirr.rch, swirr.rch, coirr.rch\n"
                 "quon: per-state files missing, counted as zeros: 133 "
                 "(agw ks 1; aco ne 2; rcg co 14 ks 14 ne 14; rcs co 11 ks 10 "
                 "ne 10; rcc co 16 ks 16 ne 25)\n");
}

TEST_F(Guard, CheckWritesNothingAndTellsWhetherTheRunWouldGoThrough) {
  struct Case {
    const char *what;
    std::string mistake;
    int status;
    const char *said;
  };
  const Case cases[] = {
      {"good run", "rm -f co/1950.07.rcs", 0,
       "Result: the run would go through to its last period"},
      {"misspelt keyword", par("s/^TRANSIENT /TRANSIENTS /"), 3,
       "Reports: 1\n  report: Unknown parameter TRANSIENTS (quon.par line "},
      {"missing state folder", par("s/^DIR .*/DIR co kss ne/"), 3,
       "  report: WARNING: state data folder does not exist, all its files "
       "count as zeros: ks kss\n"
       "Result: the run would go through with 1 report (listed above)\n"},
      {"outputs of an earlier run", "touch quon.wel 1951.csv", 0,
       "WELL file quon.wel: exists, will be replaced\n"},
      {"outputs of an earlier run", "touch 1950.csv 1951.csv", 0,
       "ANNPUMP table 1950.csv to 1951.csv: all exist, will be replaced\n"},
      // The run cannot open a pipe without a reader: no "will be replaced".
      {"output that is a pipe", "rm -f quon.wel && mkfifo quon.wel", 1,
       "WELL file quon.wel: is a pipe or socket, not a file\n"},
      {"missing year", "sed -i '/^1951 /d' stations.ppt", 1,
       "would end the run: The precipitation file stations.ppt has no data "
       "line"},
      {"unreadable text grid", "echo 1 2 x > ks/1950.07.pmp", 1,
       "unreadable: ks/1950.07.pmp"},
      // A damaged data file is read and named beside a name clash.
      {"damaged data file beside a name clash",
       "echo 1 2 x > ks/1950.07.pmp && " + par("s/^WELL .*/WELL precip.rch/"),
       1, "unreadable: ks/1950.07.pmp"},
      // The shifted rows leave active cells without a soil: warnings.
      {"shifted zone grid", "sed -i '1s/$/\\n/' soil.zon", 3,
       "SOIL grid soil.zon: 1 rows shorter than their fields, 1 lines after"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run_case(c.mistake + " && ls -lR > ../before.txt", "--check"),
              c.status)
        << out << err;
    EXPECT_NE(out.find(c.said), std::string::npos) << out;
    // The inventory is the summary: nothing tells to run --check.
    EXPECT_EQ(err.find("--check"), std::string::npos) << err;
    // Nothing written or replaced but the test's own capture files.
    EXPECT_EQ(shell("cd " + dir +
                    " && rm out.txt err.txt && ls -lR | "
                    "diff - ../before.txt >/dev/null"),
              0)
        << c.what;
  }
}

// Starts quon on long/quon.par (standard error to long/err.txt) and waits
// until it is a few periods into the run.
pid_t start_long_run() {
  fs::remove("long/precip.rch");
  const pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGINT, SIG_DFL);
    if (chdir("long") == 0 && freopen("err.txt", "w", stderr))
      execl(QUON.c_str(), "quon", "quon.par", (char *)nullptr);
    _exit(99);
  }
  const auto written = [] {
    std::error_code ec;
    const auto n = fs::file_size("long/precip.rch", ec);
    return ec ? 0 : n;
  };
  for (int i = 0; pid > 0 && i < 3000 && written() < 2000000; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return pid;
}

std::string stopped_by(int sig) {
  return "Run stopped by signal " +
         std::string(sig == SIGTERM  ? "SIGTERM"
                     : sig == SIGINT ? "SIGINT"
                                     : "SIGHUP") +
         " (" + std::to_string(sig) + "), the last period written: ";
}

// A run stopped by a signal in the middle of its periods says so, with the
// last period written, and exits with 128 + the signal; a second run in a
// folder where one is working is refused.
TEST_F(Guard, StoppedAndConcurrentRunsSaySo) {
  ASSERT_EQ(shell(GEN + " --out long --seed 2 --years 10 --steady-years 1 "
                        ">/dev/null"),
            0);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const pid_t pid = start_long_run();
    ASSERT_GT(pid, 0);
    kill(pid, sig);
    int st = 0;
    ASSERT_EQ(waitpid(pid, &st, 0), pid);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 128 + sig);
    const std::string fort2 = read_file("long/fort.2");
    const std::string said = stopped_by(sig);
    EXPECT_NE(fort2.find(said), std::string::npos) << fort2.substr(0, 300);
    EXPECT_NE(fort2.find(" of 121\n The RCH and WEL files hold periods 1 to "),
              std::string::npos);
    EXPECT_NE(read_file("long/err.txt").find(said), std::string::npos);
  }

  write_file("long/fort.2", "the other run's\n");
  EXPECT_EQ(shell("cd long && flock . " + QUON + " quon.par 2> err.txt"), 1);
  EXPECT_NE(read_file("long/err.txt")
                .find("Another quon run is working in "
                      "this folder"),
            std::string::npos);
  EXPECT_EQ(read_file("long/fort.2"), "the other run's\n");
}

// A second signal soon after the first ends the run at once, and the
// record of the stop still reaches fort.2 and standard error, with the
// status of the first signal.
TEST_F(Guard, ASecondSignalStillLeavesTheRecord) {
  ASSERT_EQ(shell(GEN + " --out long --seed 2 --years 10 --steady-years 1 "
                        ">/dev/null"),
            0);
  struct Case {
    int first, second, delay_ms;
  };
  const Case cases[] = {{SIGTERM, SIGTERM, 0},
                        {SIGTERM, SIGTERM, 5},
                        {SIGINT, SIGINT, 20},
                        {SIGHUP, SIGTERM, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.second) +
                 " after " + std::to_string(c.delay_ms) + " ms");
    const pid_t pid = start_long_run();
    ASSERT_GT(pid, 0);
    kill(pid, c.first);
    std::this_thread::sleep_for(std::chrono::milliseconds(c.delay_ms));
    kill(pid, c.second);
    int st = 0;
    ASSERT_EQ(waitpid(pid, &st, 0), pid);
    ASSERT_TRUE(WIFEXITED(st)) << "killed by signal " << WTERMSIG(st);
    EXPECT_EQ(WEXITSTATUS(st), 128 + c.first);
    const std::string fort2 = read_file("long/fort.2");
    const std::string err = read_file("long/err.txt");
    const std::string said = stopped_by(c.first);
    const std::string held = "The RCH and WEL files hold periods 1 to ";
    EXPECT_NE(fort2.find(" " + said), std::string::npos) << fort2;
    EXPECT_NE(fort2.find(" of 121\n " + held), std::string::npos) << fort2;
    EXPECT_NE(err.find(said), std::string::npos) << err;
    EXPECT_NE(err.find(held), std::string::npos) << err;
  }
}

} // namespace

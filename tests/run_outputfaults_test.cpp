// run_outputfaults_test.cpp - a write or an open of any output that fails
// (a full disk, a refused file) ends the run with status 1, names the file
// on standard error, and leaves in fort.2 the record of which periods the
// model files hold.
//
// The file classes' fault injection makes the nth write (or open) of a
// short generated run fail, for every n over all the writes (and opens) of
// that run; the runs are made in-process.
#include <gtest/gtest.h>

#include <string>

#include "files.h"
#include "reporters.h"
#include "run.h"
#include "testutil.h"

namespace quon {
namespace {

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";

class OutputFaults : public test::InTempDir {
protected:
  void TearDown() override {
    stop_output_faults();
    close_report();
    InTempDir::TearDown();
  }

  // One run of quon.par with the nth write and the nth open made to fail
  // (0: none); keeps its standard error.
  int run(long nth_write, long nth_open) {
    char prog[] = "quon", par[] = "quon.par";
    char *argv[] = {prog, par, nullptr};
    inject_output_faults(nth_write, nth_open);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = quon_main(2, argv);
    testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    writes = output_writes_seen();
    opens = output_opens_seen();
    faulted = std::string(faulted_file());
    fault_opens = opens_at_fault();
    stop_output_faults();
    return status;
  }

  // Checks what an injected fault must leave; what says which one it was.
  // Once the WEL file has been opened (wel_open is its place among the
  // opens), fort.2 must say which periods the model files hold.
  void check_ended(int status, bool open, const std::string &what,
                   long wel_open) {
    ASSERT_FALSE(faulted.empty()) << what << ": the fault never came";
    const std::string where = what + " in " + faulted;
    // The side files, and a store grid that cannot be opened, are reported
    // and the run goes on (under --strict it ends): the report names the
    // file.
    struct GoesOn {
      const char *prefix;
      bool open, write;
    };
    constexpr GoesOn GOES_ON[] = {{"funtable.txt", true, true},
                                  {"terrain.plt", true, true},
                                  {"store/", true, false}};
    bool goes_on = false;
    for (const GoesOn &g : GOES_ON)
      if (faulted.rfind(g.prefix, 0) == 0)
        goes_on = open ? g.open : g.write;
    EXPECT_EQ(status, goes_on ? 0 : 1) << where << "\n" << err;
    EXPECT_NE(err.find(faulted), std::string::npos)
        << where << ": stderr does not name the file\n"
        << err;
    if (goes_on) {
      EXPECT_NE(err.find("this run made reports"), std::string::npos) << where;
      return;
    }
    // fort.2 cannot keep the record of its own loss: the console has it.
    if (faulted == "fort.2")
      return;
    const std::string report = test::read_file("fort.2");
    const bool held =
        report.find("The RCH and WEL files hold") != std::string::npos;
    EXPECT_EQ(held, fault_opens > wel_open) << where << ": fort.2 is\n"
                                            << report;
  }

  std::string err, faulted;
  long writes = 0, opens = 0, fault_opens = 0;
};

TEST_F(OutputFaults, EveryFailedWriteOrOpenEndsTheRunWithItsRecord) {
  // Every kind of output: four RCH files, the WEL file, MODFLOW 6, the
  // yearly pumping table, the sub-area files, the BUDGETCSV table, the
  // store grids, fort.2.
  ASSERT_EQ(test::shell(GEN + " --out . --seed 5 --years 1 --steady-years 0 "
                              "--stations 6 --wells 300 >/dev/null 2>&1"),
            0);
  test::write_file("quon.par", test::read_file("quon.par") +
                                   "MF6 m6\nBUDGETCSV budget.csv\n");

  ASSERT_EQ(run(0, 0), 0) << err;
  const long total_writes = writes, total_opens = opens;
  ASSERT_GT(total_writes, 10);
  ASSERT_GT(total_opens, 10);
  std::printf("a run of %ld writes and %ld opens\n", total_writes, total_opens);

  // Every open, in turn: which one opens the WEL file shows when the
  // model files start to be emptied.
  long wel_open = 0;
  for (long n = 1; n <= total_opens; ++n) {
    const int status = run(0, n);
    if (faulted == "quon.wel")
      wel_open = n;
    check_ended(status, true, "open " + std::to_string(n),
                wel_open ? wel_open : total_opens);
  }
  ASSERT_GT(wel_open, 0) << "the WEL file was never opened";
  for (long n = 1; n <= total_writes; ++n) {
    const int status = run(n, 0);
    check_ended(status, false, "write " + std::to_string(n), wel_open);
  }
}

} // namespace
} // namespace quon

// Tests of the reporters: one console line and one record per report, the
// ending reporters, and the lazily created report file.

#include "reporters.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fortranref.h"
#include "messages.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

using test::reference;
using test::Words;

using FileTest = test::ReportDir;

TEST_F(FileTest, ErrorReportersWriteOneRecord) {
  auto record = [](auto &&report) {
    std::remove("fort.2");
    testing::internal::CaptureStderr();
    bool ended = false;
    try {
      report();
    } catch (const RunEnd &e) {
      ended = e.status == 1;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(ended);
    close_report();
    return std::make_pair(test::read_file("fort.2"), err);
  };
  auto [rep, err] =
      record([] { error2("Error opening file   ", "data/soil.txt    "); });
  EXPECT_EQ(rep, " Error opening file data/soil.txt\n");
  EXPECT_EQ(err, "Error opening file data/soil.txt\n");

  std::tie(rep, err) = record([] { errorint(msg::FILE_EXTENTION, 3); });
  EXPECT_EQ(rep, " Invalid FILE extention            3\n");
  std::tie(rep, err) = record([] { errordbl(msg::NEGATIVE_PPT, -3.0e-5); });
  EXPECT_EQ(rep, " Negative PPT   -3.0000000000000001E-005\n");
  std::tie(rep, err) = record([] { errordbl(msg::BINFIND_RANGE, 1e10); });
  EXPECT_EQ(rep, " Value out of range in BINFIND    10000000000.000000     \n");

  // endrun says why on the console and in the report file alike.
  std::tie(rep, err) = record([] { endrun("Cannot read file ", "x.dat  "); });
  EXPECT_EQ(rep, " Cannot read file x.dat\n");
  EXPECT_EQ(err, "Cannot read file x.dat\n");
}

TEST_F(FileTest, ErrorIsOneConsoleLineAndOneRecordAndTheRunGoesOn) {
  reset_reports();
  testing::internal::CaptureStderr();
  error(msg::INVALID_COMMAND, "FOO bar      ");
  for (int i = 0; i < MAXLISTED + 3; ++i)
    error(msg::NO_SOILS);
  EXPECT_EQ(testing::internal::GetCapturedStderr().substr(0, 43),
            "Invalid command FOO bar\nNo SOILs specified\n");
  close_report();
  EXPECT_EQ(test::read_file("fort.2").substr(0, 45),
            " Invalid command FOO bar\n No SOILs specified\n");
  // The first reports are kept for the dry run's list.
  EXPECT_EQ(report_count(), MAXLISTED + 4);
  EXPECT_EQ(listed_reports(), MAXLISTED);
  EXPECT_EQ(listed_report(MAXLISTED - 1), "No SOILs specified");
  reset_reports();
}

TEST_F(FileTest, ReportFileIsCreatedByItsFirstRecord) {
  test::write_file("fort.2", "stale report of an earlier run\n");
  close_report();
  // Nothing touches an old report until a record is written.
  EXPECT_EQ(test::read_file("fort.2"), "stale report of an earlier run\n");
  report_record(" first");
  // Each record is on disk at once, before any close.
  EXPECT_EQ(test::read_file("fort.2"), " first\n");
  report_record(" second");
  EXPECT_EQ(test::read_file("fort.2"), " first\n second\n");
  close_report();
  EXPECT_EQ(test::read_file("fort.2"), " first\n second\n");
  report_record(" again");
  EXPECT_EQ(test::read_file("fort.2"), " again\n");
}

// A report file that cannot be created or written ends the run: the budget
// table and the records of an early end must not be lost silently.
TEST_F(FileTest, ReportFileThatCannotBeKeptEndsTheRun) {
  close_report();
  std::filesystem::create_directory("fort.2");
  testing::internal::CaptureStderr();
  EXPECT_THROW(report_record(" lost"), RunEnd);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot open file fort.2\n");
  std::filesystem::remove("fort.2");

  std::filesystem::create_symlink("/dev/full", "fort.2");
  testing::internal::CaptureStderr();
  EXPECT_THROW(report_record(" lost"), RunEnd);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot write to file fort.2\n");
  std::filesystem::remove("fort.2");
  close_report();
}

TEST_F(FileTest, NoReportFileWithoutRecords) {
  close_report();
  EXPECT_FALSE(file_exists("fort.2"));
}
} // namespace
} // namespace quon

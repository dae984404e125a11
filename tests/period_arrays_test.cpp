// Tests of the per-state cell array files: the paths they are looked up
// under, text and unformatted reading with their failures, the yearly store
// files and the two grid accumulations.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>

#include "period.h"
#include "reporters.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

// A grid whose every cell holds a different, awkward value.
CellArray pattern(double scale = 1.0) {
  CellArray a;
  for (int i = 0; i < NCELL; ++i)
    a[i] = scale * (std::sin(0.37 * i) * 1234.5 + 1e-7 * i);
  return a;
}

// One text row per line, values at full precision.
std::string text_grid(const CellArray &a) {
  std::string s;
  char buf[32];
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c) {
      std::snprintf(buf, sizeof buf, "%.17g ", a[cell(c, r)]);
      s += buf;
    }
    s += '\n';
  }
  return s;
}

// One unformatted record, with the given length words around the values.
std::string bin_record(const double *v, std::size_t n, std::int32_t head,
                       std::int32_t tail) {
  std::string s(reinterpret_cast<const char *>(&head), 4);
  s.append(reinterpret_cast<const char *>(v), n * sizeof(double));
  s.append(reinterpret_cast<const char *>(&tail), 4);
  return s;
}

std::string bin_grid(const CellArray &a) {
  return bin_record(a.data(), NCELL, 430320, 430320);
}

bool same_bits(const CellArray &a, const CellArray &b) {
  return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

bool all_zero(const CellArray &a) {
  for (double v : a)
    if (v != 0.0)
      return false;
  return true;
}

class CellFiles : public test::InTempDir {
protected:
  void SetUp() override {
    InTempDir::SetUp();
    run = make_run();
  }
  std::unique_ptr<quon::Run> run;
  CellArray buf;
};

TEST_F(CellFiles, PathTrimsTheDirectoryOnlyAndKeepsABlankOne) {
  const CellArray a = pattern();
  write_file("co/1950.agw", text_grid(a));
  buf.fill(-1.0);
  readfile(*run, buf, "co              ", "1950", "agw");
  EXPECT_TRUE(same_bits(buf, a));

  // An all-blank directory keeps one blank before the slash.
  const CellArray b = pattern(0.5);
  write_file(" /1950.01.pmp", text_grid(b));
  readfile(*run, buf, "                ", "1950.01", "pmp");
  EXPECT_TRUE(same_bits(buf, b));
  buf.fill(-1.0);
  readfile(*run, buf, "", "1950.01", "pmp");
  EXPECT_TRUE(same_bits(buf, b));

  // The period part is used as given, blanks and all.
  write_file("ks/steady .rcc", bin_grid(b));
  run->binmode = 1;
  readfile(*run, buf, "ks", "steady ", "rcc");
  EXPECT_TRUE(same_bits(buf, b));
}

// Folders of up to 256 characters are used whole, in the paths of the
// state files (missing ones counted) and of the store files.
TEST_F(CellFiles, LongFoldersMakeWholePaths) {
  std::string folder;
  for (int i = 0; i < 31; ++i)
    folder += "abcdefg/";
  folder += "abcdefgh";
  ASSERT_EQ(folder.size(), std::size_t(WORDLEN));
  fs::create_directories(folder);
  run->binmode = 1;
  run->statedir[1].set(folder);
  const CellArray a = pattern();
  write_file(folder + "/1950.07.pmp", bin_grid(a));
  EXPECT_TRUE(readstate(*run, buf, 1, PMP, "1950.07"));
  EXPECT_TRUE(same_bits(buf, a));
  EXPECT_FALSE(readstate(*run, buf, 1, PMP, "1950.08"));
  EXPECT_EQ(run->missing[PMP][1], 1);
  storemonth(*run, a, 1.0, 1950, run->statedir[1].full(), "area_name_longer");
  EXPECT_EQ(read_file(folder + "/1950.area_name_longer"), bin_grid(a));
}

TEST_F(CellFiles, MissingFileGivesZerosSilently) {
  for (int mode = 0; mode <= 1; ++mode) {
    run->binmode = mode;
    buf.fill(3.0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readfile(*run, buf, "co", "1950.01", "pmp"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(all_zero(buf));
  }
}

TEST_F(CellFiles, TextFileWithTooFewValuesEndsTheRun) {
  write_file("co/1950.agw", "1 2 3\n");
  EXPECT_THROW(readfile(*run, buf, "co", "1950", "agw"), RunEnd);
  close_report();
  EXPECT_NE(read_file("fort.2").find("Error reading file co/1950.agw"),
            std::string::npos);
}

TEST_F(CellFiles, UnformattedRecordReadsBitForBit) {
  run->binmode = 1;
  CellArray a = pattern();
  a[0] = -0.0;
  a[NCELL - 1] = std::numeric_limits<double>::denorm_min();
  write_file("ne/1950.01.rcs", bin_grid(a));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(readfile(*run, buf, "ne", "1950.01", "rcs"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(same_bits(buf, a));
}

// What the Fortran runtime accepts and stored files may rely on: a record
// longer than a grid (its first 53,790 values are read), a missing trailing
// length word, and whatever follows a whole first record.
TEST_F(CellFiles, UnformattedRecordsTheRuntimeAccepts) {
  run->binmode = 1;
  const CellArray a = pattern();
  const std::string good = bin_grid(a);
  std::string longer = bin_record(a.data(), NCELL, 430328, 430328);
  longer.insert(430324, 8, '\xff'); // a 53,791st value, never looked at
  const struct {
    const char *what;
    std::string bytes;
  } cases[] = {
      {"no trailing length word", good.substr(0, good.size() - 4)},
      {"record of 53,791 values", longer},
      {"longer, no trailing length word", longer.substr(0, longer.size() - 4)},
      {"a second record after the first", good + bin_record(a.data(), 1, 8, 8)},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(k.what);
    write_file("co/1950.01.rcg", k.bytes);
    buf.fill(0.0);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(readfile(*run, buf, "co", "1950.01", "rcg"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(same_bits(buf, a));
  }
}

// Any other damage ends the run as a damaged text file does: the record in
// the report file names the file, the console says why as well.
TEST_F(CellFiles, DamagedUnformattedRecordsEndTheRun) {
  run->binmode = 1;
  CellArray a = pattern();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  CellArray withnan = a, withinf = a;
  withnan[NCELL / 2] = nan;
  withinf[7] = -inf;
  const std::string good = bin_grid(a);
  const std::string text = text_grid(a);
  std::int32_t text_head; // its first four characters, read as a length
  std::memcpy(&text_head, text.data(), 4);

  const std::string tail = "after the record differs";
  const struct {
    const char *what;
    std::string bytes, why; // why: part of the console's second line
  } cases[] = {
      {"empty file", "", "the file is empty"},
      {"three bytes", good.substr(0, 3), "inside its first length word"},
      {"short file", good.substr(0, 1000), "before the record"},
      {"wrong leading length word", bin_record(a.data(), NCELL, 430312, 430320),
       "shorter than a grid of 53,790 values; the length word says 430312"},
      {"record of 100 values", bin_record(a.data(), 100, 800, 800), "says 800"},
      {"big-endian length words",
       bin_record(a.data(), NCELL, 0xF0900600, 0xF0900600), "says -258996736"},
      {"text grid under BIN", text, "says " + std::to_string(text_head)},
      {"wrong trailing length word",
       bin_record(a.data(), NCELL, 430320, 430312), tail},
      {"trailing length word cut", good.substr(0, good.size() - 2), tail},
      {"values short of the length word",
       bin_record(a.data(), NCELL - 1, 430320, 430320) + std::string(8, 'x'),
       tail},
      {"NaN inside", bin_grid(withnan),
       "not a finite number at row 83, column 164"},
      {"infinity inside", bin_grid(withinf), "at row 1, column 8"},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(k.what);
    write_file("co/1950.01.rcg", k.bytes);
    fs::remove("fort.2");
    testing::internal::CaptureStderr();
    EXPECT_THROW(readfile(*run, buf, "co", "1950.01", "rcg"), RunEnd);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("Cannot read file co/1950.01.rcg\n  ", 0), 0u) << err;
    EXPECT_NE(err.find(k.why), std::string::npos) << err;
    close_report();
    EXPECT_EQ(read_file("fort.2"), " Cannot read file co/1950.01.rcg\n");
  }
  // A file that is there but cannot be opened (a folder of its name).
  fs::remove("co/1950.01.rcg");
  fs::create_directory("co/1950.01.rcg");
  EXPECT_THROW(readfile(*run, buf, "co", "1950.01", "rcg"), RunEnd);
  close_report();
  EXPECT_EQ(read_file("fort.2"), " Cannot open file co/1950.01.rcg\n");
  // The file after a damaged one reads normally: the file was closed.
  write_file("co/1950.01.pmp", good);
  EXPECT_TRUE(readfile(*run, buf, "co", "1950.01", "pmp"));
  EXPECT_TRUE(same_bits(buf, a));
}

TEST_F(CellFiles, StoreOfAZeroGridWritesNothingAndKeepsAnOldFile) {
  fs::create_directory("out");
  write_file("out/1950.rch", "old contents\n");
  CellArray zero{};
  zero[5] = -0.0;
  for (int mode = 0; mode <= 1; ++mode) {
    run->binmode = mode;
    storemonth(*run, zero, 1.0, 1950, "out             ", "rch             ");
    storemonth(*run, pattern(), 0.0, 1950, "out", "rch");
    storemonth(*run, zero, 1.0, 1950, "out", "ppt             ");
  }
  EXPECT_EQ(read_file("out/1950.rch"), "old contents\n");
  EXPECT_FALSE(fs::exists("out/1950.ppt"));
}

TEST_F(CellFiles, TextStoreHas165RecordsOf326ValuesThatReadBack) {
  fs::create_directory("out");
  const CellArray a = pattern();
  const double factor = 640.0;
  storemonth(*run, a, factor, 1950, "out             ", "irr             ");
  const std::string text = read_file("out/1950.irr");

  std::istringstream lines(text);
  std::string line;
  int nrec = 0;
  while (std::getline(lines, line)) {
    ++nrec;
    std::istringstream words(line);
    std::string w;
    int nval = 0;
    while (words >> w)
      ++nval;
    EXPECT_EQ(nval, NCOL) << "record " << nrec;
  }
  EXPECT_EQ(nrec, NROW);
  EXPECT_EQ(text.back(), '\n');

  CellArray expect;
  for (int i = 0; i < NCELL; ++i)
    expect[i] = factor * a[i];
  readfile(*run, buf, "out", "1950", "irr");
  EXPECT_TRUE(same_bits(buf, expect));
}

TEST_F(CellFiles, UnformattedStoreIsOneFramedRecord) {
  fs::create_directory("out");
  run->binmode = 1;
  const CellArray a = pattern();
  storemonth(*run, a, 0.5, 2001, "out", "ppt             ");
  const std::string bytes = read_file("out/2001.ppt");
  ASSERT_EQ(bytes.size(), 430328u);
  const std::string marker("\xF0\x90\x06\x00", 4);
  EXPECT_EQ(bytes.substr(0, 4), marker);
  EXPECT_EQ(bytes.substr(430324), marker);
  double first, last;
  std::memcpy(&first, bytes.data() + 4, 8);
  std::memcpy(&last, bytes.data() + 4 + 8 * (NCELL - 1), 8);
  EXPECT_EQ(first, 0.5 * a[0]);
  EXPECT_EQ(last, 0.5 * a[NCELL - 1]);

  readfile(*run, buf, "out", "2001", "ppt");
  for (int i = 0; i < NCELL; ++i)
    ASSERT_EQ(buf[i], 0.5 * a[i]) << i;
}

TEST_F(CellFiles, StoreThatCannotOpenIsReportedAndTheRunGoesOn) {
  testing::internal::CaptureStderr();
  storemonth(*run, pattern(), 1.0, 1950, "nodir", "ppt");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Cannot open file nodir/1950.ppt\n");
}

TEST_F(CellFiles, StoreThatCannotBeWrittenEndsTheRun) {
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  fs::create_directory("out");
  for (int mode = 0; mode <= 1; ++mode) {
    run->binmode = mode;
    fs::remove("out/1950.ppt");
    fs::create_symlink("/dev/full", "out/1950.ppt");
    testing::internal::CaptureStderr();
    EXPECT_THROW(storemonth(*run, pattern(), 1.0, 1950, "out", "ppt"), RunEnd);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Cannot write to file out/1950.ppt\n");
  }
}

TEST(CellSums, AddScalesAndAccumulatesEveryCell) {
  auto t = std::make_unique<CellArray>();
  auto s = std::make_unique<CellArray>(pattern());
  for (int i = 0; i < NCELL; ++i)
    (*t)[i] = i;
  add(*t, 0.25, *s);
  for (int i = 0; i < NCELL; ++i)
    ASSERT_EQ((*t)[i], 0.25 * (*s)[i] + double(i)) << i;
}

TEST(CellSums, CondaddTouchesOnlyCellsOutsideTheMask) {
  auto t = std::make_unique<CellArray>();
  auto s = std::make_unique<CellArray>(pattern());
  auto m = std::make_unique<ZoneGrid>();
  t->fill(2.0);
  for (int i = 0; i < NCELL; ++i) {
    (*m)[i] = i % 3 == 0 ? 0 : (i % 3 == 1 ? 1 : -4);
    if ((*m)[i] != 0)
      (*s)[i] = std::numeric_limits<double>::quiet_NaN();
  }
  condadd(*t, 3.0, *s, *m);
  for (int i = 0; i < NCELL; ++i) {
    if ((*m)[i] == 0)
      ASSERT_EQ((*t)[i], 3.0 * (*s)[i] + 2.0) << i;
    else
      ASSERT_EQ((*t)[i], 2.0) << i;
  }
}

} // namespace
} // namespace quon

// Tests of the free-format real-array reader (against the Fortran runtime's
// list-directed READ).

#include "readreal.h"

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

// A value no file below holds: marks what a read left unchanged.
constexpr double U = -777.0;

// Runs readreal expecting the run to end; returns the report file.
std::string ends_run(InFile &in, const std::string &name, int rows, int cols,
                     int nheader) {
  close_report();
  std::remove("fort.2");
  std::vector<double> a(std::size_t(rows) * std::size_t(cols), U);
  bool ended = false;
  try {
    readreal(in, name, a, rows, cols, nheader);
  } catch (const RunEnd &e) {
    ended = true;
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_TRUE(ended) << name;
  EXPECT_FALSE(in.is_open());
  close_report();
  return test::read_file("fort.2");
}

// Random grid files in every free form the runtime reads: the rows read here
// must equal the rows the runtime's list-directed READ gives, value for value
// and bit for bit, and a file the runtime fails on must end the run here.
TEST_F(FileTest, ReadrealMatchesTheRuntime) {
  Words g(777);
  const char *seps[] = {" ",  " ",   "  ",   "\t",   ",",    " , ", ";",
                        "\n", ",\n", "\r\n", "\n\n", ", \n", "\n,", "\n;"};
  int files = 0, good = 0, failed = 0, values = 0;
  for (int f = 0; f < 400; ++f) {
    const int rows = 1 + g.pick(5), cols = 1 + g.pick(7);
    std::string text;
    // Enough items for every row, some rows with more or fewer.
    const int items = rows * cols + g.pick(cols + 2) - 1;
    bool plain = false; // the last item is a number or a slash's comment
    for (int i = 0; i < items; ++i) {
      const int kind = g.pick(48);
      plain = kind < 30 || kind >= 36;
      if (kind >= 40) {
        // A run of lone zeros, as sparse grids hold them, sometimes with
        // its separator after the last one too.
        const char *zsep[] = {" ", "  ", ","};
        const char *z = zsep[g.pick(3)];
        for (int r = 3 + g.pick(7); r > 0; --r)
          text += std::string("0") + (r > 1 || g.pick(2) ? z : "");
      } else if (kind < 30)
        text += g.number(true);
      else if (kind < 32)
        text += std::to_string(1 + g.pick(4)) + "*" + g.number(true);
      else if (kind < 34)
        text += std::to_string(1 + g.pick(3)) + "*";
      else if (kind < 36)
        text += ","; // with the separator after it: an empty item
      else if (kind < 37)
        text += "/ x 1";
      else if (kind < 38 && g.pick(4) == 0)
        text += g.pick(2) ? "abc" : "1.5e";
      else
        text += std::to_string(g.pick(100));
      text += seps[g.pick(int(std::size(seps)))];
    }
    // No line end after the last record. (The runtime fails on a file
    // that ends in "r*" or a slash without a line end; here they read as
    // at the end of any other record.)
    if (g.pick(3) == 0 && plain)
      text.pop_back();
    test::write_file("grid.txt", text);
    const std::vector<std::string> ref =
        reference("fref_readlist", "grid.txt " + std::to_string(rows) + " " +
                                       std::to_string(cols));
    ASSERT_FALSE(ref.empty());
    ++files;
    // The runtime's rows, up to the first that failed.
    std::vector<std::uint64_t> want;
    bool ok = true;
    for (const std::string &line : ref) {
      std::istringstream in(line);
      int ios = 0;
      in >> ios;
      if (ios != 0) {
        ok = false;
        break;
      }
      std::string hex;
      while (in >> hex)
        want.push_back(std::stoull(hex, nullptr, 16));
    }
    std::vector<double> a(std::size_t(rows * cols), U);
    if (!ok) {
      EXPECT_EQ(ends_run(in, "grid.txt", rows, cols, 0),
                " Error reading file grid.txt\n")
          << rows << " x " << cols << ":\n"
          << text;
      ++failed;
      continue;
    }
    ASSERT_EQ(want.size(), a.size());
    try {
      readreal(in, "grid.txt", a, rows, cols, 0);
    } catch (const RunEnd &) {
      ADD_FAILURE() << "the runtime reads this file as " << rows << " x "
                    << cols << ":\n"
                    << text;
      continue;
    }
    for (std::size_t k = 0; k < a.size(); ++k)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(a[k]), want[k])
          << "value " << k << " of " << rows << " x " << cols << ":\n"
          << text << "here " << a[k] << " runtime "
          << std::bit_cast<double>(want[k]);
    ++good;
    values += rows * cols;
  }
  std::printf("files %d: read alike %d (%d values), failed alike %d\n", files,
              good, values, failed);
  EXPECT_GT(good, files / 3);
  EXPECT_GT(failed, 10);
}

// A whole model grid, 165 rows of 326 values over many records each, as
// programs write them (short decimals, 17 to 19 significant digits, E and D
// exponents, integers halfway between two doubles): every value must come
// out as the runtime reads it.
TEST_F(FileTest, WholeGridMatchesTheRuntime) {
  Words g(4242);
  std::mt19937_64 bits(99);
  std::string text;
  char buf[80];
  for (int r = 0; r < NROW; ++r) {
    for (int c = 0; c < NCOL; ++c) {
      const double v =
          (g.pick(1000000) - 300000) * 1e-4 * std::pow(10.0, g.pick(61) - 30);
      switch ((r * NCOL + c) % 9) {
      case 0: // list-directed output: 17 significant digits
        std::snprintf(buf, sizeof buf, " %25.17g", v);
        break;
      case 1:
        std::snprintf(buf, sizeof buf, " %.16E", v);
        break;
      case 2:
        std::snprintf(buf, sizeof buf, " %.18g", v);
        break;
      case 3:
        std::snprintf(buf, sizeof buf, " %.19g", v);
        break;
      case 4: // fixed fields of small values
        std::snprintf(buf, sizeof buf, " %12.5f", v * 1e-25);
        break;
      case 5: // exponent fields, sometimes with D
        std::snprintf(buf, sizeof buf, " %.9E", v);
        if (c % 7 == 0)
          *std::strchr(buf, 'E') = 'D';
        break;
      case 6:
        std::snprintf(buf, sizeof buf, " %g", v);
        break;
      case 7: // odd integers above 2^53: exactly halfway between doubles
        std::snprintf(buf, sizeof buf, " %llu%s",
                      (1ULL << (53 + g.pick(10))) + 2 * (bits() % 1000) + 1,
                      g.pick(2) ? "" : "e-7");
        break;
      default:
        std::snprintf(buf, sizeof buf, " %d", g.pick(2000) - 1000);
      }
      text += buf;
      if (c % 10 == 9 || c == NCOL - 1)
        text += r % 2 ? "\r\n" : "\n";
    }
  }
  test::write_file("grid.txt", text);
  const std::vector<std::string> ref =
      reference("fref_readlist", "grid.txt 165 326");
  ASSERT_EQ(ref.size(), std::size_t(NROW));
  auto a = std::make_unique<CellArray>();
  a->fill(U);
  readreal(in, "grid.txt", *a, NROW, NCOL, 0);
  int diff = 0, compared = 0;
  for (int r = 0; r < NROW; ++r) {
    std::istringstream line(ref[std::size_t(r)]);
    int ios = -9;
    line >> ios;
    ASSERT_EQ(ios, 0);
    std::string hex;
    for (int c = 0; c < NCOL && line >> hex; ++c, ++compared)
      diff +=
          std::bit_cast<std::uint64_t>((*a)[std::size_t(cell(c + 1, r + 1))]) !=
          std::stoull(hex, nullptr, 16);
  }
  EXPECT_EQ(compared, NCELL);
  EXPECT_EQ(diff, 0);
}

// Decimals of 17 to 19 digits lying within a hair of the point halfway
// between two doubles, where a conversion that rounds twice goes wrong: each
// must read as the correctly rounded value.
TEST_F(FileTest, NearHalfwayDecimalsAreCorrectlyRounded) {
  std::mt19937_64 bits(5);
  std::string text;
  std::vector<double> want;
  char buf[80];
  for (int i = 0; i < NCELL; ++i) {
    const double d =
        std::ldexp(1.0 + double(bits() >> 12) * 0x1p-52, int(bits() % 60) - 20);
    const long double mid =
        (static_cast<long double>(d) +
         static_cast<long double>(std::nextafter(d, 1e300))) /
        2;
    std::snprintf(buf, sizeof buf, "%.*Le", 16 + int(i % 3), mid);
    double v = 0;
    std::from_chars(buf, buf + std::strlen(buf), v);
    want.push_back(v);
    text += buf;
    text += i % 8 == 7 || i % NCOL == NCOL - 1 ? "\n" : " ";
  }
  test::write_file("mid.txt", text);
  auto a = std::make_unique<CellArray>();
  readreal(in, "mid.txt", *a, NROW, NCOL, 0);
  int diff = 0;
  for (int i = 0; i < NCELL; ++i)
    diff += std::bit_cast<std::uint64_t>((*a)[std::size_t(i)]) !=
            std::bit_cast<std::uint64_t>(want[std::size_t(i)]);
  EXPECT_EQ(diff, 0);
}

// Where the runtime's reading is not followed, on purpose.
TEST_F(FileTest, ReadrealDeparturesFromTheRuntime) {
  // A bare CR ends a record, as in every other file: the runtime would
  // take the CR as a blank and skip to the next LF, losing the row 4 5 6.
  test::write_file("cr.txt", "1 2 3\r4 5 6\n7 8 9\n");
  std::vector<double> a(6, U);
  readreal(in, "cr.txt", a, 2, 3, 0);
  EXPECT_EQ(a, (std::vector<double>{1, 2, 3, 4, 5, 6}));
  // A file of bare CR line ends reads row by row (the runtime fails on it).
  test::write_file("cr.txt", "1 2 3\r4 5 6\r");
  a.assign(6, U);
  readreal(in, "cr.txt", a, 2, 3, 0);
  EXPECT_EQ(a, (std::vector<double>{1, 2, 3, 4, 5, 6}));
  // A slash or an "r*" at the very end of a file without a final line end
  // ends the list like anywhere else (the runtime reports end of file).
  test::write_file("end.txt", "1 2 /");
  a.assign(3, U);
  readreal(in, "end.txt", a, 1, 3, 0);
  EXPECT_EQ(a, (std::vector<double>{1, 2, U}));
  test::write_file("end.txt", "1 2*");
  a.assign(3, U);
  readreal(in, "end.txt", a, 1, 3, 0);
  EXPECT_EQ(a, (std::vector<double>{1, U, U}));
}

// ---- The real-array reader and the reporters -------------------------------

struct ListCase {
  const char *text;
  int rows;
  std::vector<double> want; // rows * 3 values
};

TEST_F(FileTest, ReadrealListForms) {
  const ListCase cases[] = {
      {"1 2 3\n4 5 6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1 2 3\n4,5\n6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1,2,3\n4 , 5 ,6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1 2\n3\n4,5\n6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1.\n5 6\n", 1, {1, 5, 6}},
      {"3*1.5\n2*7 8\n", 2, {1.5, 1.5, 1.5, 7, 7, 8}},
      {"1,,3\n,5,6\n", 2, {1, U, 3, U, 5, 6}},
      {"2* 3\n2*,3\n", 2, {U, U, 3, U, U, 3}},
      {"3*\n4 5 6\n", 2, {U, U, U, 4, 5, 6}},
      {"1 /\n4 5 6\n", 2, {1, U, U, 4, 5, 6}},
      {"1 2 3 / comment 9 9\n4 5 6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"/\n4 5 6\n", 2, {U, U, U, 4, 5, 6}},
      {"1 2/\n4 5 6\n", 2, {1, 2, U, 4, 5, 6}},
      {"1.5D2 1.5d-2 2.5E+1\n1.5+2 1.5-2 .5\n",
       2,
       {150, 0.015, 25, 150, 0.015, 0.5}},
      {"1e-400 7 +5\n", 1, {0, 7, 5}},
      {"1 2 3", 1, {1, 2, 3}},
      {"1\t2\t3\n\t4\t 5 \t6\t\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1,2,3,\n4,5,6,\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1,2,\n3\n", 1, {1, 2, 3}},
      {"1,\n,3\n", 1, {1, U, 3}},
      {",2,3\n", 1, {U, 2, 3}},
      {"1 2 3 4 5\n6 7 8\n", 2, {1, 2, 3, 6, 7, 8}},
      {"1 2 3\n\n4 5 6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1 2 3\r\n4 5 6\r\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1\r2 3 9\n4 5 6\n", 2, {1, 2, 3, 4, 5, 6}},
      {"1;2;3\n", 1, {1, 2, 3}},
      {"1,5 2,5\n", 1, {1, 5, 2}},
      {"12-5 1950-01 3\n", 1, {1.2e-4, 195, 3}},
      {"5*2\n", 1, {2, 2, 2}},
      {"2*1 2*2\n", 1, {1, 1, 2}},
  };
  for (const ListCase &c : cases) {
    test::write_file("grid.txt", c.text);
    std::vector<double> a(std::size_t(c.rows) * 3, U);
    ASSERT_NO_THROW(readreal(in, "grid.txt", a, c.rows, 3, 0)) << c.text;
    EXPECT_EQ(a, c.want) << c.text;
    EXPECT_FALSE(in.is_open()) << "the file is closed again";
  }
  close_report();
  std::remove("fort.2");
  test::write_file("grid.txt", "7 -0 +5\n");
  std::vector<double> a(3, U);
  readreal(in, "grid.txt", a, 1, 3, 0);
  EXPECT_TRUE(std::signbit(a[1]));
  EXPECT_FALSE(file_exists("fort.2")) << "a good read reports nothing";

  // Values a row leaves on its last line, or after the last row, shift
  // every later value: reported once per file with the row and the count.
  const struct {
    const char *text, *said;
  } left[] = {
      {"1 2 3 4 5\n6 7 8 9\n", "grid.txt, row 1, 2 values"},
      {"1 2\n3,4\n5 6 7\n", "grid.txt, row 1, 1 value"},
      {"1 2 3\n4 5 6\n\n7 8\n", "grid.txt, after row 2, 2 values"},
      {"1 2 3 / 9 9\n4 5 6 /\n", ""},
  };
  for (const auto &c : left) {
    test::write_file("grid.txt", c.text);
    std::vector<double> b(6, U);
    testing::internal::CaptureStderr();
    readreal(in, "grid.txt", b, 2, 3, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              *c.said ? std::string(msg::LEFTOVER_VALUES) + c.said + "\n" : "")
        << c.text;
  }
}

// A slash before a row's last value leaves the rest of the row unread:
// reported once per file, at the first such row, with its column; a slash
// after the last value, or none, is no report. Under strict runs the report
// ends the run.
TEST_F(FileTest, ReadrealReportsASlashThatCutsARow) {
  const struct {
    const char *text, *said;
  } cases[] = {
      {"1 2 / 9\n4 5 6\n7 8 9\n", "grid.txt, row 1, column 3"},
      {"1 2 3\n4 5 6\n7 /\n", "grid.txt, row 3, column 2"},
      {"1 2 3\n/\n7 8 9\n", "grid.txt, row 2, column 1"},
      {"1 2 3\n4 / 6\n7 8 /\n", "grid.txt, row 2, column 2"},
      {"1 2\n/\n4 5 6\n7 8 9\n", "grid.txt, row 1, column 3"},
      {"1 2 3 /\n4 5 6/\n7 8 9 / 1\n", ""},
      {"1 2 3\n4 5 6\n7 8 9\n", ""},
  };
  for (const auto &c : cases) {
    close_report();
    std::remove("fort.2");
    test::write_file("grid.txt", c.text);
    std::vector<double> a(9, U);
    testing::internal::CaptureStderr();
    readreal(in, "grid.txt", a, 3, 3, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    close_report();
    if (*c.said) {
      EXPECT_EQ(err, std::string(msg::SLASH_CUTS_ROW) + c.said + "\n")
          << c.text;
      EXPECT_EQ(test::read_file("fort.2"),
                " WARNING: " + std::string(msg::SLASH_CUTS_ROW) + c.said + "\n")
          << c.text;
    } else {
      EXPECT_EQ(err, "") << c.text;
      EXPECT_FALSE(file_exists("fort.2")) << c.text;
    }
  }
  // The values after the slash are not read.
  test::write_file("grid.txt", "1 / 3\n4 5 6\n7 8 9\n");
  std::vector<double> a(9, U);
  testing::internal::CaptureStderr();
  readreal(in, "grid.txt", a, 3, 3, 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(a, (std::vector<double>{1, U, U, 4, 5, 6, 7, 8, 9}));

  reset_reports();
  end_on_report(true);
  testing::internal::CaptureStderr();
  EXPECT_THROW(readreal(in, "grid.txt", a, 3, 3, 0), RunEnd);
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(in.is_open());
  reset_reports();
}

TEST_F(FileTest, ReadrealSkipsHeaderLines) {
  test::write_file("g.txt", "header 1\nheader, 2 / x\n1 2\n3 4\n");
  std::vector<double> a(4, U);
  readreal(in, "g.txt  ", a, 2, 2, 2);
  EXPECT_EQ(a, (std::vector<double>{1, 2, 3, 4}));
}

TEST_F(FileTest, ReadrealFailuresEndTheRun) {
  EXPECT_EQ(ends_run(in, "data/none.txt", 1, 3, 0),
            " Error opening file data/none.txt\n");
  EXPECT_EQ(ends_run(in, "", 1, 3, 0), " Error opening file  \n")
      << "a blank name is refused and kept as one blank";

  test::write_file("h.txt", "only one line\n");
  EXPECT_EQ(ends_run(in, "h.txt", 1, 3, 2),
            " Error reading file header h.txt\n");

  // Bad values, values the runtime would take as zero, NaN or infinity,
  // repeat counts and quotes it refuses, and a file too short.
  const char *bad[] = {"1 abc 3\n",   "1 2 x\n",     "1 2\n",       "",
                       "0*1.5 2 3\n", "'1.5' 2 3\n", "1 2 ! 3\n",   "1 . 3\n",
                       "nan 1 2\n",   "1 Inf 2\n",   "1e400 1 2\n", "+ 1 2\n",
                       "*3 1 2\n",    "2*x 3\n",     "a*1 2 3\n"};
  for (const char *t : bad) {
    test::write_file("bad.txt", t);
    EXPECT_EQ(ends_run(in, "bad.txt", 1, 3, 0), " Error reading file bad.txt\n")
        << t;
  }
  // An array too small for the rows asked for ends the run before anything
  // is read or written past its end.
  test::write_file("g.txt", "1 2 3\n4 5 6\n");
  std::vector<double> small(5, U);
  std::remove("fort.2");
  testing::internal::CaptureStderr();
  EXPECT_THROW(readreal(in, "g.txt", small, 2, 3, 0), RunEnd);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Array too small for file g.txt\n");
  close_report();
  EXPECT_EQ(test::read_file("fort.2"), " Array too small for file g.txt\n");
  EXPECT_EQ(small, std::vector<double>(5, U));

  // The second row is the one that fails.
  test::write_file("bad.txt", "1 2 3\n4 5\n");
  EXPECT_EQ(ends_run(in, "bad.txt", 2, 3, 0), " Error reading file bad.txt\n");
}
} // namespace
} // namespace quon

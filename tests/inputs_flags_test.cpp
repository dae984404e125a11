// inputs_flags_test.cpp - zone grid files: the "*" shorthand, header names
// and limits, the one- and two-character row layouts, and every way a grid
// file ends the run.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

#include "files.h"
#include "inputs.h"
#include "reporters.h"
#include "testutil.h"

namespace quon {
namespace {

using test::read_file;
using test::write_file;

// A grid file: an optional header line, then the given rows; rows not given
// are written as empty lines up to `nrows` lines in all.
void grid_file(const std::string &name, const std::string *header,
               const std::vector<std::string> &rows, int nrows = NROW) {
  std::string text;
  if (header)
    text += *header + "\n";
  for (int r = 0; r < nrows; ++r)
    text += (r < int(rows.size()) ? rows[r] : std::string()) + "\n";
  write_file(name, text);
}

class ReadFlags : public test::InTempDir {
protected:
  InFile in;
  std::unique_ptr<ZoneGrid> grid = std::make_unique<ZoneGrid>();
  std::array<Name, MAXSOIL> names;
  std::array<Text<SUBNAMELEN>, MAXSUBAREA + 1> subnames;
  int count = -7;

  void read(const std::string &file, int limit) {
    readflags<NAMELEN>(in, file, *grid, NROW, NCOL, std::span<Name>(names),
                       count, limit);
  }
  int at(int c, int r) const { return (*grid)[cell(c, r)]; }

  // Runs f, which must end the run, and returns the report file's text.
  // The same text goes to standard error.
  template <class F> std::string ending(F f) {
    testing::internal::CaptureStderr();
    try {
      f();
    } catch (const RunEnd &e) {
      const std::string console = testing::internal::GetCapturedStderr();
      EXPECT_EQ(e.status, 1);
      close_report();
      const std::string report = read_file("fort.2");
      EXPECT_NE(console.find(report.substr(1, report.size() - 2)),
                std::string::npos)
          << console;
      return report;
    }
    testing::internal::GetCapturedStderr();
    ADD_FAILURE() << "the run did not end";
    return {};
  }
};

TEST_F(ReadFlags, StarMakesEveryCellOneWithoutAFile) {
  // A real file called "*" must not be read.
  write_file("*", "garbage\n");
  grid->fill(5);
  read("*", 9);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(names[0].full(), "*               ");
  for (int v : *grid)
    ASSERT_EQ(v, 1);

  // The same for a grid without names, and with trailing blanks.
  grid->fill(0);
  count = 0;
  names[0].set("old");
  read("*      ", 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(names[0].trimmed(), "*");
  EXPECT_EQ(at(1, 1), 1);
  EXPECT_EQ(at(NCOL, NROW), 1);
  EXPECT_FALSE(std::filesystem::exists("fort.2"));
}

TEST_F(ReadFlags, NineNamesReadOneCharacterACell) {
  const std::string header = "a b c d e f g h i";
  std::string row1(NCOL, '0');
  row1[0] = '9';
  row1[1] = '1';
  row1[NCOL - 1] = '7';
  grid_file("g.txt", &header, {row1, "", " 2 3"});
  read("g.txt", 9);
  EXPECT_EQ(count, 9);
  EXPECT_EQ(names[0].trimmed(), "a");
  EXPECT_EQ(names[8].trimmed(), "i");
  EXPECT_EQ(at(1, 1), 9);
  EXPECT_EQ(at(2, 1), 1);
  EXPECT_EQ(at(NCOL, 1), 7);
  // Blank fields and fields past the end of a short line are 0.
  EXPECT_EQ(at(1, 3), 0);
  EXPECT_EQ(at(2, 3), 2);
  EXPECT_EQ(at(3, 3), 0);
  EXPECT_EQ(at(4, 3), 3);
  EXPECT_EQ(at(5, 3), 0);
  EXPECT_EQ(at(NCOL, NROW), 0);
}

TEST_F(ReadFlags, TenNamesReadTwoCharactersACell) {
  // Ten names switch to two-character fields even when every value is a
  // single digit.
  std::array<Text<SUBNAMELEN>, MAXSUBAREA + 1> sub;
  const std::string header = "n1 n2 n3 n4 n5 n6 n7 n8 n9 n10";
  grid_file("sub.txt", &header, {" 1 210", "10 9", "1"});
  readflags<SUBNAMELEN>(in, "sub.txt", *grid, NROW, NCOL,
                        std::span(sub).subspan(1), count, MAXSUBAREA);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(sub[0].trimmed(), ""); // entry 0 belongs to the caller
  EXPECT_EQ(sub[1].trimmed(), "n1");
  EXPECT_EQ(sub[10].trimmed(), "n10");
  EXPECT_EQ(at(1, 1), 1);
  EXPECT_EQ(at(2, 1), 2);
  EXPECT_EQ(at(3, 1), 10);
  EXPECT_EQ(at(1, 2), 10);
  EXPECT_EQ(at(2, 2), 9);
  EXPECT_EQ(at(1, 3), 1); // a half field is read as it stands
}

TEST_F(ReadFlags, HeaderWordsAndNameWidths) {
  // Quoted names hold blanks; a long name keeps its leading characters.
  const std::string header =
      "\"Upper Basin\" ABCDEFGHIJKLMNOPQRST \"\"  last\tword";
  grid_file("g.txt", &header, {"12345"});
  read("g.txt", 9);
  // A tab separates words like a blank.
  EXPECT_EQ(count, 5);
  EXPECT_EQ(names[0].trimmed(), "Upper Basin");
  EXPECT_EQ(names[1].full(), "ABCDEFGHIJKLMNOP");
  EXPECT_TRUE(names[2].blank());
  EXPECT_EQ(names[3].trimmed(), "last");
  EXPECT_EQ(names[4].trimmed(), "word");
  EXPECT_EQ(at(5, 1), 5);

  // Bytes outside ASCII stay inside their names (UTF-8 letters).
  const std::string utf8 = "R\xC3\xADo \"R\xC3\xADo Platte\"\tS\xC3\xBC"
                           "d";
  grid_file("u.txt", &utf8, {"123"});
  read("u.txt", 9);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(names[0].trimmed(), "R\xC3\xADo");
  EXPECT_EQ(names[1].trimmed(), "R\xC3\xADo Platte");
  EXPECT_EQ(names[2].trimmed(), "S\xC3\xBC"
                                "d");

  // Sub-area names are 10 characters wide.
  grid_file("s.txt", &header, {});
  readflags<SUBNAMELEN>(in, "s.txt", *grid, NROW, NCOL,
                        std::span(subnames).subspan(1), count, MAXSUBAREA);
  EXPECT_EQ(subnames[2].full(), "ABCDEFGHIJ");

  // Only the first 4096 characters of the header count: a word running
  // over the edge is cut there, words beyond it do not exist.
  const std::string wide = std::string(4090, ' ') + "ABCDEFGHIJ ZZ";
  grid_file("w.txt", &wide, {"1"});
  read("w.txt", 9);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(names[0].trimmed(), "ABCDEF");
}

TEST_F(ReadFlags, EmptyHeaderAllowsOnlyZeros) {
  const std::string header = "   ";
  grid_file("g.txt", &header, {"000 0"});
  read("g.txt", 9);
  EXPECT_EQ(count, 0);

  grid_file("bad.txt", &header, {"0001"});
  EXPECT_EQ(ending([&] { read("bad.txt", 9); }),
            " Zone out of range in file bad.txt\n");
}

TEST_F(ReadFlags, TooManyNames) {
  const std::string ten = "a b c d e f g h i j";
  grid_file("soil.txt", &ten, {});
  EXPECT_EQ(ending([&] { read("soil.txt", 9); }),
            " Too many zones in soil.txt\n");

  // A limit of one (mound cells) refuses a second name.
  const std::string two = "mound other";
  grid_file("mound.txt", &two, {});
  EXPECT_EQ(ending([&] { read("mound.txt", 1); }),
            " Too many zones in mound.txt\n");
  EXPECT_EQ(names[0].trimmed(), "mound");
}

TEST_F(ReadFlags, MissingOrBadRowsEndTheRun) {
  const std::string header = "a b";
  grid_file("short.txt", &header, {}, NROW - 1);
  EXPECT_EQ(ending([&] { read("short.txt", 9); }),
            " Error reading file short.txt\n");

  // A range fault is only reported once the whole file has been read: a
  // missing last row wins over a bad value in row 1.
  grid_file("both.txt", &header, {"3"}, NROW - 1);
  EXPECT_EQ(ending([&] { read("both.txt", 9); }),
            " Error reading file both.txt\n");
  grid_file("range.txt", &header, {"0", "", "1 2 3"});
  EXPECT_EQ(ending([&] { read("range.txt", 9); }),
            " Zone out of range in file range.txt\n");

  for (const char *row : {"01a", "0\t1", "-", "1+", " - 5"}) {
    grid_file("bad.txt", nullptr, {"", row});
    EXPECT_EQ(ending([&] { read("bad.txt", 0); }),
              " Error reading file bad.txt\n")
        << "row " << row;
  }
}

TEST_F(ReadFlags, MissingFileOrHeader) {
  EXPECT_EQ(ending([&] { read("none.txt", 9); }),
            " Error opening file none.txt\n");
  // A blank name opens no file.
  EXPECT_EQ(ending([&] { read("   ", 0); }), " Error opening file  \n");
  write_file("empty.txt", "");
  EXPECT_EQ(ending([&] { read("empty.txt", 9); }),
            " Error reading file empty.txt\n");
}

TEST_F(ReadFlags, NoNamesTwoCharacterFieldsUnchecked) {
  // No header: two characters a cell, signs allowed, nothing checked, the
  // names and count left alone.
  names[0].set("keep");
  count = 4;
  std::string row1 = "-1 5-9+7- 12 3";
  row1.resize(2 * NCOL, '8');
  row1 += "77"; // the 327th field is ignored
  grid_file("ib.txt", nullptr, {row1, "1,23 5 5", ",1234"});
  // Lines after the last row are ignored.
  write_file("ib.txt", read_file("ib.txt") + "xx\n");
  read("ib.txt", 0);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(names[0].trimmed(), "keep");
  EXPECT_EQ(at(1, 1), -1);
  EXPECT_EQ(at(2, 1), 5);
  EXPECT_EQ(at(3, 1), -9);
  EXPECT_EQ(at(4, 1), 7);
  EXPECT_EQ(at(5, 1), 0); // "- " is a sign then a blank
  EXPECT_EQ(at(6, 1), 12);
  EXPECT_EQ(at(7, 1), 3);
  EXPECT_EQ(at(NCOL, 1), 88);
  // A comma ends its field and moves the following fields along.
  EXPECT_EQ(at(1, 2), 1);
  EXPECT_EQ(at(2, 2), 23);
  EXPECT_EQ(at(3, 2), 5);
  EXPECT_EQ(at(1, 3), 0);
  EXPECT_EQ(at(2, 3), 12);
  EXPECT_EQ(at(3, 3), 34);
}

// Rows of random characters read by quon and by the Fortran runtime with
// (999I1) and (999I2): the same values, and a failure exactly where the
// runtime fails.
TEST_F(ReadFlags, RowsMatchTheFortranRuntime) {
  const std::string ref = std::string(QUON_FORTRAN_BIN) + "/fref_zonerow";
  if (!std::filesystem::exists(ref))
    GTEST_SKIP() << "no Fortran reference program";
  std::mt19937 rng(12345);
  const std::string common = "0123456789          ";
  const std::string rare = "-+,\ta.";
  const int ncase = 300;
  std::vector<std::string> lines;
  for (int k = 0; k < ncase; ++k) {
    std::string s;
    const int len = int(rng() % 720);
    const int noise = int(rng() % 4); // 0: none .. 3: often
    for (int i = 0; i < len; ++i) {
      if (noise > 0 && rng() % (400 / noise) == 0)
        s += rare[rng() % rare.size()];
      else
        s += common[rng() % common.size()];
    }
    lines.push_back(s);
  }
  for (int w : {1, 2}) {
    std::string list;
    const std::string header = "a b c d e f g h i";
    for (int k = 0; k < ncase; ++k) {
      const std::string f = "c" + std::to_string(w) + "_" + std::to_string(k);
      grid_file(f, w == 1 ? &header : nullptr, {lines[k]});
      list += f + "\n";
    }
    write_file("list.txt", list);
    const std::string cmd = ref + " list.txt " + std::to_string(w) + " " +
                            (w == 1 ? "1" : "0") + " > out.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::istringstream out(read_file("out.txt"));
    int failures = 0;
    for (int k = 0; k < ncase; ++k) {
      int ios = -1;
      std::array<int, NCOL> v;
      out >> ios;
      for (int &x : v)
        out >> x;
      ASSERT_TRUE(out) << "short reference output";
      const std::string f = "c" + std::to_string(w) + "_" + std::to_string(k);
      bool ended = false;
      testing::internal::CaptureStderr();
      try {
        read(f, w == 1 ? 9 : 0);
      } catch (const RunEnd &) {
        ended = true;
        close_report();
      }
      testing::internal::GetCapturedStderr();
      ASSERT_EQ(ended, ios != 0) << "w=" << w << " line '" << lines[k] << "'";
      if (ended) {
        ++failures;
        continue;
      }
      for (int c = 1; c <= NCOL; ++c)
        ASSERT_EQ(at(c, 1), v[c - 1])
            << "w=" << w << " column " << c << " line '" << lines[k] << "'";
    }
    // Both outcomes must have been exercised.
    EXPECT_GT(failures, 10);
    EXPECT_LT(failures, ncase - 10);
  }
}

} // namespace
} // namespace quon

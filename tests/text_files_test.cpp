// Tests of the file classes: record splitting, put-back, raw reads, and
// buffered output and its failures.

#include "files.h"

#include "reporters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testutil.h"

namespace quon {
namespace {

class FileTest : public test::InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }

  // Every record of a file, as next() hands them out.
  static std::vector<std::string> records(const std::string &name) {
    InFile f;
    EXPECT_TRUE(f.open(name));
    std::vector<std::string> out;
    std::string_view r;
    while (f.next(r))
      out.emplace_back(r);
    EXPECT_FALSE(f.next(r)) << "end of file must stay the end";
    return out;
  }
};

using V = std::vector<std::string>;

TEST_F(FileTest, LineEndsOfEveryKind) {
  test::write_file("lf", "a\nbc\n\nd\n");
  EXPECT_EQ(records("lf"), (V{"a", "bc", "", "d"}));
  test::write_file("crlf", "a\r\nbc\r\n\r\nd\r\n");
  EXPECT_EQ(records("crlf"), (V{"a", "bc", "", "d"}));
  // A bare CR ends a record; CR CR is an empty record between two ends.
  test::write_file("cr", "a\rb\n01\r\r3\nx\r");
  EXPECT_EQ(records("cr"), (V{"a", "b", "01", "", "3", "x"}));
  // The last record without a line end is still a record; tabs are kept.
  test::write_file("nolf", "1 2\na\tb");
  EXPECT_EQ(records("nolf"), (V{"1 2", "a\tb"}));
  test::write_file("empty", "");
  EXPECT_EQ(records("empty"), V{});
  test::write_file("onelf", "\n");
  EXPECT_EQ(records("onelf"), V{""});
}

TEST_F(FileTest, RecordsAcrossBufferRefills) {
  // Lines of many lengths and all three line ends, long enough to need
  // several buffer fills, with line ends falling on every offset.
  std::string text;
  V want;
  const char *ends[] = {"\n", "\r\n", "\r"};
  std::size_t seed = 12345;
  while (text.size() < 3 * InFile::BUFSIZE + 777) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::size_t len = (seed >> 33) % 5000;
    std::string line(len, char('a' + want.size() % 26));
    want.push_back(line);
    text += line;
    text += ends[(seed >> 20) % 3];
  }
  test::write_file("big", text);
  EXPECT_EQ(records("big"), want);
}

TEST_F(FileTest, CrLfSplitByTheBufferEnd) {
  // The CR is the last byte of the first fill and the LF the first of the
  // next: together they are one line end, not an empty record.
  std::string first(InFile::BUFSIZE - 1, 'x');
  test::write_file("split", first + "\r\nnext\n");
  const V got = records("split");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], first);
  EXPECT_EQ(got[1], "next");
}

TEST_F(FileTest, OverlongRecordIsCutAndTheRestSkipped) {
  std::string huge(InFile::BUFSIZE + 100, 'y');
  huge[InFile::BUFSIZE - 1] = 'z';
  test::write_file("long", "a\n" + huge + "\r\nafter\n");
  const V got = records("long");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], "a");
  EXPECT_EQ(got[1].size(), InFile::BUFSIZE);
  EXPECT_EQ(got[1].back(), 'z');
  EXPECT_EQ(got[2], "after");
}

// A line up to MAXRECORD bytes is cut and skipped; one byte more, or a file
// that never ends a line, ends the run with a record naming the file.
TEST_F(FileTest, LineBeyondTheBoundEndsTheRun) {
  struct Case {
    std::string name;
    std::size_t zeros; // NUL bytes before the line end
    bool ends;
  };
  const Case cases[] = {{"exact", MAXRECORD, false},
                        {"over", MAXRECORD + 1, true},
                        {"/dev/zero", 0, true}};
  for (const Case &c : cases) {
    if (c.name[0] != '/') {
      test::write_file(c.name, "");
      std::filesystem::resize_file(c.name, c.zeros); // sparse, fast
      std::ofstream(c.name, std::ios::app) << "\nnext\n";
    } else if (!std::filesystem::exists(c.name)) {
      continue;
    }
    close_report();
    std::filesystem::remove("fort.2");
    InFile f;
    ASSERT_TRUE(f.open(c.name));
    std::string_view r;
    ASSERT_TRUE(f.next(r)) << c.name;
    EXPECT_EQ(r.size(), InFile::BUFSIZE) << c.name;
    testing::internal::CaptureStderr();
    bool ended = false;
    try {
      EXPECT_TRUE(f.next(r));
      EXPECT_EQ(r, "next") << c.name;
    } catch (const RunEnd &e) {
      ended = true;
      EXPECT_EQ(e.status, 1);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    close_report();
    EXPECT_EQ(ended, c.ends) << c.name;
    if (c.ends) {
      EXPECT_EQ(err, "Line longer than 64 MiB in file " + c.name + "\n");
      EXPECT_EQ(test::read_file("fort.2"),
                " Line longer than 64 MiB in file " + c.name + "\n");
    }
  }
}

TEST_F(FileTest, BackspaceGivesTheSameRecordAgain) {
  test::write_file("b", "one\ntwo\nthree");
  InFile f;
  ASSERT_TRUE(f.open("b"));
  std::string_view r;
  ASSERT_TRUE(f.next(r));
  ASSERT_TRUE(f.next(r));
  EXPECT_EQ(r, "two");
  f.backspace();
  ASSERT_TRUE(f.next(r));
  EXPECT_EQ(r, "two");
  ASSERT_TRUE(f.next(r));
  EXPECT_EQ(r, "three");
  // At the end: put-back and read give the end again.
  EXPECT_FALSE(f.next(r));
  f.backspace();
  EXPECT_FALSE(f.next(r));
  EXPECT_FALSE(f.next(r));
}

TEST_F(FileTest, RawReadsOfUnformattedRecords) {
  // A framed record of two doubles: length, data, length.
  const std::int32_t len = 16;
  const double d[2] = {1.5, -2.25};
  std::string bytes(reinterpret_cast<const char *>(&len), 4);
  bytes.append(reinterpret_cast<const char *>(d), 16);
  bytes.append(reinterpret_cast<const char *>(&len), 4);
  test::write_file("u", bytes);
  InFile f;
  ASSERT_TRUE(f.open("u"));
  std::int32_t m = 0;
  double got[2] = {0, 0};
  ASSERT_EQ(f.read_raw(&m, 4), 4u);
  EXPECT_EQ(m, 16);
  ASSERT_EQ(f.read_raw(got, 16), 16u);
  EXPECT_EQ(got[0], 1.5);
  EXPECT_EQ(got[1], -2.25);
  ASSERT_EQ(f.read_raw(&m, 4), 4u);
  EXPECT_EQ(m, 16);
  char c;
  EXPECT_EQ(f.read_raw(&c, 1), 0u);

  // A file cut short: the count says how much was there, and it is kept.
  test::write_file("cut", bytes.substr(0, 10));
  ASSERT_TRUE(f.open("cut"));
  char buf[24] = {};
  EXPECT_EQ(f.read_raw(buf, 24), 10u);
  EXPECT_EQ(std::string(buf, 10), bytes.substr(0, 10));

  // Skipping counts the same way, also beyond one buffer's worth.
  std::string big(InFile::BUFSIZE + 100, 'x');
  big.replace(InFile::BUFSIZE + 10, 4, "mark");
  test::write_file("big", big);
  ASSERT_TRUE(f.open("big"));
  EXPECT_EQ(f.skip_raw(InFile::BUFSIZE + 10), InFile::BUFSIZE + 10);
  ASSERT_EQ(f.read_raw(buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "mark");
  EXPECT_EQ(f.skip_raw(1000), 86u);
}

TEST_F(FileTest, OpeningByName) {
  test::write_file("data.txt", "x\n");
  InFile f;
  EXPECT_FALSE(f.open(""));
  EXPECT_FALSE(f.open("        "));
  EXPECT_FALSE(f.is_open());
  EXPECT_FALSE(f.open("missing.txt"));
  std::filesystem::create_directory("dir");
  EXPECT_FALSE(f.open("dir")) << "a directory is not a readable file";
  // Trailing blanks of a name (a fixed-width field) are not part of it.
  ASSERT_TRUE(f.open("data.txt     "));
  EXPECT_EQ(f.name(), "data.txt");
  std::string_view r;
  ASSERT_TRUE(f.next(r));
  EXPECT_EQ(r, "x");
  f.close();
  EXPECT_FALSE(f.is_open());
  EXPECT_FALSE(f.next(r));

  EXPECT_TRUE(file_exists("data.txt   "));
  EXPECT_TRUE(file_exists("dir"));
  EXPECT_FALSE(file_exists("missing.txt"));
  EXPECT_FALSE(file_exists("   "));

  OutFile o;
  EXPECT_FALSE(o.open("   "));
  EXPECT_FALSE(o.open("nodir/out.txt"));
  EXPECT_TRUE(o.close()) << "closing a file never opened is no failure";
}

TEST_F(FileTest, OutputReplacesOrAppends) {
  test::write_file("o.txt", "old contents\n");
  {
    OutFile o(8); // tiny buffer: every path through the flushes is taken
    ASSERT_TRUE(o.open("o.txt  "));
    EXPECT_EQ(o.name(), "o.txt");
    o.write("abc");
    o.put('d');
    o.endl();
    o.write("a text longer than the buffer\n");
    char *p = o.reserve(5);
    std::memcpy(p, "12345", 5);
    o.commit(p + 5);
    o.endl();
    EXPECT_TRUE(o.close());
  }
  EXPECT_EQ(test::read_file("o.txt"),
            "abcd\na text longer than the buffer\n12345\n");
  {
    OutFile o;
    ASSERT_TRUE(o.open("o.txt", true));
    o.write("more\n");
    EXPECT_TRUE(o.flush());
    o.write("last\n");
  } // the destructor closes and writes the rest
  EXPECT_EQ(test::read_file("o.txt"),
            "abcd\na text longer than the buffer\n12345\nmore\nlast\n");
  {
    OutFile o;
    ASSERT_TRUE(o.open("new.txt", true)) << "append creates a missing file";
    o.write("x\n");
  }
  EXPECT_EQ(test::read_file("new.txt"), "x\n");
}

TEST_F(FileTest, FailedWritesAreRemembered) {
  OutFile o(16);
  ASSERT_TRUE(o.open("/dev/full"));
  o.write("some text\n");
  EXPECT_FALSE(o.failed()) << "nothing has reached the device yet";
  EXPECT_FALSE(o.flush());
  EXPECT_TRUE(o.failed());
  o.write("more\n");
  EXPECT_FALSE(o.flush()) << "a failure is not forgotten by a later flush";
  EXPECT_FALSE(o.close());

  // Writes that spill from the buffer fail the same way.
  ASSERT_TRUE(o.open("/dev/full"));
  EXPECT_FALSE(o.failed()) << "a new file starts without failure";
  for (int i = 0; i < 10; ++i)
    o.write("0123456789");
  EXPECT_TRUE(o.failed());
  EXPECT_FALSE(o.close());

  ASSERT_TRUE(o.open("fine.txt"));
  o.write("ok\n");
  EXPECT_TRUE(o.close());
  EXPECT_EQ(test::read_file("fine.txt"), "ok\n");
}
} // namespace
} // namespace quon

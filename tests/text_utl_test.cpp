// Tests of the line scanners, the number conversions (against the Fortran
// runtime the model's files are written for), the free-format real-array
// reader and the error reporters.

#include "utl.h"

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

#include "io.h"
#include "messages.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

class FileTest : public test::InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }
  InFile in;
};

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

// ---- Lines and words --------------------------------------------------------

TEST(Linefix, ControlCharactersBecomeBlanksUtf8Stays) {
  std::string s = "\t#x\x7f\x80y\r";
  EXPECT_EQ(linefix(s), 0) << "the tab is the first character, not the #";
  EXPECT_EQ(s, " #x \x80y ");
  s = "WELL\tqu\xC3\xB6n.wel \"R\xC3\xADo Platte\"\xFF";
  EXPECT_EQ(linefix(s), 0);
  EXPECT_EQ(s, "WELL qu\xC3\xB6n.wel \"R\xC3\xADo Platte\"\xFF");
  s = "\xC2\xA0";
  EXPECT_EQ(linefix(s), 0) << "a no-break space is not a blank";
  s = "# comment\t";
  EXPECT_EQ(linefix(s), 1);
  s = " \t \t\x01 ";
  EXPECT_EQ(linefix(s), -1);
  EXPECT_EQ(s, "      ");
  s = "";
  EXPECT_EQ(linefix(s), -1);
  s = "~ }";
  EXPECT_EQ(linefix(s), 0);
  EXPECT_EQ(s, "~ }") << "characters up to 126 stay";
}

TEST(Length, LastNonBlank) {
  EXPECT_EQ(length0("    "), 0);
  EXPECT_EQ(length("    "), 1);
  EXPECT_EQ(length0(""), 0);
  EXPECT_EQ(length(""), 1);
  EXPECT_EQ(length0(" ab c  "), 5);
  EXPECT_EQ(length(" ab c  "), 5);
  EXPECT_EQ(length0("x"), 1);
}

TEST(Uppercase, OnlyLettersAToZ) {
  std::string s = "aZz09 {|}~`@[co]";
  uppercase(s);
  EXPECT_EQ(s, "AZZ09 {|}~`@[CO]");
}

TEST(Eol, SkipsBlanksOnly) {
  int pos = 1;
  EXPECT_FALSE(eol("   x ", pos));
  EXPECT_EQ(pos, 4);
  pos = 5;
  EXPECT_TRUE(eol("   x ", pos));
  EXPECT_EQ(pos, 6);
  pos = 1;
  EXPECT_TRUE(eol("", pos));
  EXPECT_EQ(pos, 1);
}

// A word read by charin, with its flag and the position after it.
struct Got {
  std::string word;
  int err, pos;
};
Got word_at(std::string_view line, int start) {
  Word w;
  w.set("garbage");
  Got g{"", 99, -5};
  charin(w, line, start, g.pos, g.err);
  g.word = std::string(w.trimmed());
  EXPECT_EQ(w.full().substr(g.word.size()),
            std::string(WORDLEN - g.word.size(), ' '))
      << "the word must be blank-padded";
  return g;
}

TEST(Charin, WordsAndQuotes) {
  Got g = word_at("  IBOUND  data/ib.txt", 1);
  EXPECT_EQ(g.word, "IBOUND");
  EXPECT_EQ(g.err, 0);
  EXPECT_EQ(g.pos, 9) << "left on the blank after the word";
  g = word_at("  IBOUND  data/ib.txt", g.pos);
  EXPECT_EQ(g.word, "data/ib.txt");
  EXPECT_EQ(g.pos, 22) << "n + 1 at the end of the line";
  g = word_at("  IBOUND  data/ib.txt", g.pos);
  EXPECT_EQ(g.word, "");
  EXPECT_EQ(g.err, -1);

  g = word_at("x     ", 2);
  EXPECT_EQ(g.word, "");
  EXPECT_EQ(g.err, -1);
  EXPECT_EQ(g.pos, 7);

  g = word_at(R"(a "two words" b)", 2);
  EXPECT_EQ(g.word, "two words");
  EXPECT_EQ(g.err, 0);
  EXPECT_EQ(g.pos, 14) << "just after the closing quote";

  g = word_at(R"( "" next)", 1);
  EXPECT_EQ(g.word, "");
  EXPECT_EQ(g.err, 0) << "an empty quoted word is still a word";
  EXPECT_EQ(g.pos, 4);

  g = word_at(R"(  "unclosed word  )", 1);
  EXPECT_EQ(g.word, "");
  EXPECT_EQ(g.err, -1);
  EXPECT_EQ(g.pos, 19);

  g = word_at(R"(ab"cd e)", 1);
  EXPECT_EQ(g.word, R"(ab"cd)") << "a quote inside a word is ordinary";
  EXPECT_EQ(g.pos, 6);

  std::string longword(300, 'w');
  longword[255] = 'L';
  g = word_at(" " + longword + " z", 1);
  EXPECT_EQ(g.word, longword.substr(0, WORDLEN)) << "cut at 256 characters";
  EXPECT_EQ(g.pos, 302) << "but the whole word is passed over";

  g = word_at("abc", 0);
  EXPECT_EQ(g.word, "abc") << "a start before the line begins at 1";
}

TEST(Intin, WordsAsIntegers) {
  int pos = 0, err = 99;
  EXPECT_EQ(intin(" 1950 -12 +7", 1, pos, err), 1950);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(pos, 6);
  EXPECT_EQ(intin(" 1950 -12 +7", pos, pos, err), -12);
  EXPECT_EQ(intin(" 1950 -12 +7", pos, pos, err), 7);
  EXPECT_EQ(pos, 13);
  EXPECT_EQ(intin(" 1950 -12 +7", pos, pos, err), 0);
  EXPECT_EQ(err, -1);

  EXPECT_EQ(intin("1.5", 1, pos, err), 0);
  EXPECT_EQ(err, BADVALUE);
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(intin("x 12abc", 2, pos, err), 0);
  EXPECT_EQ(err, BADVALUE);
  EXPECT_EQ(intin("2147483648", 1, pos, err), 0);
  EXPECT_EQ(err, OVERFLOWED);
  EXPECT_EQ(intin("-2147483648", 1, pos, err), -2147483647 - 1);
  EXPECT_EQ(err, 0);
  // Only the first 32 characters of a word are read.
  EXPECT_EQ(intin(std::string(32, '0') + "17", 1, pos, err), 0);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(pos, 35);
  EXPECT_EQ(intin(std::string(31, '0') + "17", 1, pos, err), 1);
}

TEST(Realin, WordsAsReals) {
  int pos = 0, err = 99;
  EXPECT_EQ(realin("1.5 2 1.5e2", 1, pos, err), 1.5);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(realin("1.5 2 1.5e2", pos, pos, err), 2.0);
  EXPECT_EQ(realin("1.5 2 1.5e2", pos, pos, err), 150.0);
  EXPECT_EQ(realin("1.5 2 1.5e2", pos, pos, err), 0.0);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(pos, 12);
  EXPECT_EQ(realin("  1.5x", 1, pos, err), 0.0);
  EXPECT_EQ(err, BADVALUE);
  EXPECT_EQ(pos, 7);
}

// Conversions of single words. The runtime would read the words of the last
// group as 0, NaN or infinity without complaint; here they are bad numbers.
TEST(Convert, RealSpellings) {
  struct Case {
    const char *word;
    double want;
  };
  const Case good[] = {
      {"15", 15.0},
      {"1.5d2", 150.0},
      {"1.5D-2", 0.015},
      {"1.5q2", 150.0},
      {"1.5Q+2", 150.0},
      {"1.5E+2", 150.0},
      {"1.5+2", 150.0},
      {"1.5-2", 0.015},
      {"12-5", 1.2e-4},
      {"1950-01", 195.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"-.5e1", -5.0},
      {"+1.", 1.0},
      {"1 5", 15.0},
      {"1.5e 2", 150.0},
      {"1e-400", 0.0},
      {"1e-310", 1e-310},
      {"9007199254740993", 9007199254740992.0},
      {"1.7976931348623158e308", std::numeric_limits<double>::max()},
      {"2.4703282292062328e-324", 4.9406564584124654e-324},
      {"1e0000000000000000000002", 100.0},
  };
  for (const Case &c : good) {
    double v = -1.0;
    EXPECT_EQ(convert_real(c.word, v), 0) << c.word;
    EXPECT_EQ(v, c.want) << c.word;
  }
  double v = 1.0;
  ASSERT_EQ(convert_real("-0", v), 0);
  EXPECT_TRUE(std::signbit(v));
  ASSERT_EQ(convert_real("-1e-400", v), 0);
  EXPECT_TRUE(std::signbit(v) && v == 0.0);
  // The first 32 characters only.
  ASSERT_EQ(convert_real("123456789012345678901234567890123", v), 0);
  EXPECT_EQ(v, 1.2345678901234567e31);

  const char *bad[] = {"1,5", "1.5.2",  "Infin",   "0x10",    "1e",     "1e+",
                       "1d",  "1.5ee2", "1.5e2e3", "1.5e2.0", "1.5abc", "abc",
                       "1+",  "1.5+",   "+-",      "'1'"};
  for (const char *w : bad) {
    v = 42.0;
    EXPECT_EQ(convert_real(w, v), BADVALUE) << w;
    EXPECT_EQ(v, 42.0) << "a bad word leaves the value alone: " << w;
  }
  const char *mended[] = {"",
                          "+",
                          "-",
                          ".",
                          "e5",
                          "D2",
                          ".e2",
                          "-.",
                          "-e5",
                          "--1",
                          "nan",
                          "NaN",
                          "-nan",
                          "inf",
                          "infinity",
                          "-Infinity",
                          "1e400",
                          "-1e400",
                          "1.7976931348623159e308",
                          "1e99999999999999"};
  for (const char *w : mended) {
    v = 42.0;
    EXPECT_EQ(convert_real(w, v), BADVALUE) << w;
    EXPECT_EQ(v, 42.0) << w;
  }
}

TEST(Convert, IntegerSpellings) {
  struct Case {
    const char *word;
    int want;
  };
  const Case good[] = {{"12", 12},
                       {"+12", 12},
                       {"-0", 0},
                       {"007", 7},
                       {"1 2", 12},
                       {"- 5", -5},
                       {"2147483647", 2147483647},
                       {"-2147483648", -2147483647 - 1},
                       {"000000000000000000000000000000001", 0}};
  for (const Case &c : good) {
    int v = -1;
    EXPECT_EQ(convert_int(c.word, v), 0) << c.word;
    EXPECT_EQ(v, c.want) << c.word;
  }
  const char *bad[] = {"1.5", "12abc", "abc", "1e3", "12.", "0x10", "1,5", "1,",
                       ",5",  "1-",    "--1", "+",   "-",   "",     "   "};
  for (const char *w : bad) {
    int v = 42;
    EXPECT_EQ(convert_int(w, v), BADVALUE) << '"' << w << '"';
    EXPECT_EQ(v, 42);
  }
  const char *over[] = {"2147483648", "-2147483649",
                        "123456789012345678901234567890123"};
  for (const char *w : over) {
    int v = 42;
    EXPECT_EQ(convert_int(w, v), OVERFLOWED) << w;
    EXPECT_EQ(v, 42);
  }
}

TEST(Instate, StateCodes) {
  auto run = make_run();
  auto state = [&](const char *line, int &err) {
    run->line.set(line);
    run->linelen = int(std::strlen(line));
    run->linepos = 1;
    return instate(*run, err);
  };
  int err = 99;
  EXPECT_EQ(state("ne", err), 3);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(state("  Ks rest", err), 2);
  EXPECT_EQ(run->linepos, 5) << "the line position moves past the word";
  EXPECT_EQ(state("CO", err), 1);
  EXPECT_EQ(state("NEB", err), 0);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(state("COLORADO", err), 0);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(state("C", err), 0);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(state("   ", err), 0);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(state(R"("ne")", err), 3);
}

// ---- Against the runtime ---------------------------------------------------

// Runs a reference program of the Fortran runtime on a file of input and
// returns its output lines.
std::vector<std::string> reference(const std::string &prog,
                                   const std::string &args) {
  const std::string exe = std::string(QUON_FORTRAN_BIN) + "/" + prog;
  std::vector<std::string> out;
  if (!std::filesystem::exists(exe)) {
    ADD_FAILURE() << "reference program missing: " << exe;
    return out;
  }
  FILE *p = popen((exe + " " + args).c_str(), "r");
  if (p == nullptr) {
    ADD_FAILURE() << "cannot run " << exe;
    return out;
  }
  std::string line;
  char buf[1 << 16];
  while (std::fgets(buf, sizeof buf, p)) {
    line += buf;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      out.push_back(line);
      line.clear();
    }
  }
  EXPECT_EQ(pclose(p), 0);
  return out;
}

// Random spellings of numbers as people and programs write them.
class Words {
public:
  explicit Words(unsigned seed) : rng_(seed) {}

  int pick(int n) { return int(rng_() % unsigned(n)); }
  std::string digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
      s += char('0' + pick(10));
    return s;
  }
  // A number with at least one mantissa digit: every exponent form. A
  // bounded number never exceeds the range of a double.
  std::string number(bool bounded = false) {
    std::string s;
    const int sign = pick(4);
    if (sign == 1)
      s += '-';
    if (sign == 2)
      s += '+';
    const int before = pick(5) == 0 ? 0 : 1 + pick(pick(3) == 0 ? 20 : 6);
    s += digits(before);
    if (before == 0 || pick(3) != 0) {
      s += '.';
      s += digits(before == 0 ? 1 + pick(18) : pick(18));
    }
    switch (pick(6)) {
    case 0:
    case 1:
      break; // no exponent
    case 2:
      s += "eEdDqQ"[pick(6)];
      if (bounded)
        s += '-';
      else if (pick(2))
        s += "+-"[pick(2)];
      s += digits(1 + pick(3));
      break;
    case 3:
      s += "+-"[pick(2)]; // a sign alone starts the exponent
      s += digits(1 + pick(2));
      break;
    case 4:
      s += "eE"[pick(2)];
      s += bounded ? '-' : "+-"[pick(2)];
      s += std::to_string(280 + pick(60)); // near the ends of the range
      break;
    default:
      s += 'e';
      s += std::to_string(pick(40) - 20);
    }
    return s;
  }
  std::string integer() {
    std::string s;
    const int sign = pick(3);
    if (sign == 1)
      s += '-';
    if (sign == 2)
      s += '+';
    if (pick(4) == 0)
      s += std::string(std::size_t(pick(3)), '0');
    const int n = pick(4) == 0 ? 9 + pick(3) : 1 + pick(8);
    s += char('1' + pick(9));
    s += digits(n - 1);
    return s;
  }
  // Short strings of number characters: mostly not numbers at all.
  std::string junk() {
    static const char set[] = "0123456789+-.eEdDqQ ,x*";
    std::string s;
    const int n = 1 + pick(7);
    for (int i = 0; i < n; ++i)
      s += set[pick(int(sizeof set) - 1)];
    return s;
  }

private:
  std::mt19937 rng_;
};

// True when the text holds a digit before any exponent: the runtime reads
// a number without one as zero, which quon refuses.
bool mantissa_digit(std::string_view w) {
  std::size_t i = 0;
  auto skip = [&] {
    while (i < w.size() && w[i] == ' ')
      ++i;
  };
  skip();
  if (i < w.size() && (w[i] == '+' || w[i] == '-'))
    ++i;
  for (; i < w.size(); ++i) {
    if (w[i] == ' ' || w[i] == '.')
      continue;
    if (w[i] < '0' || w[i] > '9')
      return false;
    return true;
  }
  return false;
}

TEST_F(FileTest, ConversionsMatchTheRuntime) {
  Words g(20240611);
  std::vector<std::string> words;
  for (int i = 0; i < 30000; ++i)
    words.push_back(g.number());
  for (int i = 0; i < 6000; ++i)
    words.push_back(g.integer());
  for (int i = 0; i < 12000; ++i)
    words.push_back(g.junk());
  // Longer than the field: only the first 32 characters count.
  for (int i = 0; i < 500; ++i)
    words.push_back(g.digits(25 + g.pick(15)) + (g.pick(2) ? "e5" : ""));
  const char *fixed[] = {"2147483647",
                         "2147483648",
                         "-2147483648",
                         "-2147483649",
                         "99999999999abc",
                         "1a99999999999",
                         "1e-310",
                         "1e-400",
                         "2.4703282292062328e-324",
                         "1.7976931348623158e308",
                         "1.7976931348623159e308"};
  words.insert(words.end(), std::begin(fixed), std::end(fixed));
  std::string text;
  for (const std::string &w : words)
    text += w + "\n";
  test::write_file("words.txt", text);
  const std::vector<std::string> ref = reference("fref_readref", "words.txt");
  ASSERT_EQ(ref.size(), words.size());

  int same_int = 0, same_real = 0, mended_int = 0, mended_real = 0;
  for (std::size_t k = 0; k < words.size(); ++k) {
    const std::string &w = words[k];
    std::istringstream in(ref[k]);
    int ios_i = 0, ival = 0, ios_r = 0;
    std::string hex;
    in >> ios_i >> ival >> ios_r >> hex;
    const double rval = std::bit_cast<double>(std::stoull(hex, nullptr, 16));

    int iv = -777;
    const int si = convert_int(w, iv);
    if (si == ios_i) {
      EXPECT_EQ(iv, ival) << '"' << w << '"';
      ++same_int;
    } else {
      // Only a word without a digit may differ: the runtime reads it as 0.
      EXPECT_EQ(si, BADVALUE) << '"' << w << '"';
      EXPECT_EQ(ios_i, 0);
      EXPECT_EQ(w.find_first_of("0123456789"), std::string::npos) << w;
      ++mended_int;
    }

    double rv = -777.0;
    const int sr = convert_real(w, rv);
    if (sr == ios_r) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(rv),
                std::bit_cast<std::uint64_t>(rval))
          << '"' << w << '"' << " runtime " << rval << " here " << rv;
      ++same_real;
    } else {
      // Differences only where the runtime reads a number without digits,
      // NaN or an infinity.
      EXPECT_EQ(sr, BADVALUE) << '"' << w << '"';
      EXPECT_EQ(ios_r, 0) << '"' << w << '"';
      EXPECT_TRUE(!std::isfinite(rval) ||
                  (rval == 0.0 && !mantissa_digit(w.substr(0, 32))))
          << '"' << w << '"' << " runtime " << rval;
      ++mended_real;
    }
  }
  std::printf("words %zu: integer same %d, refused %d; real same %d, "
              "refused %d\n",
              words.size(), same_int, mended_int, same_real, mended_real);
  EXPECT_GT(mended_real, 0);
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

} // namespace
} // namespace quon

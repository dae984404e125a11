// Tests of the line scanners and the number conversions (against the
// Fortran runtime the model's files are written for).

#include "utl.h"

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
} // namespace
} // namespace quon

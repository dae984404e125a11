// fuzz_words.cpp - fuzzes the line cleaner and the word and number readers
// of the parameter and data files: linefix, charin, intin and realin.
//
// Holds: a cleaned line has only printable characters and its kind agrees
// with its text; every word read advances the position; intin and realin
// agree with the conversion of the word charin cut out; an integer is the
// word's digits within 32 bits; a real is finite and, for a plain decimal,
// the correctly rounded double of the text.

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <span>

#include "harness.h"
#include "utl.h"

using namespace quon;

namespace {

// The 32-bit value of [sign] digits; false for any other word or one out of
// range.
bool plain_int(std::string_view w, long long &v) {
  std::size_t i = 0;
  bool neg = false;
  if (i < w.size() && (w[i] == '+' || w[i] == '-'))
    neg = w[i++] == '-';
  if (i == w.size())
    return false;
  v = 0;
  for (; i < w.size(); ++i) {
    if (w[i] < '0' || w[i] > '9')
      return false;
    v = v * 10 + (w[i] - '0');
    if (v > 2147483648LL)
      return false;
  }
  if (neg)
    v = -v;
  return v <= 2147483647LL;
}

// [sign] digits [. digits] [e|E|d|D [sign] digits], with at least one digit
// before the exponent: the spellings strtod reads the same way.
bool plain_real(std::string_view w, std::string &c) {
  c.clear();
  std::size_t i = 0;
  if (i < w.size() && (w[i] == '+' || w[i] == '-'))
    c += w[i++];
  int digits = 0;
  while (i < w.size() && w[i] >= '0' && w[i] <= '9')
    c += w[i++], ++digits;
  if (i < w.size() && w[i] == '.') {
    c += w[i++];
    while (i < w.size() && w[i] >= '0' && w[i] <= '9')
      c += w[i++], ++digits;
  }
  if (digits == 0)
    return false;
  if (i < w.size() &&
      (w[i] == 'e' || w[i] == 'E' || w[i] == 'd' || w[i] == 'D')) {
    c += 'e';
    ++i;
    if (i < w.size() && (w[i] == '+' || w[i] == '-'))
      c += w[i++];
    int ed = 0;
    while (i < w.size() && w[i] >= '0' && w[i] <= '9')
      c += w[i++], ++ed;
    if (ed == 0)
      return false;
  }
  return i == w.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  if (size > LINELEN)
    return 0;
  char buf[LINELEN];
  std::memcpy(buf, data, size);
  const int kind = linefix(std::span<char>(buf, size));
  const std::string_view line(buf, size);
  bool blank = true;
  for (char c : line) {
    // Control characters and DEL become blanks; bytes of UTF-8 letters stay.
    const unsigned char u = static_cast<unsigned char>(c);
    QUON_FUZZ_CHECK(u >= 32 && u != 127);
    blank = blank && c == ' ';
  }
  if (size > 0 && line[0] == '#')
    QUON_FUZZ_CHECK(kind == 1);
  else
    QUON_FUZZ_CHECK(kind == (blank ? -1 : 0));

  Word word;
  std::string conv;
  int pos = 1, err = 0, words = 0;
  for (;;) {
    const int start = pos;
    charin(word, line, start, pos, err);
    if (err != 0) {
      QUON_FUZZ_CHECK(pos >= start && pos <= int(size) + 1);
      break;
    }
    QUON_FUZZ_CHECK(pos > start && pos <= int(size) + 2);
    ++words;
    QUON_FUZZ_CHECK(words <= int(size));

    // The number readers from the same start read the same word, unless
    // charin took it between quotes.
    int p2 = 0, e2 = 0;
    int skip = start;
    eol(line, skip);
    if (line[std::size_t(skip) - 1] == '"')
      continue;
    const std::string_view w = word.trimmed();
    const bool whole = w.size() < WORDLEN;

    const int iv = intin(line, start, p2, e2);
    QUON_FUZZ_CHECK(p2 == pos);
    int cv = 0;
    const int cst = convert_int(w, cv);
    if (whole) {
      QUON_FUZZ_CHECK(e2 == cst);
      if (e2 == 0)
        QUON_FUZZ_CHECK(iv == cv);
    }
    // The integer field is the word's first 32 characters.
    long long ref = 0;
    if (plain_int(w.substr(0, 32), ref))
      QUON_FUZZ_CHECK(e2 == 0 && iv == ref);

    const double rv = realin(line, start, p2, e2);
    QUON_FUZZ_CHECK(p2 == pos);
    double crv = 0.0;
    const int crst = convert_real(w, crv);
    if (whole) {
      QUON_FUZZ_CHECK(e2 == crst);
      if (e2 == 0)
        QUON_FUZZ_CHECK(std::memcmp(&rv, &crv, sizeof rv) == 0);
    }
    if (e2 == 0)
      QUON_FUZZ_CHECK(std::isfinite(rv));
    if (e2 == 0 && w.size() <= 32 && plain_real(w, conv)) {
      const double sv = std::strtod(conv.c_str(), nullptr);
      if (sv == 0.0 || std::fabs(sv) >= DBL_MIN)
        QUON_FUZZ_CHECK(std::memcmp(&rv, &sv, sizeof rv) == 0);
    }
  }
  return 0;
}

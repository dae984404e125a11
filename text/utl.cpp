// utl.cpp - the line cleaner and word scanners of the parameter and data
// files, and the number conversions behind them.
//
// Numbers are converted the way the Fortran runtime reads them (so files
// prepared for the model read the same here), except that words the runtime
// would silently take as zero, NaN or infinity are refused: a modeller's
// typing error must not slip into a run as a number.

#include "utl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "messages.h"
#include "reporters.h"
#include "tables.h"

namespace quon {

namespace {

// Width of the field the word readers convert (I32 / F32.0): characters of a
// word beyond it do not count.
constexpr std::size_t FIELD = 32;

// Longest number the slow conversion path takes apart (a token of a grid
// file can be longer than a field; beyond this it is refused, as no sane
// number is written with more than a thousand characters).
constexpr std::size_t SLOWMAX = 1024;

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The character at 1-based position p of a line; blank past its end.
inline char at(std::string_view line, int p) {
  return p >= 1 && std::size_t(p) <= line.size() ? line[std::size_t(p) - 1]
                                                 : ' ';
}

// Skips blanks from pos (at least 1); leaves pos on the first non-blank
// character or at n + 1.
inline void skip_blanks(std::string_view line, int &pos) {
  if (pos < 1)
    pos = 1;
  const int n = int(line.size());
  while (pos <= n && line[std::size_t(pos) - 1] == ' ')
    ++pos;
}

// The word starting at pos (on a non-blank character) up to the next blank;
// pos is left on that blank or at n + 1.
inline std::string_view take_word(std::string_view line, int &pos) {
  const std::size_t b = std::size_t(pos) - 1;
  std::size_t e = b;
  while (e < line.size() && line[e] != ' ')
    ++e;
  pos = int(e) + 1;
  return line.substr(b, e - b);
}

// Decides, for a number the library found out of range, whether it is too
// large (true) or too small (false) for a double. `s` is the normalised
// text: sign, digits with an optional point, optional 'e' exponent.
bool too_large(const char *s, std::size_t n) {
  std::size_t i = 0;
  if (i < n && (s[i] == '-' || s[i] == '+'))
    ++i;
  // Decimal exponent of the first significant digit, relative to the point.
  long long lead = 0;
  bool seen_point = false, seen_digit = false;
  long long before = 0; // digits before the point after leading zeros
  long long zeros = 0;  // zeros after the point before the first digit
  for (; i < n && s[i] != 'e'; ++i) {
    if (s[i] == '.') {
      seen_point = true;
      continue;
    }
    if (!seen_digit && s[i] == '0') {
      if (seen_point)
        ++zeros;
      continue;
    }
    seen_digit = true;
    if (!seen_point)
      ++before;
  }
  lead = before > 0 ? before - 1 : -(zeros + 1);
  long long ex = 0;
  bool neg = false;
  if (i < n && s[i] == 'e') {
    ++i;
    if (i < n && (s[i] == '-' || s[i] == '+'))
      neg = s[i++] == '-';
    for (; i < n; ++i)
      if (ex < 100000000)
        ex = ex * 10 + (s[i] - '0');
  }
  return lead + (neg ? -ex : ex) > 0;
}

// Converts a real number as the runtime's F editing reads it, blanks
// ignored: sign, digits with an optional point, then an exponent written
// with E, D or Q (any case) and an optional sign, or with a sign alone. A
// number without a digit in its mantissa, NaN, infinities and numbers too
// large for a double are refused; numbers too small become zero.
int parse_real(std::string_view s, double &value) noexcept {
  enum { START, MANT, EXPLETTER, EXPSIGN, EXPDIGITS } st = START;
  char buf[SLOWMAX + 4];
  std::size_t n = 0;
  bool point = false;
  bool mdigit = false;
  for (const char c : s) {
    if (c == ' ')
      continue;
    if (n >= SLOWMAX)
      return BADVALUE;
    switch (st) {
    case START:
      st = MANT;
      if (c == '+')
        continue;
      if (c == '-') {
        buf[n++] = '-';
        continue;
      }
      [[fallthrough]];
    case MANT:
      if (is_digit(c)) {
        buf[n++] = c;
        mdigit = true;
      } else if (c == '.' && !point) {
        buf[n++] = '.';
        point = true;
      } else if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' ||
                 c == 'Q') {
        buf[n++] = 'e';
        st = EXPLETTER;
      } else if (c == '+' || c == '-') {
        buf[n++] = 'e';
        buf[n++] = c;
        st = EXPSIGN;
      } else {
        return BADVALUE;
      }
      continue;
    case EXPLETTER:
      if (c == '+' || c == '-') {
        buf[n++] = c;
        st = EXPSIGN;
        continue;
      }
      [[fallthrough]];
    case EXPSIGN:
    case EXPDIGITS:
      if (!is_digit(c))
        return BADVALUE;
      buf[n++] = c;
      st = EXPDIGITS;
      continue;
    }
  }
  if (!mdigit || st == EXPLETTER || st == EXPSIGN)
    return BADVALUE;
  double v = 0.0;
  const auto r = std::from_chars(buf, buf + n, v);
  if (r.ptr != buf + n)
    return BADVALUE;
  if (r.ec == std::errc::result_out_of_range) {
    if (too_large(buf, n))
      return BADVALUE;
    v = buf[0] == '-' ? -0.0 : 0.0;
  } else if (r.ec != std::errc() || !std::isfinite(v)) {
    return BADVALUE;
  }
  value = v;
  return 0;
}

} // namespace

// ---- Lines and words -------------------------------------------------------

int linefix(std::span<char> line) noexcept {
  bool blank = true;
  for (char &c : line) {
    // Bytes from 128 up are kept: they are the letters of UTF-8 names
    // (Río, quön.wel), which would otherwise fall apart into words.
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127)
      c = ' ';
    else if (c != ' ')
      blank = false;
  }
  if (!line.empty() && line[0] == '#')
    return 1;
  return blank ? -1 : 0;
}

int length0(std::string_view text) noexcept {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ')
    --n;
  return int(n);
}

int length(std::string_view text) noexcept {
  const int n = length0(text);
  return n > 0 ? n : 1;
}

void uppercase(std::span<char> text) noexcept {
  for (char &c : text)
    if (c >= 'a' && c <= 'z')
      c = char(c - 32);
}

bool eol(std::string_view line, int &pos) noexcept {
  skip_blanks(line, pos);
  return pos > int(line.size());
}

void charin(Word &word, std::string_view line, int start, int &pos,
            int &err) noexcept {
  err = -1;
  word.clear();
  pos = start;
  skip_blanks(line, pos);
  const int n = int(line.size());
  if (pos > n)
    return;
  if (at(line, pos) == '"') {
    const int b = pos + 1;
    int e = b;
    while (e <= n && line[std::size_t(e) - 1] != '"')
      ++e;
    if (e > n) {
      pos = n + 1; // unclosed quote: no word
      return;
    }
    word.set(line.substr(std::size_t(b) - 1, std::size_t(e - b)));
    pos = e + 1;
    err = 0;
    return;
  }
  word.set(take_word(line, pos));
  err = 0;
}

int convert_int(std::string_view word, int &value) noexcept {
  word = word.substr(0, std::min(word.size(), FIELD));
  std::size_t i = 0;
  while (i < word.size() && word[i] == ' ')
    ++i;
  bool neg = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-'))
    neg = word[i++] == '-';
  // Magnitude limit: one more for a negative number.
  const std::int64_t limit = neg ? 2147483648LL : 2147483647LL;
  std::int64_t v = 0;
  bool digit = false;
  for (; i < word.size(); ++i) {
    const char c = word[i];
    if (c == ' ')
      continue;
    if (!is_digit(c))
      return BADVALUE;
    v = v * 10 + (c - '0');
    if (v > limit)
      return OVERFLOWED;
    digit = true;
  }
  // A word of blanks or a lone sign holds no number at all.
  if (!digit)
    return BADVALUE;
  value = int(neg ? -v : v);
  return 0;
}

int convert_real(std::string_view word, double &value) noexcept {
  return parse_real(word.substr(0, std::min(word.size(), FIELD)), value);
}

int intin(std::string_view line, int start, int &pos, int &err) noexcept {
  err = -1;
  pos = start;
  skip_blanks(line, pos);
  if (pos > int(line.size()))
    return 0;
  int v = 0;
  err = convert_int(take_word(line, pos), v);
  return err == 0 ? v : 0;
}

double realin(std::string_view line, int start, int &pos, int &err) noexcept {
  err = -1;
  pos = start;
  skip_blanks(line, pos);
  if (pos > int(line.size()))
    return 0.0;
  double v = 0.0;
  err = convert_real(take_word(line, pos), v);
  return err == 0 ? v : 0.0;
}

int instate(Run &run, int &err) noexcept {
  Word w;
  charin(w, run.pline(), run.linepos, run.linepos, err);
  if (err != 0)
    return 0;
  char code[8];
  std::memcpy(code, w.c, 8);
  uppercase(code);
  static constexpr std::array<std::string_view, NSTATE> states{
      "CO      ", "KS      ", "NE      "};
  for (int s = 0; s < NSTATE; ++s)
    if (states[std::size_t(s)] == std::string_view(code, 8))
      return s + 1;
  err = -1;
  return 0;
}

int convert_real_whole(std::string_view word, double &value) noexcept {
  return parse_real(word, value);
}

void end_if_cut(std::string_view line, int start, int keep) {
  int pos = start;
  skip_blanks(line, pos);
  int n = 0;
  if (at(line, pos) == '"') {
    while (pos + 1 + n <= int(line.size()) && line[std::size_t(pos + n)] != '"')
      ++n;
  } else {
    take_word(line, pos);
    int b = start;
    skip_blanks(line, b);
    n = pos - b;
  }
  if (n > keep)
    endrun(msg::OUTPUT_NAME_TOO_LONG, line);
}

} // namespace quon

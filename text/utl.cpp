// utl.cpp - the line cleaner and word scanners of the parameter and data
// files, the number conversions behind them, the free-format real-array
// reader, and the error reporters.
//
// Numbers are converted the way the Fortran runtime reads them (so files
// prepared for the model read the same here), except that words the runtime
// would silently take as zero, NaN or infinity are refused: a modeller's
// typing error must not slip into a run as a number.

#include "utl.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "fmt.h"
#include "io.h"
#include "messages.h"
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

// ---- Free-format real arrays -----------------------------------------------

namespace {

// Character classes of list-directed input.
enum : unsigned char { TOKEN = 0, SPACE = 1, COMMA = 2, SLASH = 3 };

constexpr std::array<unsigned char, 256> make_classes() {
  std::array<unsigned char, 256> t{};
  t[' '] = SPACE;
  t['\t'] = SPACE;
  t[','] = COMMA;
  t[';'] = COMMA;
  t['/'] = SLASH;
  return t;
}
constexpr std::array<unsigned char, 256> CLASS = make_classes();

inline unsigned char cls(char c) {
  return CLASS[static_cast<unsigned char>(c)];
}

// Exact powers of ten as doubles (10^22 is the last one a double holds
// exactly).
constexpr std::array<double, 23> POW10 = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Adds the run of digits at q to w (w = w * 10^k + digits). Past 19 digits
// w wraps; the caller counts the digits and refuses those.
inline void digits_in(const char *&q, const char *end, std::uint64_t &w) {
  while (q < end && is_digit(*q))
    w = w * 10 + std::uint64_t(*q++ - '0');
}

// w times 10^e10 for w of 54 to 63 bits, as a list-directed write of a
// double gives (17 significant digits), where one double operation is not
// exact. The extended type holds w exactly and 10^k exactly up to k = 27,
// so one operation there is correctly rounded to 64 bits; rounding that to
// a double is the correctly rounded value unless it lies within one unit of
// its last bit of a point halfway between two doubles. False then, and
// where the extended type is not the x87 one: the caller goes the general
// way.
inline bool wide_value(std::uint64_t w, int e10, double &x) {
  using LD = long double;
  if constexpr (std::numeric_limits<LD>::digits != 64 ||
                std::numeric_limits<LD>::max_exponent != 16384) {
    return false;
  } else {
    if (w >= (std::uint64_t(1) << 63) || e10 < -27 || e10 > 27)
      return false;
    static constexpr std::array<LD, 28> P = [] {
      std::array<LD, 28> t{};
      LD v = 1;
      for (auto &e : t) {
        e = v;
        v *= 10;
      }
      return t;
    }();
    LD r = LD(std::int64_t(w));
    if (e10 >= 0)
      r *= P[std::size_t(e10)];
    else
      r /= P[std::size_t(-e10)];
    std::uint64_t sig;
    std::memcpy(&sig, &r, 8); // the 64-bit significand, explicit leading 1
    const unsigned low = unsigned(sig & 0x7FF);
    if (low >= 0x3FF && low <= 0x401)
      return false;
    x = double(r);
    return true;
  }
}

// The common value of a grid file - an optional minus sign, up to 19 digits
// with an optional point making an integer w, an optional E exponent - read
// straight from the record and ended by a separator or the record's end.
// For w up to 2^53 the value is w times or divided by an exact power of ten
// no larger than 10^22: one correctly rounded multiplication or division,
// so the result is the correctly rounded value of the decimal, bit for bit
// what the full conversion gives; a wider w goes through wide_value. On success
// p is left after the value; false leaves p alone and the value goes the
// general way.
inline bool plain_value(const char *&p, const char *end, double &v) {
  const char *q = p;
  const bool neg = q < end && *q == '-';
  q += neg;
  // Leading zeros add nothing to w, so every digit can go in; more than 19
  // digits could overflow it and are left to the general way.
  std::uint64_t w = 0;
  const char *d0 = q;
  digits_in(q, end, w);
  int ndig = int(q - d0);
  int scale = 0; // digits after the point
  if (q < end && *q == '.') {
    const char *f0 = ++q;
    digits_in(q, end, w);
    scale = int(q - f0);
    ndig += scale;
  }
  if (ndig == 0 || ndig > 19)
    return false;
  int ex = 0;
  if (q < end && (*q == 'e' || *q == 'E')) {
    ++q;
    bool eneg = false;
    if (q < end && (*q == '-' || *q == '+'))
      eneg = *q++ == '-';
    if (q == end || !is_digit(*q))
      return false;
    for (; q < end && is_digit(*q); ++q)
      if (ex < 1000)
        ex = ex * 10 + (*q - '0');
    ex = eneg ? -ex : ex;
  }
  if (q < end && cls(*q) == TOKEN)
    return false; // D or Q exponent, a sign exponent, a repeat count...
  const int e10 = ex - scale;
  double x;
  if (w <= (std::uint64_t(1) << 53)) {
    // Below 2^53 times 10^22 nothing overflows.
    x = double(w);
    if (e10 >= 0 && e10 <= 22)
      x *= POW10[std::size_t(e10)];
    else if (e10 < 0 && e10 >= -22)
      x /= POW10[std::size_t(-e10)];
    else if (w != 0)
      return false;
  } else if (!wide_value(w, e10, x)) {
    return false;
  }
  v = neg ? -x : x;
  p = q;
  return true;
}

// The eight characters at p as one word (in memory order), and the runs of
// four lone zeros as such words.
inline std::uint64_t load8(const char *p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
constexpr std::uint64_t word8(const char (&s)[9]) {
  std::uint64_t w = 0;
  for (int i = 7; i >= 0; --i)
    w = w << 8 | static_cast<unsigned char>(s[i]);
  return w;
}
static_assert(std::endian::native == std::endian::little);
constexpr std::uint64_t ZEROS_BLANK = word8("0 0 0 0 ");
constexpr std::uint64_t ZEROS_COMMA = word8("0,0,0,0,");
// "0  0  0  0  ": its first eight characters and its last eight
constexpr std::uint64_t ZEROS_2BLANKS = word8("0  0  0 ");
constexpr std::uint64_t ZEROS_2BLANKS_END = word8("  0  0  ");

// One value of a list in any other spelling: the library's conversion for
// plain decimals with many digits, the full conversion for every other form.
inline bool list_value(const char *b, const char *e, double &v) {
  const auto r = std::from_chars(b, e, v);
  if (r.ptr == e && r.ec == std::errc() && std::isfinite(v))
    return true;
  return parse_real(std::string_view(b, std::size_t(e - b)), v) == 0;
}

// Where a list stands between two items; it decides whether a comma or a
// semicolon separates two items or stands for an empty one, as the runtime
// decides it.
enum class Sep {
  START,   // nothing read yet on this list
  NONE,    // a separator was taken: a comma now is an empty item
  ITEM,    // right after an item on the same record
  EOL,     // after an item (or at the start) and a line end, no comma
  EOLCOMMA // after a comma taken in EOL: another line end restores EOL
};

// Reads n values into out as one list-directed READ does: starting on a new
// record, values separated by blanks, tabs, commas, semicolons and line ends;
// "r*v" repeats a value r times and "r*" skips r items; an empty item
// between commas leaves its value as it was; a slash ends the list leaving
// the rest as it was; what follows the last value on its record is skipped.
// After a line end that no comma preceded, a comma is a separator and not
// an empty item (a semicolon there is an empty item). False on a bad value
// or when the file ends before the list is complete.
// The values on [p, end) up to a slash: what a row leaves unread.
int values_in(const char *p, const char *end) {
  int k = 0;
  while (p < end) {
    const unsigned char c = cls(*p);
    if (c == SLASH)
      break;
    if (c != TOKEN) {
      ++p;
      continue;
    }
    ++k;
    while (p < end && cls(*p) == TOKEN)
      ++p;
  }
  return k;
}

bool read_list(InFile &in, double *out, int n, int &left) {
  left = 0;
  std::string_view rec;
  if (!in.next(rec))
    return false;
  const char *p = rec.data();
  const char *end = p + rec.size();
  int k = 0;
  Sep st = Sep::START;
  while (k < n) {
    while (p < end && cls(*p) == SPACE)
      ++p;
    if (p == end) {
      if (!in.next(rec))
        return false;
      p = rec.data();
      end = p + rec.size();
      if (st != Sep::NONE)
        st = Sep::EOL;
      continue;
    }
    const unsigned char c = cls(*p);
    if (c == COMMA) {
      const bool comma = *p == ',';
      ++p;
      if (st == Sep::ITEM) {
        st = Sep::NONE;
      } else if (st == Sep::EOL && comma) {
        st = Sep::EOLCOMMA;
      } else {
        ++k; // an empty item
        st = Sep::NONE;
      }
      continue;
    }
    if (c == SLASH)
      return true;
    st = Sep::ITEM;
    // Lone zeros, the bulk of the sparse grids, four at a time in the three
    // spellings grid files have: each followed by one blank, by two, or by
    // a comma. Each zero is an item and what follows it a separator, as the
    // general way below takes them.
    if (*p == '0' && n - k >= 4) {
      const char *q = p;
      for (;;) {
        const std::ptrdiff_t left = end - q;
        if (n - k < 4 || left < 8)
          break;
        const std::uint64_t w = load8(q);
        if (w == ZEROS_BLANK) {
          q += 8;
          st = Sep::ITEM;
        } else if (w == ZEROS_COMMA) {
          q += 8;
          st = Sep::NONE;
        } else if (w == ZEROS_2BLANKS && left >= 12 &&
                   load8(q + 4) == ZEROS_2BLANKS_END) {
          q += 12;
          st = Sep::ITEM;
        } else {
          break;
        }
        out[k] = out[k + 1] = out[k + 2] = out[k + 3] = 0.0;
        k += 4;
      }
      if (q != p) {
        p = q;
        continue;
      }
    }
    // A lone 0, the most common value of the sparse grids.
    if (*p == '0' && (p + 1 == end || cls(p[1]) != TOKEN)) {
      out[k++] = 0.0;
      ++p;
      continue;
    }
    double v;
    if (plain_value(p, end, v)) {
      out[k++] = v;
      continue;
    }
    const char *b = p;
    while (p < end && cls(*p) == TOKEN)
      ++p;
    if (list_value(b, p, v)) {
      out[k++] = v;
      continue;
    }
    // A repeat count: digits, a star, then a value or nothing.
    const char *star =
        static_cast<const char *>(std::memchr(b, '*', std::size_t(p - b)));
    if (star == nullptr || star == b)
      return false;
    long long r = 0;
    for (const char *q = b; q < star; ++q) {
      if (!is_digit(*q))
        return false;
      if (r < n)
        r = r * 10 + (*q - '0');
    }
    if (r == 0)
      return false;
    const int m = int(std::min<long long>(r, n - k));
    if (star + 1 == p) {
      k += m;
      continue;
    }
    if (!list_value(star + 1, p, v))
      return false;
    for (int j = 0; j < m; ++j)
      out[k++] = v;
  }
  left = values_in(p, end);
  return true;
}

} // namespace

void readreal(InFile &in, std::string_view file, std::span<double> a, int rows,
              int cols, int nheader) {
  if (rows > 0 && cols > 0 && a.size() / std::size_t(cols) < std::size_t(rows))
    endrun(msg::ARRAY_TOO_SMALL, file); // a caller's mistake, not the file's
  if (!in.open(file))
    error2(msg::ERROR_OPENING, file);
  std::string_view rec;
  for (int h = 0; h < nheader; ++h) {
    if (!in.next(rec)) {
      in.close();
      error2(msg::ERROR_HEADER, file);
    }
  }
  int left = 0, leftrow = 0, leftcount = 0;
  for (int i = 0; i < rows; ++i) {
    double *row = a.data() + std::size_t(i) * std::size_t(std::max(cols, 0));
    const bool ok = read_list(in, row, cols, left);
    if (ok && left > 0 && leftrow == 0) {
      leftrow = i + 1;
      leftcount = left;
    }
    if (!ok) {
      in.close();
      Detail where;
      error2(msg::ERROR_READING, file,
             where.text(msg::AT_ROW).integer(i + 1).view());
    }
  }
  // Values after the last row.
  int after = 0;
  if (leftrow == 0)
    while (in.next(rec))
      after += values_in(rec.data(), rec.data() + rec.size());
  in.close();
  if (leftrow > 0 || after > 0) {
    Detail t;
    t.text(file.substr(0, std::size_t(length0(file))));
    if (leftrow > 0)
      t.text(", row ").integer(leftrow).text(", ").integer(leftcount);
    else
      t.text(", after row ").integer(rows).text(", ").integer(after);
    const int count = leftrow > 0 ? leftcount : after;
    t.text(count == 1 ? " value" : " values");
    warn(msg::LEFTOVER_VALUES, t.view());
  }
}

// ---- Reporters -------------------------------------------------------------

namespace {

// Longest text of a record: a message or name longer than a parameter line
// is cut (no caller comes near it).
constexpr std::size_t RECMAX = 2 * LINELEN + 128;

// The text trimmed as `length` counts it: at least one character.
std::string_view trimmed1(std::string_view s) {
  const std::size_t n = std::size_t(length0(s));
  if (n == 0)
    return " ";
  return s.substr(0, std::min(n, std::size_t(LINELEN)));
}

void (*before_console)() = nullptr;

void console(std::string_view a, std::string_view b = {},
             std::string_view c = {}) {
  if (before_console)
    before_console();
  for (const std::string_view t : {a, b, c})
    if (!t.empty())
      std::fwrite(t.data(), 1, t.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// The file whose current line the reports are about, if any.
const InFile *place = nullptr;

// " (name line n)" of the current place, or nothing.
void place_text(Detail &t) {
  if (place == nullptr || !place->is_open() || place->line() <= 0)
    return;
  t.text(" (").text(place->name()).text(msg::PLACE_LINE);
  t.integer(place->line()).text(")");
}

// Writes the record to the report file and its text (and the detail, if
// any) to the console, then ends the run.
[[noreturn]] void end_with(const fmt::ListRecord &rec,
                           std::string_view detail = {}) {
  const std::string_view v = rec.view();
  // The console first: it keeps the message even when the report file
  // cannot.
  Detail where;
  place_text(where);
  console(v.substr(v.empty() || v[0] != ' ' ? 0 : 1), where.view());
  if (!detail.empty())
    console("  ", detail);
  report_record(v);
  throw RunEnd{1};
}

// What the run has reported so far without ending, for the summary at its
// end and for strict runs, which refuse to go on past a report.
struct Tally {
  int reports = 0;  // error() calls and warning records
  int warnings = 0; // warning records written to the report file
  char first[RECMAX];
  std::size_t firstlen = 0;
  // The console texts of the first reports, for the dry run's list.
  std::array<std::array<char, LISTEDLEN>, MAXLISTED> listed;
  std::array<std::size_t, MAXLISTED> listedlen{};
  bool end_on_report = false;
};
Tally tally;

// Copies a + b + c into dst (of cap characters), cut at its end; returns
// the length.
std::size_t join(char *dst, std::size_t cap, std::string_view a,
                 std::string_view b, std::string_view c = {}) {
  std::size_t n = 0;
  for (const std::string_view t : {a, b, c}) {
    const std::size_t k = std::min(t.size(), cap - n);
    if (k > 0)
      std::memcpy(dst + n, t.data(), k);
    n += k;
  }
  return n;
}

// Counts one report and keeps the text of the first (as the report file
// has it) and the console text of the first few (with the place).
void note_report(std::string_view a, std::string_view b,
                 std::string_view where) {
  const int i = tally.reports++;
  if (i < MAXLISTED)
    tally.listedlen[std::size_t(i)] =
        join(tally.listed[std::size_t(i)].data(), LISTEDLEN, a, b, where);
  if (i == 0)
    tally.firstlen = join(tally.first, RECMAX, a, b);
}

// A strict run ends at a report made after its settings were accepted: a
// last record names the report (already written above it) as the reason.
void strict_end(std::string_view a, std::string_view b) {
  if (!tally.end_on_report)
    return;
  console(msg::STRICT_END, a, b);
  char buf[RECMAX];
  fmt::ListRecord why(buf, sizeof buf);
  why.text(msg::STRICT_END).text(a).text(b);
  report_record(why.view());
  throw RunEnd{1};
}

} // namespace

void set_before_console(void (*fn)()) noexcept { before_console = fn; }

void console_line(std::string_view a, std::string_view b) { console(a, b); }
Detail &Detail::text(std::string_view s) noexcept {
  const std::size_t k = std::min(s.size(), sizeof buf_ - n_);
  if (k > 0)
    std::memcpy(buf_ + n_, s.data(), k);
  n_ += k;
  return *this;
}

Detail &Detail::integer(std::int64_t v) noexcept {
  char t[24];
  const auto r = std::to_chars(t, t + sizeof t, v);
  return text({t, std::size_t(r.ptr - t)});
}

Detail &Detail::real(double v) noexcept {
  char t[32];
  const auto r = std::to_chars(t, t + sizeof t, v);
  return text({t, r.ec == std::errc() ? std::size_t(r.ptr - t) : 0});
}

Detail &Detail::cell(int row, int col) noexcept {
  return text(msg::AT_ROW).integer(row).text(msg::AT_COLUMN).integer(col);
}

ReportPlace::ReportPlace(const InFile &f) noexcept : before_(place) {
  place = &f;
}
ReportPlace::~ReportPlace() { place = before_; }

void error(std::string_view msg, std::string_view tail) {
  tail = tail.substr(0, std::size_t(length0(tail)));
  Detail where;
  place_text(where);
  console(msg, tail, where.view());
  note_report(msg, tail, where.view());
  // The report file keeps every report, so that a run that went on past
  // one cannot be read as a clean run from its files alone.
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg).text(tail);
  report_record(rec.view());
  strict_end(msg, tail);
}

void warning_record(std::string_view rec) {
  report_record(rec);
  ++tally.warnings;
  const std::string_view text =
      rec.substr(rec.empty() || rec[0] != ' ' ? 0 : 1);
  note_report(text, {}, {});
  strict_end(text, {});
}

void warn(std::string_view msg, std::string_view tail) {
  tail = tail.substr(0, std::size_t(length0(tail)));
  console(msg, tail);
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg::WARNING).text(msg).text(tail);
  warning_record(rec.view());
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

void error2(std::string_view msg, std::string_view name,
            std::string_view detail) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(trimmed1(msg)).text(" ").text(trimmed1(name));
  end_with(rec, detail);
}

void errorint(std::string_view msg, std::int64_t value) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(trimmed1(msg)).text(" ").integer(value);
  end_with(rec);
}

void errordbl(std::string_view msg, double value, std::string_view detail) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(trimmed1(msg)).text(" ").real(value);
  end_with(rec, detail);
}

void errorvalue(std::string_view msg, std::string_view place, double value) {
  char num[32];
  fmt::ListRecord rec(num, sizeof num);
  rec.real(value);
  std::string_view v = rec.view();
  while (!v.empty() && v.back() == ' ')
    v.remove_suffix(1);
  while (!v.empty() && v.front() == ' ')
    v.remove_prefix(1);
  char buf[WORDLEN + 128];
  char *p = fmt::a(buf, place.substr(0, WORDLEN + 64));
  p = fmt::a(p, ", value ");
  p = fmt::a(p, v);
  error2(msg, {buf, std::size_t(p - buf)});
}

void errorcell(std::string_view msg, std::string_view file,
               std::string_view period, int row, int col, double value) {
  char buf[WORDLEN + 64];
  char *p = fmt::a(buf, file.substr(0, WORDLEN));
  p = fmt::a(p, ", period ");
  p = fmt::a(p, period.substr(0, 16));
  p = fmt::a(p, ", row ");
  p = fmt::i(p, row, 3);
  p = fmt::a(p, ", column ");
  p = fmt::i(p, col, 3);
  errorvalue(msg, {buf, std::size_t(p - buf)}, value);
}

void endrun(std::string_view msg, std::string_view tail) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg).text(tail.substr(0, std::size_t(length0(tail))));
  end_with(rec);
}

void endrecord(std::string_view rec) {
  const std::string_view v = rec.substr(rec.empty() || rec[0] != ' ' ? 0 : 1);
  console(v);
  report_record(rec);
  throw RunEnd{1};
}

int report_count() noexcept { return tally.reports; }
int warning_count() noexcept { return tally.warnings; }
std::string_view first_report() noexcept {
  return {tally.first, tally.firstlen};
}
int listed_reports() noexcept { return std::min(tally.reports, MAXLISTED); }
std::string_view listed_report(int i) noexcept {
  if (i < 0 || i >= listed_reports())
    return {};
  return {tally.listed[std::size_t(i)].data(), tally.listedlen[std::size_t(i)]};
}
void end_on_report(bool on) noexcept { tally.end_on_report = on; }
void reset_reports() noexcept {
  tally = Tally{};
  place = nullptr;
}

} // namespace quon

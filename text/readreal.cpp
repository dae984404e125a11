// readreal.cpp - the free-format real-array reader: rows of values read as
// the runtime's list-directed input reads them, with a fast path for the
// plain decimals grid files are made of.

#include "readreal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "files.h"
#include "messages.h"
#include "reporters.h"
#include "utl.h"

namespace quon {

namespace {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

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
  return convert_real_whole(std::string_view(b, std::size_t(e - b)), v) == 0;
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

bool read_list(InFile &in, double *out, int n, int &left, int &cut) {
  left = cut = 0;
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
    if (c == SLASH) {
      cut = k + 1;
      return true;
    }
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
  int cut = 0, cutrow = 0, cutcol = 0;
  for (int i = 0; i < rows; ++i) {
    double *row = a.data() + std::size_t(i) * std::size_t(std::max(cols, 0));
    const bool ok = read_list(in, row, cols, left, cut);
    if (ok && cut > 0 && cutrow == 0) {
      cutrow = i + 1;
      cutcol = cut;
    }
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
  const std::string_view name = file.substr(0, std::size_t(length0(file)));
  if (cutrow > 0) {
    Detail t;
    t.text(name).text(", row ").integer(cutrow).text(", column ");
    warn(msg::SLASH_CUTS_ROW, t.integer(cutcol).view());
  }
  if (leftrow > 0 || after > 0) {
    Detail t;
    t.text(name);
    if (leftrow > 0)
      t.text(", row ").integer(leftrow).text(", ").integer(leftcount);
    else
      t.text(", after row ").integer(rows).text(", ").integer(after);
    const int count = leftrow > 0 ? leftcount : after;
    t.text(count == 1 ? " value" : " values");
    warn(msg::LEFTOVER_VALUES, t.view());
  }
}

} // namespace quon

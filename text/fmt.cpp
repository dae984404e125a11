// fmt.cpp - the Fortran field writers (Iw, Fw.d, 1PEw.d, Aw, A, nX), the
// (kFw.d) record writer with format reversion and the list-directed record.
//
// Fw.d is on the hot path (every value of every RCH array), so it has a fast
// exact route in integer arithmetic and falls back to the exact decimal
// conversion of the standard library only where the fast route could round
// differently.

#include "fmt.h"

#include "files.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace quon::fmt {
namespace {

// "00" "01" ... "99": two digits per lookup.
constexpr char kDigits2[201] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

// Powers of ten that are exact doubles.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The fast route of Fw.d: 10^d must be an exact double, and x * 10^d must
// stay below 2^52, where every integer and every half-integer is a double.
constexpr int kFastMaxD = 22;
constexpr double kFastLimit = 0x1p52;

char *stars(char *out, int w) noexcept {
  if (w <= 0)
    return out;
  std::memset(out, '*', std::size_t(w));
  return out + w;
}

// Copies n bytes between distinct buffers with a few fixed-size moves the
// compiler inlines, instead of a library call (fields are short).
inline void copy_short(char *dst, const char *src, std::size_t n) noexcept {
  if (n >= 16) {
    for (std::size_t k = 0; k + 16 < n; k += 16)
      std::memcpy(dst + k, src + k, 16);
    std::memcpy(dst + n - 16, src + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else {
    for (std::size_t k = 0; k < n; ++k)
      dst[k] = src[k];
  }
}

// Right-justified text built backwards in a blank-filled scratch buffer of
// kScratch characters: the field is its last w characters.
constexpr int kScratch = 64;

// Puts the len characters at s right-justified in w columns; w asterisks
// when they do not fit.
char *justify(char *out, const char *s, std::size_t len, int w) noexcept {
  if (w <= 0)
    return out;
  if (len > std::size_t(w))
    return stars(out, w);
  const std::size_t pad = std::size_t(w) - len;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, s, len);
  return out + w;
}

// Writes the decimal digits of v so that they end just before `end`;
// returns the first. Zero gives "0". (32-bit arithmetic is the cheaper
// where the value allows it.)
template <class U> char *digits_back(char *end, U v) noexcept {
  while (v >= 100) {
    const U q = v / 100;
    end -= 2;
    std::memcpy(end, kDigits2 + 2 * (v - q * 100), 2);
    v = q;
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, kDigits2 + 2 * v, 2);
  } else {
    *--end = char('0' + v);
  }
  return end;
}

// Writes n / 10^d with d decimals ("int.frac", at least one integer digit)
// so that it ends just before `end`; returns the first character.
template <class U> char *scaled_back(char *end, U n, int d) noexcept {
  char *p = end;
  for (; d >= 2; d -= 2) {
    const U q = n / 100;
    p -= 2;
    std::memcpy(p, kDigits2 + 2 * (n - q * 100), 2);
    n = q;
  }
  if (d == 1) {
    const U q = n / 10;
    *--p = char('0' + (n - q * 10));
    n = q;
  }
  *--p = '.';
  return digits_back(p, n);
}

// The same with the number of decimals known to the compiler, for the
// widths the files use most: the digit loop unrolls.
template <int D, class U> char *scaled_back_n(char *end, U n) noexcept {
  char *p = end;
  for (int k = 0; k + 2 <= D; k += 2) {
    const U q = n / 100;
    p -= 2;
    std::memcpy(p, kDigits2 + 2 * (n - q * 100), 2);
    n = q;
  }
  if constexpr (D % 2 == 1) {
    const U q = n / 10;
    *--p = char('0' + (n - q * 10));
    n = q;
  }
  *--p = '.';
  return digits_back(p, n);
}

template <class U> char *scaled_back_any(char *end, U n, int d) noexcept {
  switch (d) {
  case 1:
    return scaled_back_n<1>(end, n);
  case 2:
    return scaled_back_n<2>(end, n);
  case 3:
    return scaled_back_n<3>(end, n);
  case 5:
    return scaled_back_n<5>(end, n);
  case 6:
    return scaled_back_n<6>(end, n);
  default:
    return scaled_back(end, n, d);
  }
}

// NaN and the infinities, in the words the runtime uses: the long word
// when the field has room for it, else the short one, else asterisks.
char *nonfinite(char *out, double x, int w) noexcept {
  if (std::isnan(x))
    return justify(out, "NaN", 3, w);
  if (std::signbit(x))
    return w >= 9 ? justify(out, "-Infinity", 9, w)
                  : justify(out, "-Inf", 4, w);
  return w >= 8 ? justify(out, "Infinity", 8, w) : justify(out, "Inf", 3, w);
}

// Finishes an Fw.d field from its characters s (sign, digits, point,
// decimals). A text one character too long whose integer part is a lone
// zero and that has decimals loses that zero, as the runtime does (a field
// of a bare point is not written); anything else too long is asterisks.
char *place_fixed(char *out, char *s, std::size_t len, int w) noexcept {
  if (w > 0 && len == std::size_t(w) + 1) {
    const bool neg = s[0] == '-';
    if (s[neg] == '0' && s[neg + 1] == '.' && len > std::size_t(neg) + 2) {
      s[neg] = neg ? '-' : ' ';
      return justify(out, s + 1, len - 1, w);
    }
  }
  return justify(out, s, len, w);
}

// Fw.d through the exact conversion of the standard library.
char *fixed_exact(char *out, double x, int w, int d) noexcept {
  // Room for the 309 integer digits of the largest double and several
  // hundred decimals; a longer text could not fit any sensible field.
  char buf[1100];
  auto r =
      std::to_chars(buf, buf + sizeof buf - 1, x, std::chars_format::fixed, d);
  if (r.ec != std::errc())
    return stars(out, w);
  if (d == 0)
    *r.ptr++ = '.'; // the runtime always writes the point
  return place_fixed(out, buf, std::size_t(r.ptr - buf), w);
}

} // namespace

char *i(char *out, std::int64_t v, int w) noexcept {
  char buf[kScratch];
  std::memset(buf, ' ', sizeof buf);
  char *end = buf + sizeof buf;
  const bool neg = v < 0;
  const std::uint64_t mag = neg ? 0 - std::uint64_t(v) : std::uint64_t(v);
  char *p = digits_back(end, mag);
  if (neg)
    *--p = '-';
  if (end - p <= w && w <= kScratch) {
    copy_short(out, end - w, std::size_t(w));
    return out + w;
  }
  return justify(out, p, std::size_t(end - p), w);
}

char *f(char *out, double x, int w, int d) noexcept {
  if (!std::isfinite(x))
    return nonfinite(out, x, w);
  if (d < 0)
    d = 0;
  // +0.0, the most common value of the pumping tables, when "0." and its
  // decimals fit the field (a narrower field drops the leading zero).
  if (x == 0.0 && !std::signbit(x) && w >= d + 2 && w <= kScratch) {
    std::memset(out, ' ', std::size_t(w - d - 2));
    out[w - d - 2] = '0';
    out[w - d - 1] = '.';
    std::memset(out + (w - d), '0', std::size_t(d));
    return out + w;
  }
  if (d <= kFastMaxD) {
    // t is the exact product x * 10^d rounded to a double. Below 2^52 the
    // integers and the halfway points between them are all doubles, and
    // rounding is monotone: when t lies strictly between two of them, so
    // does the exact product, and when t is an integer the exact product is
    // within half a unit of it. So t and the exact product round to the
    // same integer unless t is itself a halfway point; only then does the
    // exact route decide (ties to even on the exact binary value).
    const double t = std::fabs(x) * kPow10[d];
    if (t < kFastLimit) {
      const std::uint64_t whole = std::uint64_t(t); // t >= 0: the floor
      const double frac = t - double(whole);        // exact
      if (frac != 0.5) {
        const std::uint64_t n = whole + (frac > 0.5 ? 1 : 0);
        char buf[kScratch];
        std::memset(buf, ' ', sizeof buf);
        char *end = buf + sizeof buf;
        char *p = n <= UINT32_MAX ? scaled_back_any(end, std::uint32_t(n), d)
                                  : scaled_back_any(end, n, d);
        if (std::signbit(x))
          *--p = '-';
        if (end - p <= w && w <= kScratch) {
          copy_short(out, end - w, std::size_t(w));
          return out + w;
        }
        return place_fixed(out, p, std::size_t(end - p), w);
      }
    }
  }
  return fixed_exact(out, x, w, d);
}

char *e1p(char *out, double x, int w, int d) noexcept {
  if (!std::isfinite(x))
    return nonfinite(out, x, w);
  if (d < 0)
    d = 0;
  // One digit before the point and d after, i.e. d + 1 significant digits.
  char buf[1100];
  auto r = std::to_chars(buf, buf + sizeof buf - 8, x,
                         std::chars_format::scientific, d);
  if (r.ec != std::errc())
    return stars(out, w);
  char *e =
      static_cast<char *>(std::memchr(buf, 'e', std::size_t(r.ptr - buf)));
  if (e == nullptr)
    return stars(out, w);
  const char esign = e[1];
  int ex = 0;
  for (const char *q = e + 2; q < r.ptr; ++q)
    ex = ex * 10 + (*q - '0');
  char *p = e;
  if (d == 0)
    *p++ = '.';
  // Exponents up to 99 are "E+nn"; from 100 on the letter gives way to a
  // third digit.
  if (ex <= 99) {
    *p++ = 'E';
    *p++ = esign;
    p = std::copy_n(kDigits2 + 2 * ex, 2, p);
  } else {
    *p++ = esign;
    *p++ = char('0' + ex / 100);
    p = std::copy_n(kDigits2 + 2 * (ex % 100), 2, p);
  }
  return justify(out, buf, std::size_t(p - buf), w);
}

char *a(char *out, std::string_view s) noexcept {
  std::memcpy(out, s.data(), s.size());
  return out + s.size();
}

char *a(char *out, std::string_view s, int w) noexcept {
  if (w <= 0)
    return out;
  const std::size_t uw = std::size_t(w);
  if (s.size() >= uw) {
    std::memcpy(out, s.data(), uw);
    return out + uw;
  }
  const std::size_t pad = uw - s.size();
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, s.data(), s.size());
  return out + uw;
}

char *x(char *out, int n) noexcept {
  if (n <= 0)
    return out;
  std::memset(out, ' ', std::size_t(n));
  return out + n;
}

char *shortest(char *out, double x) noexcept {
  return std::to_chars(out, out + SHORTEST_MAX, x).ptr;
}

char *digits(char *out, std::int64_t v) noexcept {
  return std::to_chars(out, out + DIGITS_MAX, v).ptr;
}

namespace {

// F9.5, the layout of every RCH array value, with the field's shape fixed at
// compile time. It takes the same decisions as f(): the product x * 10^5 is
// below 2^27 for every value that fits, so it rounds exactly as the exact
// value does unless it is a halfway point, and then (and for NaN, the
// infinities and values of 1000 or more) f() decides.
inline char *f9_5(char *out, double x) noexcept {
  // Most cells of the irrigation arrays hold no recharge at all.
  if (x == 0.0 && !std::signbit(x)) {
    std::memcpy(out, "  0.00000", 9);
    return out + 9;
  }
  const double a = std::fabs(x);
  if (!(a < 1000.0))
    return f(out, x, 9, 5);
  const double t = a * 1e5;
  const std::uint32_t whole = std::uint32_t(t);
  const double frac = t - double(whole);
  if (frac == 0.5)
    return f(out, x, 9, 5);
  const std::uint32_t n = whole + (frac > 0.5 ? 1u : 0u);
  const bool neg = std::signbit(x);
  if (n > (neg ? 9999999u : 99999999u))
    return stars(out, 9);
  std::memcpy(out, "         ", 9);
  char *p = out + 9;
  std::uint32_t q = n / 100000;
  std::uint32_t r = n - q * 100000;
  const std::uint32_t r45 = r % 100;
  r /= 100;
  std::memcpy(p - 2, kDigits2 + 2 * r45, 2);
  const std::uint32_t r23 = r % 100;
  r /= 100;
  std::memcpy(p - 4, kDigits2 + 2 * r23, 2);
  p[-5] = char('0' + r);
  p[-6] = '.';
  p -= 6;
  if (q >= 10) {
    std::memcpy(p - 2, kDigits2 + 2 * (q % 100), 2);
    p -= 2;
    if (q >= 100)
      *--p = char('0' + q / 100);
  } else {
    *--p = char('0' + q);
  }
  if (neg)
    *--p = '-';
  return out + 9;
}

// The fields of values side by side, no line end.
inline char *fields(char *p, std::span<const double> values, int w,
                    int d) noexcept {
  if (w == 9 && d == 5)
    for (double v : values)
      p = f9_5(p, v);
  else
    for (double v : values)
      p = f(p, v, w, d);
  return p;
}

} // namespace

void rows(OutFile &file, std::span<const double> values, int k, int w, int d) {
  if (values.empty()) {
    file.endl();
    return;
  }
  if (k < 1)
    k = 1;
  if (w < 0)
    w = 0;
  // A record is written in pieces of at most about 4 KiB so that any field
  // count fits the file's buffer.
  const std::size_t piece =
      std::max<std::size_t>(1, 4096 / (std::size_t(w) + 1));
  const std::size_t n = values.size();
  std::size_t at = 0;
  while (at < n) {
    const std::size_t rec_end = std::min(n, at + std::size_t(k));
    while (at < rec_end) {
      const std::size_t stop = std::min(rec_end, at + piece);
      char *p = file.reserve((stop - at) * std::size_t(w) + 1);
      p = fields(p, values.subspan(at, stop - at), w, d);
      at = stop;
      if (at == rec_end)
        *p++ = '\n';
      file.commit(p);
    }
  }
}

char *rows(char *out, std::span<const double> values, int k, int w,
           int d) noexcept {
  if (values.empty()) {
    *out++ = '\n';
    return out;
  }
  const std::size_t kk = std::size_t(std::max(k, 1));
  w = std::max(w, 0);
  for (std::size_t at = 0; at < values.size(); at += kk) {
    out =
        fields(out, values.subspan(at, std::min(kk, values.size() - at)), w, d);
    *out++ = '\n';
  }
  return out;
}

ListRecord::ListRecord(char *buf, std::size_t cap) noexcept
    : buf_(buf), cap_(cap) {}

namespace {
// Appends what fits of s to a caller's buffer; a full record is cut.
std::size_t append(char *buf, std::size_t cap, std::size_t n, const char *s,
                   std::size_t len) noexcept {
  const std::size_t room = cap > n ? cap - n : 0;
  const std::size_t take = std::min(room, len);
  if (take > 0) // an empty text may have no characters at all (nullptr)
    std::memcpy(buf + n, s, take);
  return n + take;
}
} // namespace

ListRecord &ListRecord::text(std::string_view s) noexcept {
  if (!after_text_)
    n_ = append(buf_, cap_, n_, " ", 1);
  n_ = append(buf_, cap_, n_, s.data(), s.size());
  after_text_ = true;
  return *this;
}

ListRecord &ListRecord::integer(std::int64_t v) noexcept {
  char tmp[12];
  tmp[0] = ' ';
  i(tmp + 1, v, 11);
  n_ = append(buf_, cap_, n_, tmp, sizeof tmp);
  after_text_ = false;
  return *this;
}

namespace {

// 10^k as 128-bit integers, k = 0..22.
constexpr std::array<unsigned __int128, 23> kPow10U = [] {
  std::array<unsigned __int128, 23> t{};
  unsigned __int128 v = 1;
  for (auto &e : t) {
    e = v;
    v *= 10;
  }
  return t;
}();

// The 17 significant digits of x (finite, not zero), as one integer of 17
// digits and the decimal exponent of its first digit: the exact binary value
// rounded to 17 digits, a tie to the even last digit, as the library's
// scientific conversion with 16 decimals rounds. Done in 128-bit integers
// for 1e-6 <= |x| < 2^52, where x * 10^k (k <= 22) is exact; false outside.
bool digits17(double x, std::uint64_t &digits, int &ex) noexcept {
  const std::uint64_t b = std::bit_cast<std::uint64_t>(x);
  const int be = int((b >> 52) & 0x7FF);
  if (be == 0 || be >= 1023 + 52)
    return false; // subnormal, or 2^52 and above
  const std::uint64_t m = (b & ((std::uint64_t(1) << 52) - 1)) |
                          (std::uint64_t(1) << 52); // |x| = m * 2^-s
  const int s = 1075 - be;
  // floor(log10(2^(be - 1023))): the exponent or one below it.
  int est = ((be - 1023) * 78913) >> 18;
  constexpr std::uint64_t LO = 10000000000000000;  // 10^16
  constexpr std::uint64_t HI = 100000000000000000; // 10^17
  for (int tries = 0; tries < 3; ++tries) {
    const int k = 16 - est;
    if (k < 0 || k > 22)
      return false;
    const unsigned __int128 n = static_cast<unsigned __int128>(m) * kPow10U[k];
    const unsigned __int128 q = n >> s;
    if (q >= HI) {
      ++est;
      continue;
    }
    if (q < LO) {
      --est;
      continue;
    }
    const unsigned __int128 rem = n - (q << s);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
    std::uint64_t d = std::uint64_t(q);
    if (rem > half || (rem == half && (d & 1) != 0))
      ++d;
    if (d == HI) { // 9.99..95 and up rounds to 1.0000000000000000e(est+1)
      d = LO;
      ++est;
    }
    digits = d;
    ex = est;
    return true;
  }
  return false;
}

} // namespace

ListRecord &ListRecord::real(double v) noexcept {
  // A 25-character field of 17 significant digits: fixed notation
  // right-justified in 20 and 5 blanks while the decimal exponent e of the
  // rounded value is -1..16 (or the value is zero), else d.dddE+nnn.
  char field[26];
  field[0] = ' ';
  char *fld = field + 1;
  if (v == 0.0) {
    // The cells outside the model: the most common value of a store file.
    std::memcpy(fld,
                std::signbit(v) ? " -0.0000000000000000     "
                                : "  0.0000000000000000     ",
                25);
  } else if (!std::isfinite(v)) {
    nonfinite(fld, v, 25);
  } else {
    // sci holds [-]d.dddddddddddddddde<sign><exponent digits>: from the
    // integer route where it applies, else from the library.
    char sci[40];
    const char *e;
    int ex = 0;
    std::uint64_t dg;
    if (digits17(v, dg, ex)) {
      char *p = sci;
      if (v < 0)
        *p++ = '-';
      char *last = p + 17; // d . 16 digits: the point goes in after
      for (char *q = last; q > p + 1; --q) {
        *q = char('0' + dg % 10);
        dg /= 10;
      }
      p[0] = char('0' + dg);
      p[1] = '.';
      e = last + 1;
      sci[e - sci] = 'e';
      sci[e - sci + 1] = ex < 0 ? '-' : '+';
    } else {
      auto r = std::to_chars(sci, sci + sizeof sci, v,
                             std::chars_format::scientific, 16);
      e = static_cast<const char *>(
          std::memchr(sci, 'e', std::size_t(r.ptr - sci)));
      for (const char *q = e + 2; q < r.ptr; ++q)
        ex = ex * 10 + (*q - '0');
      if (e[1] == '-')
        ex = -ex;
    }
    if (ex >= -1 && ex <= 16) {
      // Fixed notation with 16 - e decimals rounds at the same decimal place
      // as the 17 significant digits just formed (a carry into a new leading
      // digit leaves zeros either way), so it is those digits with the point
      // moved: d.ddd...e+0x becomes dd...d.dd...
      const bool neg = sci[0] == '-';
      const char *d = sci + neg; // leading digit; d[1] is the point
      char fix[24];
      char *p = fix;
      if (neg)
        *p++ = '-';
      if (ex < 0) {
        *p++ = '0';
        *p++ = '.';
        *p++ = d[0];
        std::memcpy(p, d + 2, 16);
        p += 16;
      } else {
        *p++ = d[0];
        std::memcpy(p, d + 2, std::size_t(ex));
        p += ex;
        *p++ = '.';
        std::memcpy(p, d + 2 + ex, std::size_t(16 - ex));
        p += 16 - ex;
      }
      justify(fld, fix, std::size_t(p - fix), 20);
      std::memset(fld + 20, ' ', 5);
    } else {
      char s[32];
      const std::size_t mlen = std::size_t(e - sci);
      std::memcpy(s, sci, mlen);
      char *p = s + mlen;
      *p++ = 'E';
      *p++ = e[1];
      const int mag = ex < 0 ? -ex : ex;
      *p++ = char('0' + mag / 100);
      p = std::copy_n(kDigits2 + 2 * (mag % 100), 2, p);
      justify(fld, s, std::size_t(p - s), 25);
    }
  }
  n_ = append(buf_, cap_, n_, field, sizeof field);
  after_text_ = false;
  return *this;
}

std::string_view ListRecord::view() const noexcept { return {buf_, n_}; }

} // namespace quon::fmt

// fmt.h - writes numbers and texts exactly as the Fortran runtime's edit
// descriptors do (Iw, Fw.d, 1PEw.d, Aw, A, nX) and as its list-directed
// WRITE(u,*) lays out a record.
//
// Every field writer puts its characters at `out` and returns the position
// after them; none of them allocates or adds a line end. Rounding is that of
// the exact binary value to the printed digits, ties to even; a value that
// does not fit its field is written as w asterisks; a set sign bit (also for
// -0.0 and for negative values that print as zero) prints a minus sign.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quon {
class OutFile;

namespace fmt {

// Iw: the integer right-justified in w characters; w asterisks when it needs
// more than w characters (sign included).
char *i(char *out, std::int64_t v, int w) noexcept;

// Fw.d: x rounded to d decimals, right-justified in w characters; w
// asterisks when it does not fit. NaN prints "NaN"; infinities print
// "Infinity" / "-Infinity" when w allows, else "Inf" / "-Inf", else
// asterisks.
char *f(char *out, double x, int w, int d) noexcept;

// 1PEw.d: one digit before the point, d after, exponent "E+nn"; from an
// exponent of magnitude 100 on, the letter is dropped ("+nnn"). Used for
// the RCH array control record (1PE15.8).
char *e1p(char *out, double x, int w, int d) noexcept;

// A: the text as it is.
char *a(char *out, std::string_view s) noexcept;

// Aw: a text shorter than w is right-justified; a longer one keeps its
// leftmost w characters.
char *a(char *out, std::string_view s, int w) noexcept;

// nX: n blanks.
char *x(char *out, int n) noexcept;

// The shortest text that reads back to the same double (digits, a point and
// an exponent only as needed: "0.1", "1460405", "1e+22"), for files that
// programs read back at full precision. x must be finite; at most
// SHORTEST_MAX characters.
inline constexpr int SHORTEST_MAX = 32;
char *shortest(char *out, double x) noexcept;

// An integer in as many characters as it needs, no blanks: at most
// DIGITS_MAX (19 digits and a sign).
inline constexpr int DIGITS_MAX = 20;
char *digits(char *out, std::int64_t v) noexcept;

// Writes `values` with the layout (kFw.d): k fields per record, a new record
// started by format reversion after every k values, so 326 values with k = 20
// make 16 records of 20 and one of 6. Each record ends with a line end.
void rows(OutFile &f, std::span<const double> values, int k, int w, int d);

// The same records into a caller's buffer, which must hold
// values.size() * w characters plus one line end per record (one line end
// for no values); returns the position after the last line end.
char *rows(char *out, std::span<const double> values, int k, int w,
           int d) noexcept;

// Builds one list-directed record, item by item, as WRITE(u,*) does: a
// number is one blank and its field (integers I11, reals a 25-character
// field of 17 significant digits); a text is written as it is, preceded by
// one blank when it starts the record or follows a number, and joined
// directly to a text before it. The caller supplies the buffer; the record
// has no line end.
class ListRecord {
public:
  ListRecord(char *buf, std::size_t cap) noexcept;
  ListRecord &text(std::string_view s) noexcept;
  ListRecord &integer(std::int64_t v) noexcept;
  ListRecord &real(double v) noexcept;
  std::string_view view() const noexcept;

private:
  char *buf_;
  std::size_t cap_;
  std::size_t n_ = 0;
  bool after_text_ = false;
};

} // namespace fmt
} // namespace quon

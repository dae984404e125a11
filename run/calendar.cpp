// calendar.cpp - month lengths and month labels of the transient years.

#include "calendar.h"

#include "fmt.h"
#include "tables.h"

namespace quon {

int month_seconds(int y, int m) noexcept {
  const int days = (m == 2 && y % 4 == 0) ? 29 : Run::days[m - 1];
  return days * 86400;
}

char *month_label(char *out, int y, int m) noexcept {
  out = fmt::i(out, m, 2);
  *out++ = '/';
  return fmt::i(out, y, 4);
}

char *month_part(char *out, int y, int m) noexcept {
  return fmt::f(out, y + m / 100.0, 7, 2);
}

char *year_label(char *out, int y) noexcept { return fmt::i(out, y, 4); }

} // namespace quon

// calendar.h - the stress-period calendar of the transient years: month
// lengths and the labels by which a month's records and files are known.
#pragma once

namespace quon {

// Seconds in month m (1..12) of year y. February has 29 days in every year
// divisible by 4 (the model calendar has no century rule).
int month_seconds(int y, int m) noexcept;

// Writes the 7-character period label of month m of year y, " 1/1950" to
// "12/1950" (layout (I2,'/',I4)), at out; returns the position after it.
char *month_label(char *out, int y, int m) noexcept;

// Writes the 7-character period part of month m of year y, "1950.01" to
// "1950.12" (y + m/100 with two decimals, layout F7.2), at out; returns the
// position after it. The month's per-state files are named after it.
char *month_part(char *out, int y, int m) noexcept;

// Writes the 4-character year label (layout I4) at out; returns the position
// after it.
char *year_label(char *out, int y) noexcept;

} // namespace quon

// readreal.h - the list-directed reader of free-format real arrays (the
// per-state cell arrays, the terrain and XFACTOR grids); part of the
// utility unit utl.
#pragma once

#include <span>
#include <string_view>

namespace quon {
class InFile;

// Reads `rows` rows of `cols` reals from a free-format text file into a
// (row i at a[(i-1)*cols]), each row starting on a new record, after
// skipping `nheader` records. Values are separated by blanks, commas or line
// ends; repeat counts (3*1.5), null values and a slash ending a row are read
// as the runtime's list-directed input reads them; an empty item or the
// items after a slash keep the value a held before. Every failure ends the
// run through error2: "Error opening file", "Error reading file header",
// "Error reading file", followed by the file name (and on the console the
// row). An array smaller than rows * cols ends the run (endrun) before
// anything is read. Values left on the last line of a row, or after the
// last row, are reported once (warn) with the file, the row and the count:
// a header line or a decimal comma shifts every later value. A slash before
// a row's last value is reported once (warn) with the file, the row and the
// column of the first value it leaves out: a stray slash must not drop data
// without a word.
void readreal(InFile &in, std::string_view file, std::span<double> a, int rows,
              int cols, int nheader);

} // namespace quon

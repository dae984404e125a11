// flags.cpp - reads the zone grids of the model (boundary codes, soils,
// mound cells, budget zones, sub-areas, terrain classes): one small integer
// per cell, one text line per model row, optionally under a header line that
// names the zones.

#include <cstdint>

#include "files.h"
#include "inputs.h"
#include "messages.h"
#include "reporters.h"
#include "utl.h"

namespace quon {
namespace {

// True when the name is the single character "*" followed only by blanks:
// the shorthand for "every cell in zone 1" that needs no file.
bool is_star(std::string_view file) {
  std::size_t n = file.size();
  while (n > 0 && file[n - 1] == ' ')
    --n;
  return n == 1 && file[0] == '*';
}

// Converts one integer field as the formatted-read runtime does with blanks
// ignored: leading blanks skipped, an all-blank field is 0, an optional sign
// must be followed by at least one more character of the field, blanks after
// the sign or between digits do not count. Any other character (a tab
// included) makes the field bad. Fields are at most two characters wide, so
// the value cannot overflow.
bool field_value(std::string_view f, std::int32_t &v) {
  std::size_t p = 0;
  while (p < f.size() && f[p] == ' ')
    ++p;
  v = 0;
  if (p == f.size())
    return true;
  bool negative = false;
  if (f[p] == '-' || f[p] == '+') {
    negative = f[p] == '-';
    ++p;
    if (p == f.size())
      return false; // a sign that ends the field
  }
  std::int32_t value = 0;
  for (; p < f.size(); ++p) {
    const char ch = f[p];
    if (ch == ' ')
      continue;
    if (ch < '0' || ch > '9')
      return false;
    value = value * 10 + (ch - '0');
  }
  v = negative ? -value : value;
  return true;
}

// Reads one model row of ncol fields of width w from the start of rec into
// row[0..ncol-1], as a (999Iw) read of one record does: a field lying past
// the end of a short record reads as 0, characters after the last field are
// ignored, and a comma ends the field it is met in (the comma is used up and
// the next field starts right after it). False at the first bad field.
bool read_row(std::string_view rec, int w, int ncol, std::int32_t *row) {
  std::size_t p = 0;
  const std::size_t n = rec.size();
  for (int j = 0; j < ncol; ++j) {
    const std::size_t start = p;
    std::size_t stop = p;
    for (int taken = 0; taken < w && p < n; ++taken) {
      if (rec[p++] == ',')
        break;
      stop = p;
    }
    if (!field_value(rec.substr(start, stop - start), row[j]))
      return false;
  }
  return true;
}

} // namespace

// Reads a zone grid; see inputs.h. With limit >= 1 the header line (its
// first HEADERLEN characters, cleaned of control characters) gives the zone
// names, cut to W characters, and the row layout: one character a cell for
// up to 9 names, two characters a cell for more. Without names every cell is
// two characters wide and nothing is checked. nrow and ncol are held within
// NROW and NCOL. Every failure ends the
// run through error2 with the file name: "Error opening file", "Too many
// zones in" (also when the name table is smaller than the limit), "Error
// reading file" (a missing header or row line, a bad field) and "Zone out of
// range in file" (checked only after the whole file is read). Does not
// allocate.
namespace {
ZoneShape zone_shape;
} // namespace

template <int W>
void readflags(InFile &in, std::string_view file, ZoneGrid &grid, int nrow,
               int ncol, std::span<Text<W>> names, int &count, int limit) {
  nrow = std::clamp(nrow, 0, NROW);
  ncol = std::clamp(ncol, 0, NCOL);
  zone_shape = ZoneShape{};

  if (is_star(file)) {
    count = 1;
    if (!names.empty())
      names[0].set("*");
    std::fill(grid.begin(), grid.begin() + std::size_t(nrow) * ncol, 1);
    return;
  }

  if (!in.open(file))
    error2(msg::ERROR_OPENING, file);

  std::string_view rec;
  int width = 2;
  if (limit >= 1) {
    // A grid that should name its zones but has no line at all cannot be
    // read; the missing header ends the run like a missing row.
    if (!in.next(rec)) {
      in.close();
      error2(msg::ERROR_READING, file);
    }
    char header[HEADERLEN];
    const std::size_t hn = std::min<std::size_t>(rec.size(), HEADERLEN);
    std::memcpy(header, rec.data(), hn);
    std::memset(header + hn, ' ', HEADERLEN - hn);
    linefix(std::span<char>(header, HEADERLEN));
    const std::string_view line(header, HEADERLEN);

    count = 0;
    const int room = std::min<int>(limit, int(names.size()));
    Word word;
    int pos = 1, err = 0;
    for (;;) {
      charin(word, line, pos, pos, err);
      if (err != 0)
        break;
      ++count;
      if (count > room) {
        in.close();
        error2(msg::TOO_MANY_ZONES, file);
      }
      names[count - 1].set(word.trimmed());
    }
    width = count <= 9 ? 1 : 2;
  }

  ZoneShape &shape = zone_shape;
  for (int r = 0; r < nrow; ++r) {
    if (!in.next(rec) ||
        !read_row(rec, width, ncol, grid.data() + std::size_t(r) * ncol)) {
      in.close();
      error2(msg::ERROR_READING, file);
    }
    if (rec.size() < std::size_t(width) * std::size_t(ncol) &&
        shape.short_rows++ == 0)
      shape.first_short = r + 1;
  }
  // Lines after the grid are not read as data; they count for the dry
  // run's inventory, since they usually mean rows that slipped.
  while (in.next(rec))
    if (length0(rec) > 0)
      ++shape.extra_lines;
  in.close();

  if (limit < 1)
    return;
  const std::size_t cells = std::size_t(nrow) * ncol;
  for (std::size_t k = 0; k < cells; ++k)
    if (grid[k] < 0 || grid[k] > count)
      error2(msg::ZONE_RANGE, file);
}

const ZoneShape &last_zone_shape() noexcept { return zone_shape; }

template void readflags<NAMELEN>(InFile &, std::string_view, ZoneGrid &, int,
                                 int, std::span<Text<NAMELEN>>, int &, int);
template void readflags<SUBNAMELEN>(InFile &, std::string_view, ZoneGrid &, int,
                                    int, std::span<Text<SUBNAMELEN>>, int &,
                                    int);

} // namespace quon

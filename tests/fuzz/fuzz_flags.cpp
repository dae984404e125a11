// fuzz_flags.cpp - fuzzes the zone grid reader (readflags) with its limits,
// on a grid shape, zone limit and name table size the first bytes choose.
//
// Holds: a grid read completely with a zone limit holds only codes from 0 to
// its zone count, the count stays within the limit and the name table, and
// nothing is written outside the grid or the name table.

#include <memory>
#include <vector>

#include "harness.h"
#include "inputs.h"

using namespace quon;

namespace {

template <int W>
void read_grid(std::string_view file, int nrow, int ncol, int limit,
               int nnames) {
  // The grid and the names on the heap at their exact sizes.
  auto grid = std::make_unique<ZoneGrid>();
  grid->fill(-7);
  std::vector<Text<W>> names(static_cast<std::size_t>(nnames));
  int count = -1;
  static InFile in; // one buffer for the whole campaign, as a run has
  try {
    readflags<W>(in, file, *grid, nrow, ncol, std::span<Text<W>>(names), count,
                 limit);
  } catch (const RunEnd &) {
    fuzz::reset_report();
    return;
  }
  const std::size_t cells = std::size_t(nrow) * std::size_t(ncol);
  for (std::size_t k = cells; k < grid->size(); ++k)
    QUON_FUZZ_CHECK((*grid)[k] == -7);
  if (limit < 1)
    return;
  QUON_FUZZ_CHECK(count >= 0 && count <= limit && count <= nnames);
  for (std::size_t k = 0; k < cells; ++k)
    QUON_FUZZ_CHECK((*grid)[k] >= 0 && (*grid)[k] <= count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  if (size < 2)
    return 0;
  fuzz::enter_private_dir();
  // Shape 1..4 rows by 1..32 columns; zone limit -1..23 (0 and below: no
  // header, nothing checked); the name table 0..23 entries; names of 16 or
  // of 10 characters.
  const int nrow = 1 + (data[0] & 3);
  const int ncol = 1 + ((data[0] >> 2) & 31);
  const bool sub = data[0] >> 7;
  const int limit = int(data[1] % 25) - 1;
  constexpr int SIZES[] = {0, 1, 2, 3, 9, 10, 23, 24, 1, 9, 23};
  int nnames = SIZES[data[1] / 25];
  const std::string_view text(reinterpret_cast<const char *>(data) + 2,
                              size - 2);
  // A name of "*" makes every cell 1 without a file.
  const bool star = text == "*";
  if (!star)
    fuzz::write_file("zones.txt", text);
  const std::string_view file = star ? "*" : "zones.txt";
  if (star && nnames == 0)
    nnames = 1; // every caller has room for the one zone of "*"

  if (sub)
    read_grid<SUBNAMELEN>(file, nrow, ncol, limit, nnames);
  else
    read_grid<NAMELEN>(file, nrow, ncol, limit, nnames);
  return 0;
}

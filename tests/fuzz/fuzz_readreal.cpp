// fuzz_readreal.cpp - fuzzes the free-format real-array reader (readreal) on
// a small grid whose shape the input's first byte chooses.
//
// Holds: a grid read completely holds only finite values, nothing is written
// outside the array, and where a row is one record of plain numbers the
// grid reader gives the same bits as the word reader (realin) for each of
// them.

#include <cmath>
#include <memory>
#include <vector>

#include "files.h"
#include "harness.h"
#include "readreal.h"
#include "utl.h"

using namespace quon;

namespace {

// Characters of a plain number word: nothing list-directed input treats
// specially (no comma, slash, star, quote or apostrophe).
bool plain_char(char c) {
  return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' ||
         c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q';
}

// Records of the input as InFile splits them when it has no CR.
std::vector<std::string_view> records(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const std::size_t at = text.find('\n');
    out.push_back(text.substr(0, at));
    if (at == std::string_view::npos)
      break;
    text.remove_prefix(at + 1);
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  if (size < 1)
    return 0;
  fuzz::enter_private_dir();
  // Shape: 1..4 rows, 1..8 columns, 0..1 header records.
  const int rows = 1 + (data[0] & 3);
  const int cols = 1 + ((data[0] >> 2) & 7);
  const int nheader = (data[0] >> 5) & 1;
  const std::string_view text(reinterpret_cast<const char *>(data) + 1,
                              size - 1);
  fuzz::write_file("grid.txt", text);

  // Exactly the grid's size on the heap: a write past it is caught.
  const std::size_t n = std::size_t(rows) * std::size_t(cols);
  std::unique_ptr<double[]> a(new double[n]);
  for (std::size_t k = 0; k < n; ++k)
    a[k] = 0.25;    // what an item left empty keeps
  static InFile in; // one buffer for the whole campaign, as a run has
  try {
    readreal(in, "grid.txt", std::span<double>(a.get(), n), rows, cols,
             nheader);
  } catch (const RunEnd &) {
    fuzz::reset_report();
    return 0;
  }
  for (std::size_t k = 0; k < n; ++k)
    QUON_FUZZ_CHECK(std::isfinite(a[k]));

  // Rows that are each one record of at least `cols` plain words.
  if (text.find('\r') != std::string_view::npos)
    return 0;
  const std::vector<std::string_view> recs = records(text);
  if (recs.size() < std::size_t(nheader + rows))
    return 0;
  for (int i = 0; i < rows; ++i) {
    const std::string_view rec = recs[std::size_t(nheader + i)];
    for (char c : rec)
      if (c != ' ' && !plain_char(c))
        return 0;
  }
  for (int i = 0; i < rows; ++i) {
    const std::string_view rec = recs[std::size_t(nheader + i)];
    int pos = 1;
    for (int j = 0; j < cols; ++j) {
      int err = 0;
      int first = pos;
      eol(rec, first);
      const double v = realin(rec, pos, pos, err);
      if (err == -1)
        return 0; // fewer words than columns: the row went on
      if (err != 0)
        continue; // spellings only one of the two readers takes
      if (pos - first > 32)
        continue; // the word reader reads a field of 32 characters
      const double g = a[std::size_t(i) * std::size_t(cols) + std::size_t(j)];
      QUON_FUZZ_CHECK(std::memcmp(&v, &g, sizeof v) == 0);
    }
  }
  return 0;
}

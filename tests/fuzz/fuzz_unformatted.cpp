// fuzz_unformatted.cpp - fuzzes the unformatted cell array reader (readfile
// in BIN mode). A whole grid is 430,328 bytes, more than a fuzz input
// should be: when the first input byte is odd, the harness writes the next
// four bytes as the leading length word, the input's remaining bytes
// repeated to fill one grid, and the last four bytes as the trailing length
// word; when it is even, the rest of the input is the file as it is.
//
// Holds: a grid that is read holds only finite values, exactly the file's
// bytes; a file that is refused leaves the grid all zero; nothing is written
// outside the grid.

#include <cmath>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "harness.h"
#include "period.h"

using namespace quon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  if (size < 1)
    return 0;
  fuzz::enter_private_dir();
  static std::unique_ptr<Run> run = [] {
    auto r = make_run();
    r->binmode = 1;
    mkdir("d", 0777);
    return r;
  }();
  static std::string file;
  const std::string_view in(reinterpret_cast<const char *>(data) + 1, size - 1);
  const bool tiled = (data[0] & 1) && in.size() >= 9;
  if (tiled) {
    constexpr std::size_t BYTES = sizeof(CellArray);
    const std::string_view body = in.substr(4, in.size() - 8);
    file.assign(in.substr(0, 4));
    while (file.size() < 4 + BYTES)
      file.append(body.substr(0, 4 + BYTES - file.size()));
    file.append(in.substr(in.size() - 4));
  } else {
    file.assign(in);
  }
  fuzz::write_file("d/1950.01.pmp", file);

  CellArray &a = run->readbuf;
  a.fill(3.0); // what a refused file must not leave behind
  const fuzz::Guard g(*run, {fuzz::region(a), fuzz::region(run->data)});
  bool got = false;
  try {
    got = readfile(*run, a, "d", "1950.01", "pmp");
  } catch (const RunEnd &) {
    // A damaged file ends the run; its report is on record.
    fuzz::reset_report();
    g.check();
    return 0;
  }
  g.check();
  if (!got) {
    for (double v : a)
      QUON_FUZZ_CHECK(v == 0.0);
    return 0;
  }
  // Accepted: a record of at least one grid after its length word (a longer
  // record, or one without its trailing length word, as the runtime reads
  // them), and the grid holds its first values.
  QUON_FUZZ_CHECK(file.size() >= sizeof a + 4);
  QUON_FUZZ_CHECK(std::memcmp(a.data(), file.data() + 4, sizeof a) == 0);
  for (double v : a)
    QUON_FUZZ_CHECK(std::isfinite(v));
  return 0;
}

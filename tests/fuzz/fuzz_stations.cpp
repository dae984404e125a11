// fuzz_stations.cpp - fuzzes the STATIONS reader (readstation): the rest of
// its parameter line, the location file and the precipitation file, cut from
// the input at "%%" lines.
//
// Holds: the station count stays within the table, every station's
// coordinates and every precipitation value of the table are finite, and
// nothing is written outside the station table.

#include <cmath>
#include <memory>

#include "files.h"
#include "harness.h"
#include "inputs.h"

using namespace quon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  fuzz::enter_private_dir();
  static std::unique_ptr<Run> run = make_run();
  const auto part = fuzz::split<3>(
      std::string_view(reinterpret_cast<const char *>(data), size));
  const std::string_view words = part[0].substr(0, part[0].find('\n'));
  fuzz::write_file("loc.txt", part[1]);
  fuzz::write_file("ppt.txt", part[2]);
  // The file names are the harness's own: a fuzzed name could reach any
  // file on the machine.
  std::string line = "STATIONS loc.txt ppt.txt ";
  line.append(words.substr(0, LINELEN - line.size()));
  fuzz::set_line(*run, line, 9);

  const fuzz::Guard g(
      *run, {fuzz::region(run->stations), fuzz::region(run->data),
             fuzz::region(run->linepos), fuzz::region(run->usedname)});
  try {
    readstation(*run);
  } catch (const RunEnd &) {
    fuzz::reset_report();
  }
  run->data.close();
  g.check();
  const StationTable &st = run->stations;
  QUON_FUZZ_CHECK(st.count >= 0 && st.count <= MAXSTATION);
  for (int i = 0; i < st.count; ++i) {
    QUON_FUZZ_CHECK(std::isfinite(st.x[i]) && std::isfinite(st.y[i]));
    for (const auto &year : st.ppt)
      QUON_FUZZ_CHECK(std::isfinite(year[i]));
  }
  return 0;
}

// fuzz_terrain.cpp - fuzzes the TERRAIN reader (readterrain): the options
// after its three file names, the class grid and the multiplier file, cut
// from the input at "%%" lines. The class grid part is its header line and
// a few rows; the harness repeats the rows to the model's 165, so that
// inputs stay small.
//
// Holds: every cell of a class-0 cell gets 1.0, every other cell a finite
// multiplier, the class grid holds only classes that were named, the
// location count stays within the table, and nothing is written outside
// the terrain tables and the kriging store.

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

  // The class grid: the header, then the given rows over and over.
  std::string_view grid = part[1];
  const std::size_t hend = grid.find('\n');
  std::string cls(grid.substr(0, hend));
  cls += '\n';
  grid = hend == std::string_view::npos ? std::string_view()
                                        : grid.substr(hend + 1);
  std::string_view rows[8];
  int nrows = 0;
  while (!grid.empty() && nrows < 8) {
    const std::size_t e = grid.find('\n');
    rows[nrows++] = grid.substr(0, e);
    grid =
        e == std::string_view::npos ? std::string_view() : grid.substr(e + 1);
  }
  for (int r = 0; r < NROW; ++r) {
    if (nrows > 0)
      cls += rows[r % nrows];
    cls += '\n';
  }
  fuzz::write_file("class.txt", cls);
  fuzz::write_file("mult.txt", part[2]);

  // The file names are the harness's own: fuzzed ones could reach any file.
  std::string line = "TERRAIN class.txt mult.txt plot.txt ";
  line.append(
      part[0].substr(0, std::min(part[0].find('\n'), LINELEN - line.size())));
  fuzz::set_line(*run, line, 8);

  // What the reader writes: the class grid and its names, the multipliers
  // and their locations, the kriging store, and the files it reads through.
  const fuzz::Guard g(
      *run,
      {fuzz::region(run->terclass), fuzz::region(run->ternames, run->nterclass),
       fuzz::region(run->terrain, run->nterrain), fuzz::region(run->krig),
       fuzz::region(run->data), fuzz::region(run->side),
       fuzz::region(run->linepos), fuzz::region(run->usedname),
       fuzz::region(run->zoneshape)});
  bool ended = false;
  try {
    readterrain(*run);
    write_terrain_plot(*run);
  } catch (const RunEnd &) {
    fuzz::reset_report();
    ended = true;
  }
  run->data.close();
  run->side.close();
  g.check();
  if (ended)
    return 0;
  QUON_FUZZ_CHECK(run->nterclass >= 0 && run->nterclass <= MAXTERCLASS);
  QUON_FUZZ_CHECK(run->nterrain >= 0 && run->nterrain <= MAXTERRAIN);
  for (int i = 0; i < NCELL; ++i) {
    const int k = run->terclass[i];
    QUON_FUZZ_CHECK(k >= 0 && k <= run->nterclass);
    QUON_FUZZ_CHECK(k != 0 || run->terrain[i] == 1.0);
    QUON_FUZZ_CHECK(std::isfinite(run->terrain[i]));
  }
  return 0;
}

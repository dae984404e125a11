// fuzz_function.cpp - fuzzes the FUNCTION block (readfunction) read from a
// parameter file, with the spline fitted through its points and the table
// lookup (binfind) the annual evaluation makes. The first input byte gives
// the number of soils; the rest follows "FUNCTION " in the parameter file.
//
// Holds: the table has at most MAXTABROW rows on the 0.1 grid, every table
// value of every soil is finite, a lookup anywhere on the grid gives a value
// between the two table values around it, the line the block ends on is
// put back for the keyword loop, and nothing is written outside the
// function table.

#include <cfloat>
#include <cmath>
#include <memory>

#include "files.h"
#include "harness.h"
#include "inputs.h"

using namespace quon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  if (size < 1)
    return 0;
  fuzz::enter_private_dir();
  static std::unique_ptr<Run> run = make_run();
  const std::string_view text(reinterpret_cast<const char *>(data) + 1,
                              size - 1);
  // The table file's name comes from the input: it must stay in this folder.
  const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  if (first.find('/') != std::string_view::npos)
    return 0;
  fuzz::write_file("param.txt", "FUNCTION " + std::string(text));

  run->nsoil = data[0] % (MAXSOIL + 1);
  QUON_FUZZ_CHECK(run->param.open("param.txt"));
  std::string_view rec;
  QUON_FUZZ_CHECK(run->param.next(rec));
  fuzz::set_line(*run, rec, 9);

  const fuzz::Guard g(*run, {fuzz::region(run->functions),
                             fuzz::region(run->param), fuzz::region(run->side),
                             fuzz::region(run->line, run->linepos),
                             fuzz::region(run->usedname)});
  bool ended = false;
  try {
    readfunction(*run);
    write_function_table(*run);
  } catch (const RunEnd &) {
    fuzz::reset_report();
    ended = true;
  }
  run->side.close();
  g.check();
  if (!ended) {
    // The keyword loop goes on with the line that ended the block, if any.
    const std::string_view kept(run->line.c, std::size_t(run->linelen));
    std::string_view again;
    if (run->param.next(again)) {
      const std::size_t n = std::min<std::size_t>(again.size(), LINELEN);
      QUON_FUZZ_CHECK(n == kept.size());
    }
  }
  run->param.close();
  if (ended)
    return 0;

  const FunctionTable &t = run->functions;
  QUON_FUZZ_CHECK(t.rows >= 0 && t.rows <= MAXTABROW);
  for (int j = 0; j < t.rows; ++j)
    QUON_FUZZ_CHECK(t.v[0][0][j] == double(j) * 0.1 &&
                    t.v[0][1][j] == t.v[0][0][j]);
  for (int s = 1; s <= run->nsoil; ++s)
    for (int f = 0; f < 2; ++f)
      for (int j = 0; j < t.rows; ++j)
        QUON_FUZZ_CHECK(std::isfinite(t.v[s][f][j]));

  // Lookups between grid points, at the places the input's bytes choose.
  if (t.rows < 1)
    return 0;
  const std::span<const double> grid(t.grid(), std::size_t(t.rows));
  for (std::size_t k = 1; k < size && k < 64; ++k) {
    const int j = int(data[k]) * (t.rows - 1) / 255;
    const double v = grid[std::size_t(j)] + 0.1 * (data[k] & 15) / 16.0;
    if (v > grid[std::size_t(t.rows - 1)])
      continue;
    for (int s = 1; s <= run->nsoil; ++s) {
      const std::span<const double> col(t.v[s][k & 1].data(),
                                        std::size_t(t.rows));
      double r = 0.0;
      try {
        r = binfind(v, grid, col, t.rows);
      } catch (const RunEnd &) {
        QUON_FUZZ_CHECK(false); // inside the grid: never out of range
      }
      const int hi = std::min(j + 1, t.rows - 1);
      const double lo_v = std::min(col[std::size_t(j)], col[std::size_t(hi)]);
      const double hi_v = std::max(col[std::size_t(j)], col[std::size_t(hi)]);
      // The interpolation rounds: allow a few units in the last place.
      const double slack =
          8 * DBL_EPSILON * std::max(std::fabs(lo_v), std::fabs(hi_v));
      QUON_FUZZ_CHECK(std::isfinite(r) && r >= lo_v - slack &&
                      r <= hi_v + slack);
    }
  }
  return 0;
}

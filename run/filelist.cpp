// filelist.cpp - quon --files: the run's inputs as the input guard noted
// them and the outputs of the run's writers, each a line of its own, so that
// a tool can check its outputs against quon's own list instead of reading
// the parameter file a second way.
#include "filelist.h"

#include <cstdio>
#include <string_view>

#include "inputguard.h"
#include "places.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"
#include "writer.h"

namespace quon {
namespace {

constexpr std::string_view INPUT = "input\t";
constexpr std::string_view OUTPUT = "output\t";

void line(std::string_view kind, std::string_view name) {
  name = name.substr(0, std::size_t(length0(name)));
  if (name.empty())
    return;
  std::fwrite(kind.data(), 1, kind.size(), stdout);
  std::fwrite(name.data(), 1, name.size(), stdout);
  std::fputc('\n', stdout);
}

// A writer's yearly family over the transient years that lie in the tables.
void yearly(const Run &run, const OutputFamily &f) {
  if (run.trans_start < FIRSTYEAR || run.trans_end > LASTYEAR)
    return;
  for (int y = run.trans_start; y <= run.trans_end; ++y)
    for (int e = 0; e < f.nexts; ++e) {
      Detail p;
      yearly_path(p, f.dir, y, f.exts[std::size_t(e)]);
      line(OUTPUT, p.view());
    }
}

} // namespace

void list_files(const Run &run) {
  for (std::size_t i = 0; i < noted_inputs(); ++i)
    line(INPUT, noted_input(i));
  for (const Writer *w : run.writers) {
    for (int i = 0; i < w->files(run); ++i)
      line(OUTPUT, w->file(run, i).name);
    OutputFamily f;
    if (w->family(run, f))
      yearly(run, f);
  }
  std::fflush(stdout);
}

} // namespace quon

// files.cpp - quon --files: the run's inputs as the input guard noted them
// and the run's outputs, each a line of its own, so that a tool can check
// its outputs against quon's own list instead of reading the parameter file
// a second way.
#include "files.h"

#include <cstdio>
#include <string_view>

#include "calendar.h"
#include "io.h"
#include "mf6.h"
#include "tables.h"
#include "utl.h"

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

// The per-year outputs dir/year.ext (no dir: year.ext) of the transient
// years that lie in the tables.
void yearly(const Run &run, std::string_view dir, std::string_view ext) {
  if (run.trans_start < FIRSTYEAR || run.trans_end > LASTYEAR ||
      run.trans_start > run.trans_end || ext.empty())
    return;
  for (int y = run.trans_start; y <= run.trans_end; ++y) {
    char y4[8];
    Detail p;
    if (!dir.empty())
      p.text(dir).text("/");
    p.text({y4, std::size_t(year_label(y4, y) - y4)}).text(".").text(ext);
    line(OUTPUT, p.view());
  }
}

} // namespace

void list_files(const Run &run) {
  for (std::size_t i = 0; i < noted_inputs(); ++i)
    line(INPUT, noted_input(i));
  line(OUTPUT, run.wellname.full());
  for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k)
    line(OUTPUT, run.rchnames[std::size_t(k)].full());
  for (int i = 0; i < MF6FILES; ++i)
    line(OUTPUT, mf6_entry(run, i).name);
  line(OUTPUT, "fort.2");
  if (run.has_subarea) {
    line(OUTPUT, "quon/pump.bsn");
    line(OUTPUT, "quon/rech.bsn");
  }
  for (int u = NINPUTUSE; u < NFILEUSE; ++u)
    line(OUTPUT, run.usedname[std::size_t(u)].full());
  if (run.nstore == 3)
    for (const Name &n : run.storenames)
      yearly(run, run.storedir.trimmed(), n.trimmed());
  if (run.annpump)
    yearly(run, {}, "csv");
  std::fflush(stdout);
}

} // namespace quon

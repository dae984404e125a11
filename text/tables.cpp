// tables.cpp - allocation of the run-wide tables and their defaults.

#include "tables.h"

#include "fmt.h"
#include "messages.h"
#include "utl.h"

namespace quon {

std::unique_ptr<Run> make_run() {
  // One allocation for the whole run; the member initialisers give every
  // table its default (value-initialised arrays are zero).
  auto run = std::make_unique<Run>();
  for (int c = 1; c <= NCOL; ++c)
    run->xc[c] = (c - 0.5) * CELLSIZE + X0;
  for (int r = 1; r <= NROW; ++r)
    run->yc[r] = (NROW - r + 0.5) * CELLSIZE + Y0;
  run->ibound.fill(1);
  run->terrain.fill(1.0);
  run->statedir[0].set("co");
  run->statedir[1].set("ks");
  run->statedir[2].set("ne");
  run->statecode[0].set("co");
  run->statecode[1].set("ks");
  run->statecode[2].set("ne");
  run->subnames[0].set("nonOsken");
  return run;
}

bool side_output_allowed(const Run &run, int use, std::string_view name) {
  if (run.dry)
    return false;
  static FileKey out, in; // a few KB each: kept off the stack
  if (!file_key(name, out))
    return true;
  for (int u = 0; u < NINPUTUSE; ++u) {
    const Word &w = run.usedname[std::size_t(u)];
    if (w.blank() || w.trimmed() == "*" || !file_key(w.full(), in))
      continue;
    if (!same_file(in, out))
      continue;
    char buf[WORDLEN + 128];
    fmt::ListRecord rec(buf, sizeof buf);
    rec.text(msg::FILE_TWO_USES)
        .text(name.substr(0, std::size_t(length0(name))))
        .text(" (")
        .text(msg::USE_NAMES[u])
        .text(" and ")
        .text(msg::USE_NAMES[use])
        .text(")");
    endrecord(rec.view());
  }
  return true;
}

} // namespace quon

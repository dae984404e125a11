// tables.cpp - allocation of the run-wide tables and their defaults.

#include "tables.h"

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

} // namespace quon

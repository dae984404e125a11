// writer_list.h - the run's list of writers, built once from the settings.
#pragma once

#include "writer.h"

namespace quon {
struct Run;

// Builds the run's writers into run.writers, in the order --check lists
// their files: the WEL file, the RCH files, the MODFLOW 6 files, fort.2's
// budget table, the sub-area files, the BUDGETCSV table, the function table, the terrain plot,
// the store grids and the yearly pumping tables. A writer whose output the
// settings do not ask for is left out; the MODFLOW 6 file names are formed
// first (mf6_names). Allocates nothing.
void build_writers(Run &run);

} // namespace quon

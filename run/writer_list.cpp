// writer_list.cpp - the one place the run's outputs are listed: adding an
// output is one line here.

#include "writer_list.h"

#include "budget.h"
#include "mf6.h"
#include "tables.h"
#include "writers.h"

namespace quon {

void build_writers(Run &run) {
  // The MODFLOW 6 file names follow from the MF6 base and the RECHARGE
  // count (all blank without MF6).
  mf6_names(run);
  WriterList &w = run.writers;
  w.clear();
  w.add(wel_writer());
  w.add(rch_writer());
  if (!run.mf6base.blank())
    w.add(mf6_writer());
  w.add(report_writer());
  if (run.has_subarea)
    w.add(subarea_writer());
  if (!run.usedname[USE_BUDGETCSV].blank())
    w.add(budgetcsv_writer());
  w.add(function_table_writer());
  w.add(terrain_plot_writer());
  if (run.nstore == 3)
    w.add(store_writer());
  if (run.annpump)
    w.add(annpump_writer());
}

} // namespace quon

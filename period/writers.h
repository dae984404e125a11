// writers.h - the writers of the period files (RCH, WEL, MODFLOW 6, store
// grids, yearly pumping tables, side files) and what they share: opening a
// model file to append, flushing and closing with a lost write ending the
// run.
#pragma once

#include <string_view>

#include "writer.h"

namespace quon {
struct Run;
class OutFile;

// The writers of this folder, each an object of static storage.
Writer &wel_writer();
Writer &rch_writer();
Writer &mf6_writer();
Writer &function_table_writer();
Writer &terrain_plot_writer();
Writer &store_writer();
Writer &annpump_writer();

// The writers of the model files (WEL, RCH, MODFLOW 6) in list order: what
// period() hands a period to when the run has built no list (a period
// written on its own).
void model_writers(WriterList &list);

// Whether a model file is to be opened to append to: APPEND was given and
// the file holds something. A new or empty file gets its header line (and
// a report), since MODFLOW cannot read a package file without it.
bool appends(const Run &run, std::string_view name);

// Flushes a model file at the end of its period's records; a lost block
// would leave MODFLOW a truncated stress period, so the run ends.
void flush_or_end(OutFile &f);

// Closes a file (when open) and ends the run when any write to it failed.
void close_checked(OutFile &f);

} // namespace quon

// budget.h - the annual budget tables by state, budget zone and sub-area.
#pragma once

#include <string_view>

#include "quon.h"
#include "writer.h"

namespace quon {
struct Run;

// Header line of the budget table, written to the report file.
void budget_header(Run &run);

// Opens "quon/pump.bsn" and "quon/rech.bsn" and writes their header lines.
void subarea_headers(Run &run);

// One budget row ("SS" steady, else the year) for the recharge grid rech;
// a transient row also fills slice 0 of pmp, mi, agw, aco and asw.
void budget(Run &run, std::string_view label, const CellArray &rech);

// As budget, plus the sub-area rows of the two sub-area files.
void budget2(Run &run, std::string_view label, const CellArray &rech);

// The writers of this folder (objects of static storage): fort.2's budget
// table, and the sub-area files.
Writer &report_writer();
Writer &subarea_writer();

} // namespace quon

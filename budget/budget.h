// budget.h - the annual budget tables by state, budget zone and sub-area.
#pragma once

#include <array>
#include <string_view>

#include "quon.h"
#include "writer.h"

namespace quon {
struct Run;

// Labels of the nine column groups of a budget row, in their order; the
// steady row holds only RchRcp_af.
inline constexpr std::array<std::string_view, NBUDGROUP> BUDGET_GROUPS{
    "gwIrr_af",  "gwMI_af",   "gwArea_ac", "coArea_ac", "swArea_ac",
    "RchRcp_af", "RchRcg_af", "RchRcs_af", "RchRcc_af"};
inline constexpr std::size_t STEADY_GROUP = 5;

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
// table, the sub-area files, and the BUDGETCSV table (after the other two in
// the list: it takes the rows they write).
Writer &report_writer();
Writer &subarea_writer();
Writer &budgetcsv_writer();

} // namespace quon

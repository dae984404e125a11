// budgetcsv.h - the BUDGETCSV file: every value of the budget tables (the
// budget rows of the report file and the rows of the two sub-area files) as
// one long CSV table that analysis programs read with their default CSV
// reader, one value a row at full precision:
//
//   period,first_year,last_year,area_kind,area,quantity,value
//   steady,1948,1950,zone,CO,RchRcp_af,243657.04127
//   year,1951,1951,subarea,NorthFork_co,pump_af,28199.2
//
// The report file prints each value rounded to one decimal; the table holds
// the shortest text that reads back to the same double, so the printed value
// is the table's value rounded.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "quon.h"

namespace quon {
struct Run;

// The name BUDGETCSV gave when there is no BUDGET line (the table would have
// no rows, which the run's checks report), else empty. Never allocates.
std::string_view budgetcsv_without_budget(const Run &run);

// Creates (or replaces) the file BUDGETCSV named and writes its header line;
// does nothing when no BUDGETCSV was given, or in a dry run. A file that
// cannot be created ends the run with its name. Does not allocate.
void budgetcsv_open(Run &run);

// The rows of one budget row of the report file, values in the row's order:
// the steady row (steady true: the precipitation recharge of the budget
// zones and their total, years run.steady_start to run.steady_end) or a
// year's row (the nine groups, year run.year). Each group's last value is
// its total, area "total". Does nothing when the file is not open. Does not
// allocate.
void budgetcsv_zones(Run &run, bool steady, std::span<const double> values);

// The rows of one year's sub-area rows: pumping and recharge of sub-areas
// 0..nsub and the three states, areas named as the sub-area files' headers
// name their columns. Writes the year's rows out, ending the run if the
// file has failed. Does nothing when the file is not open. Does not
// allocate.
using SubareaSums = std::array<std::array<double, MAXSUBAREA + 1>, NSLICE>;
void budgetcsv_subareas(Run &run, const SubareaSums &pump,
                        const SubareaSums &rech, int nsub);

} // namespace quon

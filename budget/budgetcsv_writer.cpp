// budgetcsv_writer.cpp - the BUDGETCSV file as a writer of the list: every
// value of the budget tables (the budget rows of the report file and the
// rows of the two sub-area files) as one long CSV table that analysis
// programs read with their default CSV reader, one value a row at full
// precision:
//
//   period,first_year,last_year,area_kind,area,quantity,value
//   steady,1948,1950,zone,CO,RchRcp_af,243657.04127
//   year,1951,1951,subarea,NorthFork_co,pump_af,28199.2
//
// The report file prints each value rounded to one decimal; the table holds
// the shortest text that reads back to the same double, so the printed value
// is the table's value rounded. The writer comes after the report and
// sub-area writers in the list: at the end of a year it takes the row they
// have just written (run.budrow, run.subpump, run.subrech).

#include <algorithm>
#include <array>
#include <string_view>

#include "../text/fmt.h"
#include "budget.h"
#include "files.h"
#include "messages.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

constexpr std::string_view HEADER =
    "period,first_year,last_year,area_kind,area,quantity,value";

constexpr std::string_view TOTAL = "total";
constexpr std::array<std::string_view, NSTATE> STATE_CODES{"co", "ks", "ne"};

// Longest row: a name of at most NAMELEN characters, quoted with every
// character doubled, a value and the fixed fields.
constexpr std::size_t ROWMAX =
    (2 * NAMELEN + 2) + 2 * fmt::DIGITS_MAX + fmt::SHORTEST_MAX + 64;

// A text as one CSV field: quoted, with its quotes doubled, when it holds a
// comma or a quote (a name of a zone grid's header may), else as it is.
char *field(char *p, std::string_view s) {
  if (s.find_first_of(",\"") == std::string_view::npos)
    return fmt::a(p, s);
  *p++ = '"';
  for (char c : s) {
    if (c == '"')
      *p++ = '"';
    *p++ = c;
  }
  *p++ = '"';
  return p;
}

// The fields every row of one budget row shares: period and years.
struct RowStart {
  std::string_view period;
  int first, last;
};

// One row; the area is name, or name "_" suffix when suffix is not empty
// (the sub-area files' column names).
void row(OutFile &f, const RowStart &r, std::string_view kind,
         std::string_view name, std::string_view suffix,
         std::string_view quantity, double value) {
  char *const b = f.reserve(ROWMAX);
  char *p = fmt::a(b, r.period);
  *p++ = ',';
  p = fmt::digits(p, r.first);
  *p++ = ',';
  p = fmt::digits(p, r.last);
  *p++ = ',';
  p = fmt::a(p, kind);
  *p++ = ',';
  if (suffix.empty()) {
    p = field(p, name);
  } else {
    char area[SUBNAMELEN + 8];
    char *q = fmt::a(area, name.substr(0, SUBNAMELEN));
    *q++ = '_';
    q = fmt::a(q, suffix.substr(0, 4));
    p = field(p, {area, std::size_t(q - area)});
  }
  *p++ = ',';
  p = fmt::a(p, quantity);
  *p++ = ',';
  p = fmt::shortest(p, value);
  *p++ = '\n';
  f.commit(p);
}

// The rows of the report file's last budget row, values in the row's order:
// the steady row (the precipitation recharge of the budget zones and their
// total) or a year's row (the nine groups). Each group's last value is its
// total, area "total".
void zone_rows(Run &run, const RowStart &r, bool steady) {
  const int nz = std::clamp(run.nbud, 0, MAXBUDZONE);
  const std::size_t per_group = std::size_t(nz) + 1;
  const std::size_t n =
      std::min(std::size_t(std::max(run.nbudrow, 0)), run.budrow.size());
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t g = steady ? STEADY_GROUP : k / per_group;
    const std::size_t z = k % per_group;
    if (g >= BUDGET_GROUPS.size())
      break;
    const std::string_view area =
        z < std::size_t(nz) ? run.budnames[z].trimmed() : TOTAL;
    row(run.budgetcsv, r, "zone", area, {}, BUDGET_GROUPS[g], run.budrow[k]);
  }
}

// The rows of a year's sub-area rows: pumping and recharge of sub-areas
// 0..nsub and the three states, areas named as the sub-area files' headers
// name their columns.
void subarea_rows(Run &run, const RowStart &r) {
  const int nsub = std::clamp(run.nsub, 0, MAXSUBAREA);
  for (const auto &[sums, quantity] :
       {std::pair{&run.subpump, std::string_view("pump_af")},
        std::pair{&run.subrech, std::string_view("rech_af")}})
    for (int s = 0; s <= nsub; ++s)
      for (int k = 1; k <= NSTATE; ++k)
        row(run.budgetcsv, r, "subarea", run.subnames[std::size_t(s)].trimmed(),
            STATE_CODES[std::size_t(k - 1)], quantity,
            (*sums)[std::size_t(k)][std::size_t(s)]);
}

// Writes the rows out: a table that silently lost rows would be taken for a
// complete one.
void flush_checked(OutFile &f) {
  if (!f.flush())
    endrun(msg::CANNOT_WRITE_TO, f.name());
}

class BudgetCsvWriter final : public Writer {
public:
  int files(const Run &run) const override {
    return run.usedname[USE_BUDGETCSV].blank() ? 0 : 1;
  }
  OutputName file(const Run &run, int) const override {
    return {msg::USE_NAMES[USE_BUDGETCSV], 0,
            run.usedname[USE_BUDGETCSV].full()};
  }
  // Asked for by name: a table that is not written would leave the last
  // run's table to be read as this run's.
  bool required() const override { return true; }
  // Without budget zones the table would have no rows.
  void prove(const Run &run, Places &places) const override {
    Writer::prove(run, places);
    if (files(run) > 0 && run.nbud <= 0)
      places.missing(msg::BUDGETCSV_NO_BUDGET,
                     run.usedname[USE_BUDGETCSV].trimmed());
  }

  // Created (or replaced) with its header line beside the sub-area files.
  void start(Run &run) override {
    const Word &name = run.usedname[USE_BUDGETCSV];
    if (run.dry || name.blank())
      return;
    if (!run.budgetcsv.open(name.trimmed()))
      endrun(msg::CANNOT_OPEN, name.trimmed());
    run.budgetcsv.write(HEADER);
    run.budgetcsv.endl();
    flush_checked(run.budgetcsv);
  }
  void end_year(Run &run, const YearInfo &y) override {
    if (!run.budgetcsv.is_open())
      return;
    const RowStart r =
        y.steady ? RowStart{"steady", run.steady_start, run.steady_end}
                 : RowStart{"year", y.year, y.year};
    zone_rows(run, r, y.steady);
    if (!y.steady && run.has_subarea && run.nbudrow > 0)
      subarea_rows(run, r);
    flush_checked(run.budgetcsv);
  }
  void finish(Run &run) override {
    if (!run.budgetcsv.is_open())
      return;
    const Word name(run.budgetcsv.name());
    if (!run.budgetcsv.close())
      endrun(msg::CANNOT_WRITE_TO, name.trimmed());
  }
  void close_quietly(Run &run) noexcept override { run.budgetcsv.close(); }
};

} // namespace

Writer &budgetcsv_writer() {
  static BudgetCsvWriter w;
  return w;
}

} // namespace quon

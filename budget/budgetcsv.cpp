// budgetcsv.cpp - the BUDGETCSV file: the budget tables as one long CSV
// table, one value a row (see budgetcsv.h).

#include <string_view>

#include "../text/fmt.h"
#include "files.h"
#include "reporters.h"
#include "utl.h"
#include "budget.h"
#include "budgetcsv.h"
#include "messages.h"
#include "tables.h"

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

RowStart start_of(const Run &run, bool steady) {
  if (steady)
    return {"steady", run.steady_start, run.steady_end};
  return {"year", run.year, run.year};
}

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

// Writes the rows out: a table that silently lost rows would be taken for a
// complete one.
void flush_checked(OutFile &f) {
  if (!f.flush())
    endrun(msg::CANNOT_WRITE_TO, f.name());
}

} // namespace

std::string_view budgetcsv_without_budget(const Run &run) {
  return run.nbud > 0 ? std::string_view{}
                      : run.usedname[USE_BUDGETCSV].trimmed();
}

void budgetcsv_open(Run &run) {
  const Word &name = run.usedname[USE_BUDGETCSV];
  if (run.dry || name.blank())
    return;
  if (!run.budgetcsv.open(name.trimmed()))
    endrun(msg::CANNOT_OPEN, name.trimmed());
  run.budgetcsv.write(HEADER);
  run.budgetcsv.endl();
  flush_checked(run.budgetcsv);
}

void budgetcsv_zones(Run &run, bool steady, std::span<const double> values) {
  OutFile &f = run.budgetcsv;
  if (!f.is_open())
    return;
  const int nz = std::clamp(run.nbud, 0, MAXBUDZONE);
  const RowStart r = start_of(run, steady);
  const std::size_t per_group = std::size_t(nz) + 1;
  for (std::size_t k = 0; k < values.size(); ++k) {
    const std::size_t g = steady ? STEADY_GROUP : k / per_group;
    const std::size_t z = k % per_group;
    if (g >= BUDGET_GROUPS.size())
      break;
    const std::string_view area =
        z < std::size_t(nz) ? run.budnames[z].trimmed() : TOTAL;
    row(f, r, "zone", area, {}, BUDGET_GROUPS[g], values[k]);
  }
  flush_checked(f);
}

void budgetcsv_subareas(Run &run, const SubareaSums &pump,
                        const SubareaSums &rech, int nsub) {
  OutFile &f = run.budgetcsv;
  if (!f.is_open())
    return;
  const RowStart r = start_of(run, false);
  for (const auto &[sums, quantity] :
       {std::pair{&pump, std::string_view("pump_af")},
        std::pair{&rech, std::string_view("rech_af")}})
    for (int s = 0; s <= nsub; ++s)
      for (int k = 1; k <= NSTATE; ++k)
        row(f, r, "subarea", run.subnames[std::size_t(s)].trimmed(),
            STATE_CODES[std::size_t(k - 1)], quantity,
            (*sums)[std::size_t(k)][std::size_t(s)]);
  flush_checked(f);
}

} // namespace quon

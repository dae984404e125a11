// report_writer.cpp - the budget table of the report file fort.2 as a writer
// of the list: one row after the steady period and after every transient
// year (budget). A year of a run with sub-areas has its row written by the
// sub-area writer, with the sub-area rows (budget2).

#include "budget.h"
#include "messages.h"
#include "tables.h"

namespace quon {
namespace {

class ReportWriter final : public Writer {
public:
  int files(const Run &) const override { return 1; }
  OutputName file(const Run &, int) const override {
    return {msg::USE_REPORT, 0, "fort.2"};
  }
  bool required() const override { return true; }
  // A run proves fort.2 by replacing it, the first output it writes: its
  // records (the reasons a run ends before that) must reach it.
  void prove(const Run &run, Places &places) const override {
    if (run.dry)
      Writer::prove(run, places);
  }
  void end_year(Run &run, const YearInfo &y) override {
    if (y.steady || !run.has_subarea)
      budget(run, y.label, *y.rech);
  }
};

} // namespace

Writer &report_writer() {
  static ReportWriter w;
  return w;
}

} // namespace quon

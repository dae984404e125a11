// subarea_writer.cpp - the sub-area budget files quon/pump.bsn and
// quon/rech.bsn (BUDGET zones subareas): their header lines once the
// settings are checked, and each transient year's rows, written with the
// year's row of the report file (budget2).

#include "budget.h"
#include "messages.h"
#include "tables.h"
#include "reporters.h"
#include "utl.h"

namespace quon {
namespace {

// Ends the run when a sub-area file has lost a write.
void check_written(const OutFile &f) {
  if (f.failed())
    endrun(msg::CANNOT_WRITE_TO, f.name());
}

class SubareaWriter final : public Writer {
public:
  int files(const Run &run) const override { return run.has_subarea ? 2 : 0; }
  OutputName file(const Run &, int i) const override {
    if (i == 0)
      return {msg::USE_PUMPBSN, 0, "quon/pump.bsn"};
    return {msg::USE_RECHBSN, 0, "quon/rech.bsn"};
  }
  bool required() const override { return true; }

  void start(Run &run) override {
    if (run.has_subarea)
      subarea_headers(run);
  }
  void begin_year(Run &run, const YearInfo &y) override {
    if (y.steady || !run.has_subarea)
      return;
    for (auto &s : run.subpump)
      s.fill(0.0);
    for (auto &s : run.subrech)
      s.fill(0.0);
  }
  void end_year(Run &run, const YearInfo &y) override {
    if (y.steady || !run.has_subarea)
      return;
    budget2(run, y.label, *y.rech);
    check_written(run.pumpbsn);
    check_written(run.rechbsn);
  }
  void finish(Run &run) override {
    for (OutFile *f : {&run.pumpbsn, &run.rechbsn}) {
      if (!f->is_open())
        continue;
      const Word name(f->name());
      if (!f->close())
        endrun(msg::CANNOT_WRITE_TO, name.trimmed());
    }
  }
  void close_quietly(Run &run) noexcept override {
    run.pumpbsn.close();
    run.rechbsn.close();
  }
};

} // namespace

Writer &subarea_writer() {
  static SubareaWriter w;
  return w;
}

} // namespace quon

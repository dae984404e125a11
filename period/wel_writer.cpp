// wel_writer.cpp - the MODFLOW-2005 WEL file (WELL): its header line, and
// each period's well records, every line formatted once and handed to the
// other writers of the list (the MODFLOW 6 WEL package).

#include <cmath>

#include "fmt.h"
#include "messages.h"
#include "period.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"
#include "writers.h"

namespace quon {
namespace {

class WelWriter final : public Writer {
public:
  int files(const Run &) const override { return 1; }
  OutputName file(const Run &run, int) const override {
    return {msg::USE_WELL, 0, run.wellname.full()};
  }
  bool required() const override { return true; }
  // Without a name there is no WEL file to give the model.
  void prove(const Run &run, Places &places) const override {
    if (run.wellname.blank())
      places.missing(msg::NO_WELL_FILE, {});
    Writer::prove(run, places);
  }

  // Opens the WEL file and writes its header line (none when appending to
  // a file that holds something). A file that cannot be opened ends the
  // run: without it the model would be given a package file that misses
  // every period.
  void open(Run &run, int) override {
    char buf[64];
    if (run.wellname.blank())
      endrun(msg::NO_WELL_FILE);
    const bool append = appends(run, run.wellname.full());
    if (!run.wel.open(run.wellname.full(), run.append != 0))
      endrun(msg::CANNOT_OPEN, run.wellname.trimmed());
    run.model_open = true;
    if (!append) {
      char *p = fmt::i(buf, MAXWEL, 10);
      p = fmt::i(p, run.iwelcb, 10);
      p = fmt::a(p, " NOPRINT");
      run.wel.write(std::string_view(buf, p - buf));
      run.wel.endl();
    }
  }

  // Ends the run when the period has more than MAXWEL wells or a rate that
  // is not finite, before any of its lines is written.
  void period_lists(Run &run, const PeriodInfo &pi,
                    const WriterList &list) override {
    const auto &q = run.q;
    const double s2 = pi.s2;
    const std::string_view label = pi.label;
    // A rate that is not finite (volumes summed past the largest double) has
    // no field MODFLOW could read; the period's wells are checked before any
    // of them is written.
    int nw = 0;
    for (int i = 0; i < NCELL; ++i) {
      nw += q[0][i] != 0.0;
      if (!std::isfinite(q[0][i] * s2))
        errorcell(msg::WELL_RATE, run.wel.name(), label, i / NCOL + 1,
                  i % NCOL + 1, -q[0][i] * s2);
    }
    if (nw > MAXWEL) {
      char buf[64];
      fmt::ListRecord rec(buf, sizeof buf);
      rec.text(msg::INCREASE_MAXWEL).integer(nw);
      endrecord(rec.view());
    }

    OutFile &wel = run.wel;
    char *out = wel.reserve(16 + label.size());
    char *p = fmt::i(out, nw, 5);
    p = fmt::i(p, -1, 3);
    p = fmt::x(p, 1);
    p = fmt::a(p, label);
    *p++ = '\n';
    wel.commit(p);
    list.wel_begin(run);
    for (int row = 1; row <= NROW; ++row) {
      const double *q0 = q[0].data() + cell(1, row);
      const std::int32_t *ib = run.ibound.data() + cell(1, row);
      for (int c = 1; c <= NCOL; ++c) {
        if (q0[c - 1] == 0.0)
          continue;
        out = wel.reserve(10 + WELL_RATE_MAX);
        p = fmt::i(out, 1, 1);
        p = fmt::i(p, row, 4);
        p = fmt::i(p, c, 4);
        p = put_rate(p, -q0[c - 1] * s2);
        *p++ = '\n';
        list.wel_line(run, pi,
                      {{out, std::size_t(p - out)},
                       cell(c, row),
                       ib[c - 1] != 0,
                       -q0[c - 1] * s2});
        wel.commit(p);
      }
    }
    list.wel_end(run, pi);
  }

  void end_period(Run &run) override { flush_or_end(run.wel); }
  void finish(Run &run) override { close_checked(run.wel); }
  void close_quietly(Run &run) noexcept override { run.wel.close(); }
  bool holds_periods(const Run &run) const override { return run.model_open; }
  void summary(const Run &run, Detail &t) const override {
    t.text(run.wellname.trimmed());
  }
};

} // namespace

Writer &wel_writer() {
  static WelWriter w;
  return w;
}

} // namespace quon

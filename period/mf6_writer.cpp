// mf6_writer.cpp - the MODFLOW 6 files (MF6 and its options) as a writer of
// the list: it takes the RCH rows and WEL lines the MODFLOW-2005 writers
// format once and puts them in its blocks with the formatting functions of
// mf6.cpp; its files (TDIS, WEL, package list, observations, RCH) are named
// by mf6.cpp for the checks and the inventory.

#include "messages.h"
#include "mf6.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"
#include "writers.h"

namespace quon {
namespace {

// The MODFLOW 6 files are open from before the first period to the end of
// a run that asked for them.
bool open_now(const Run &run) { return run.mf6[MF6_TDIS].is_open(); }

class Mf6Writer final : public Writer {
public:
  int files(const Run &) const override { return MF6FILES; }
  OutputName file(const Run &run, int i) const override {
    const Mf6Entry e = mf6_entry(run, i);
    return {e.use, e.number, e.name};
  }
  bool required() const override { return true; }

  void open(Run &run, int nper) override { mf6_open(run, nper); }

  void begin_period(Run &run, const PeriodInfo &pi) override {
    if (open_now(run))
      mf6_period(run, pi.periodlen);
  }
  void rch_begin(Run &run, int k, const PeriodInfo &pi) override {
    if (open_now(run))
      mf6_rch_begin(run, run.mf6[std::size_t(MF6_RCH + k)], pi.label, pi.s1);
  }
  void rch_row(Run &run, int k, std::string_view text) override {
    if (open_now(run))
      mf6_rch_row(run.mf6[std::size_t(MF6_RCH + k)], text);
  }
  void rch_end(Run &run, int k) override {
    if (open_now(run))
      mf6_end_block(run.mf6[std::size_t(MF6_RCH + k)]);
  }
  // MODFLOW 6 reads the same well lines (fields apart by blanks) with the
  // layer and state of each, but refuses wells on cells outside the model:
  // those are counted and left out.
  void wel_begin(Run &run) override {
    left_ = 0;
    leftq_ = 0.0;
    if (open_now(run))
      mf6_wel_begin(run);
  }
  void wel_line(Run &run, const PeriodInfo &pi, const WellLine &l) override {
    if (!open_now(run))
      return;
    if (l.active) {
      mf6_wel_line(run, pi, l);
    } else {
      ++left_;
      leftq_ += l.rate;
    }
  }
  void wel_end(Run &run, const PeriodInfo &pi) override {
    if (open_now(run))
      mf6_wel_end(run, pi.label, left_, leftq_);
  }
  void end_period(Run &run) override {
    if (open_now(run))
      for (OutFile &f : run.mf6)
        if (f.is_open())
          flush_or_end(f);
  }

  void finish(Run &run) override { mf6_finish(run); }
  void close_quietly(Run &run) noexcept override {
    for (OutFile &f : run.mf6)
      f.close();
  }
  void summary(const Run &run, Detail &t) const override {
    if (!run.mf6base.blank())
      t.text(msg::SUMMARY_MF6).text(run.mf6base.trimmed()).text(".*");
  }

private:
  // The current period's wells on cells with IBOUND 0 and their total rate.
  int left_ = 0;
  double leftq_ = 0.0;
};

} // namespace

Writer &mf6_writer() {
  static Mf6Writer w;
  return w;
}

} // namespace quon

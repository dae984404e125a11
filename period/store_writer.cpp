// store_writer.cpp - the store grids (FILE dir ppt irr rch): each transient
// year's kriged precipitation, irrigated acres and recharge grid, written as
// dir/year.name once the year's recharge grid is formed. A file that cannot
// be written is reported and the run goes on without it (storemonth).

#include "messages.h"
#include "period.h"
#include "tables.h"
#include "writers.h"

namespace quon {
namespace {

class StoreWriter final : public Writer {
public:
  bool family(const Run &run, OutputFamily &f) const override {
    if (run.nstore != 3)
      return false;
    f.use = msg::USE_STORE;
    f.dir = run.storedir.trimmed();
    for (int a = 0; a < 3; ++a)
      f.exts[std::size_t(a)] = run.storenames[std::size_t(a)].trimmed();
    f.nexts = 3;
    return true;
  }
  bool required() const override { return false; }

  void begin_year(Run &run, const YearInfo &y) override {
    if (y.steady || run.nstore <= 0)
      return;
    storemonth(run, run.ppt, 1.0, y.year, run.storedir.full(),
               run.storenames[0].full());
    storemonth(run, run.frac, 640.0, y.year, run.storedir.full(),
               run.storenames[1].full());
    storemonth(run, *y.rech, 1.0, y.year, run.storedir.full(),
               run.storenames[2].full());
  }
};

} // namespace

Writer &store_writer() {
  static StoreWriter w;
  return w;
}

} // namespace quon

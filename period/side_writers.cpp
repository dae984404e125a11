// side_writers.cpp - the side files people read, written whole once the
// settings are checked: the function table (FUNCTION table) and the terrain
// plot (TERRAIN ... plot). A file that cannot be written is reported and the
// run goes on without it.

#include "inputs.h"
#include "messages.h"
#include "tables.h"
#include "writers.h"

namespace quon {
namespace {

// A side file of the given use, written by write.
template <FileUse USE, void (*WRITE)(Run &)>
class SideWriter final : public Writer {
public:
  int files(const Run &) const override { return 1; }
  OutputName file(const Run &run, int) const override {
    return {msg::USE_NAMES[USE], 0, run.usedname[std::size_t(USE)].full()};
  }
  bool required() const override { return false; }
  void start(Run &run) override { WRITE(run); }
};

} // namespace

Writer &function_table_writer() {
  static SideWriter<USE_FUNTABLE, write_function_table> w;
  return w;
}

Writer &terrain_plot_writer() {
  static SideWriter<USE_TERPLOT, write_terrain_plot> w;
  return w;
}

} // namespace quon

// fuzz_param.cpp - fuzzes the parameter file: every line of a whole fuzzed
// file goes through handle_line as the driver reads it, with a few small
// valid data files ready in the working folder for the keywords to name
// (zones.txt, mound.txt, ibound.txt, grid.txt, loc.txt, ppt.txt, class.txt,
// mult.txt).
//
// Holds: every count stays within its table, each zone grid read with a
// limit holds only codes of the zones its header named, the function table
// stays within its rows, and nothing is written outside the run (the run is
// one heap object; the library's bounds checks guard every table).

#include <memory>
#include <sys/stat.h>

#include "harness.h"
#include "run.h"

using namespace quon;

namespace {

// The data files the keywords may name; made once per process.
void make_data_files() {
  std::string zones = "A B C\n", mound = "M\n", ibound, grid,
              cls = "hill plain\n";
  for (int r = 0; r < NROW; ++r) {
    for (int c = 0; c < NCOL; ++c) {
      zones += char('0' + (r + c) % 4);
      mound += r > 80 && c > 100 ? '1' : '0';
      ibound += c % 3 ? " 1" : " 0";
      grid += c ? " 1.5" : "0.25";
      cls += char('0' + (r * c) % 3);
    }
    zones += '\n';
    mound += '\n';
    ibound += '\n';
    grid += '\n';
    cls += '\n';
  }
  mkdir("quon", 0777); // the sub-area budget files go there
  fuzz::write_file("zones.txt", zones);
  fuzz::write_file("mound.txt", mound);
  fuzz::write_file("ibound.txt", ibound);
  fuzz::write_file("grid.txt", grid);
  fuzz::write_file("class.txt", cls);
  fuzz::write_file("loc.txt", "name x y\nS1 1000000 14500000\n"
                              "S2 1100000 14600000\nS3 900000 14700000\nEND\n");
  fuzz::write_file("ppt.txt",
                   "Year S1 S2 S3\n1950 20 21 19.5\n1951 18 17 16\n");
  fuzz::write_file("mult.txt", "x y hill plain\n1000000 14500000 1.1 0.9\n"
                               "1100000 14600000 1.2 0.8\n");
}

// The counts and zone grids as a new run has them.
void reset(Run &r) {
  r.nsoil = r.nbud = r.nsub = r.nterclass = r.nscratch = r.nterrain = 0;
  r.nrch = 0;
  r.has_subarea = false;
  r.stations.count = 0;
  r.stations.drift = 0;
  r.functions.rows = 0;
  for (ZoneGrid *g : {&r.soil, &r.mound, &r.budzone, &r.subarea, &r.terclass})
    g->fill(0);
  r.ibound.fill(1);
}

// The zone grid holds only codes 0..count.
void check_zones(const ZoneGrid &g, int count) {
  for (std::int32_t v : g)
    QUON_FUZZ_CHECK(v >= 0 && v <= count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  // Every name stays in the working folder: no file elsewhere may be read
  // or written by a fuzzed name.
  if (text.find('/') != std::string_view::npos ||
      text.find("..") != std::string_view::npos)
    return 0;
  fuzz::enter_private_dir();
  static const bool made = (make_data_files(), true);
  (void)made;
  fuzz::write_file("param.txt", text);

  // One run for the whole campaign (a fresh one costs more than most
  // inputs); the counts and grids the checks read start afresh each time.
  static std::unique_ptr<Run> run = make_run();
  reset(*run);
  bool ended = false;
  QUON_FUZZ_CHECK(run->param.open("param.txt"));
  try {
    std::string_view rec;
    while (run->param.next(rec)) {
      fuzz::set_line(*run, rec);
      handle_line(*run);
      QUON_FUZZ_CHECK(run->linepos >= 1);
    }
  } catch (const RunEnd &) {
    fuzz::reset_report();
    ended = true;
  }
  run->param.close();
  run->data.close();
  run->side.close();
  run->pumpbsn.close();
  run->rechbsn.close();

  // A zone grid refused for naming too many zones ends the run with its
  // count one past its table (nothing is stored there): counts are promised
  // only for a run that goes on.
  if (ended)
    return 0;
  const Run &r = *run;
  QUON_FUZZ_CHECK(r.nsoil >= 0 && r.nsoil <= MAXSOIL);
  QUON_FUZZ_CHECK(r.nbud >= 0 && r.nbud <= MAXBUDZONE);
  QUON_FUZZ_CHECK(r.nsub >= 0 && r.nsub <= MAXSUBAREA);
  QUON_FUZZ_CHECK(r.nterclass >= 0 && r.nterclass <= MAXTERCLASS);
  QUON_FUZZ_CHECK(r.nscratch >= 0 && r.nscratch <= 1);
  QUON_FUZZ_CHECK(r.nterrain >= 0 && r.nterrain <= MAXTERRAIN);
  QUON_FUZZ_CHECK(r.stations.count >= 0 && r.stations.count <= MAXSTATION);
  QUON_FUZZ_CHECK(r.functions.rows >= 0 && r.functions.rows <= MAXTABROW);
  QUON_FUZZ_CHECK(r.nrch >= 0);
  check_zones(r.soil, r.nsoil);
  check_zones(r.budzone, r.nbud);
  check_zones(r.terclass, r.nterclass);
  if (r.has_subarea)
    check_zones(r.subarea, r.nsub);
  return 0;
}

// main.cpp - the scenario generator's program: reads the options, builds
// the scenario and writes its folder, then prints a summary of what it wrote.
#include <chrono>
#include <cstdio>
#include <system_error>

#include "scenario.h"

using namespace gen;

int main(int argc, char **argv) {
  Options o;
  if (!parse_options(argc, argv, o)) {
    usage(stderr);
    return 2;
  }
  const auto t0 = std::chrono::steady_clock::now();
  const fs::path root = o.out;
  std::error_code ec;
  for (const char *d : {"", "co", "ks", "ne", "store", "quon"}) {
    fs::create_directories(root / d, ec);
    if (ec)
      die("cannot create " + (root / d).string() + ": " + ec.message());
  }

  const Geography g = make_geography(o.seed);
  const Stations s = make_stations(o, g);
  FunctionBlock fb = make_functions(s.kmax);
  check_functions(fb);
  const Land land = make_land(o, g);

  Writer w(o, root);
  write_parameters(o, fb, w);
  write_grids(o, g, w);
  write_point_files(o, s, w);
  const auto wells = write_state_files(o, land, s, w);
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
          .count();

  std::printf("gen_scenario: wrote %s (seed %llu)\n", o.out.c_str(),
              (unsigned long long)o.seed);
  std::printf("  ");
  if (o.steady > 0)
    std::printf("steady %d-%d, ", o.start - o.steady, o.start - 1);
  else
    std::printf("no steady period, ");
  if (o.years > 0)
    std::printf("transient %d-%d, ", o.start, o.start + o.years - 1);
  else
    std::printf("no transient years, ");
  std::printf("%d stations, drift %d, %d RCH file%s, %s cell arrays\n",
              o.stations, o.drift, o.rch, o.rch == 1 ? "" : "s",
              o.bin ? "unformatted" : "text");
  if (s.kcells > 0 && s.kmin <= s.kmax)
    std::printf("  kriged precipitation %.2f .. %.2f in/yr over %ld cells "
                "(%d year%s calmed); ",
                s.kmin, s.kmax, s.kcells, s.calmed, s.calmed == 1 ? "" : "s");
  else
    std::printf("  no precipitation years; ");
  std::printf("FUNCTION up to %.1f\n", fb.last);
  std::printf("  %zu pumping plots, %zu surface-water plots, %zu town wells; "
              "wells per month %d .. %d\n",
              land.npump, land.plots.size() - land.npump, land.towns.size(),
              wells[0], wells[1]);
  std::printf("  %ld files, %.1f MB in %.2f s\n", w.tally.files,
              double(w.tally.bytes) / 1e6, secs);
  return 0;
}

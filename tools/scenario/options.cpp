// options.cpp - the scenario generator's command line: its usage text and
// the checks that the options make a run quon can take.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>

#include "scenario.h"

namespace gen {

namespace {

// The fewest stations that let the drift terms be fitted.
int min_stations(int drift) { return drift == 0 ? 1 : 2 * drift + 2; }

bool parse_int(std::string_view s, long long lo, long long hi,
               long long &value) {
  const char *e = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), e, value);
  return ec == std::errc() && p == e && value >= lo && value <= hi;
}

} // namespace

void usage(std::FILE *f) {
  std::fputs(
      "usage: gen_scenario --out DIR [options]\n"
      "Writes a complete quon run folder (quon.par and every file it names).\n"
      "  --out DIR          folder to write (created; existing files are "
      "replaced)\n"
      "  --seed N           random seed (1)\n"
      "  --start-year Y     first transient year (1950)\n"
      "  --years N          transient years (3; 0 = no TRANSIENT)\n"
      "  --steady-years N   steady years before them (2; 0 = no STEADY)\n"
      "  --stations N       precipitation stations, up to 128 (24)\n"
      "  --drift N          drift order of the precipitation kriging, 0..3 "
      "(1)\n"
      "  --rch 1|4          one RCH file or four components (4)\n"
      "  --wells N          irrigation wells pumping in a summer month "
      "(3000);\n"
      "                     spring, autumn and winter months pump at fewer\n"
      "  --bin              unformatted cell array files (BIN)\n"
      "  --annpump / --no-annpump    yearly pumping tables (on)\n"
      "  --subareas / --no-subareas  sub-area budget files (on)\n",
      f);
}

bool parse_options(int argc, char **argv, Options &o) {
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i], v;
    bool has_value = false;
    if (auto eq = a.find('='); eq != std::string_view::npos) {
      v = a.substr(eq + 1);
      a = a.substr(0, eq);
      has_value = true;
    }
    if (a == "--help" || a == "-h") {
      usage(stdout);
      std::exit(0);
    }
    if (a == "--bin" || a == "--annpump" || a == "--no-annpump" ||
        a == "--subareas" || a == "--no-subareas") {
      if (has_value) {
        std::fprintf(stderr, "gen_scenario: %.*s takes no value\n",
                     int(a.size()), a.data());
        return false;
      }
      if (a == "--bin")
        o.bin = true;
      else if (a.ends_with("annpump"))
        o.annpump = a == "--annpump";
      else
        o.subareas = a == "--subareas";
      continue;
    }
    static constexpr std::string_view VALUED[] = {
        "--out",      "--seed",  "--start-year", "--years", "--steady-years",
        "--stations", "--drift", "--rch",        "--wells"};
    if (std::find(std::begin(VALUED), std::end(VALUED), a) ==
        std::end(VALUED)) {
      std::fprintf(stderr, "gen_scenario: unknown option %s\n", argv[i]);
      return false;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "gen_scenario: %s needs a value\n", argv[i]);
        return false;
      }
      v = argv[++i];
    }
    {
      long long n = 0;
      auto num = [&](long long lo, long long hi, auto &target) {
        if (!parse_int(v, lo, hi, n))
          return false;
        target = static_cast<std::remove_reference_t<decltype(target)>>(n);
        return true;
      };
      bool ok = true;
      if (a == "--out")
        o.out = std::string(v), ok = !v.empty();
      else if (a == "--seed")
        ok = num(0, INT64_MAX, o.seed);
      else if (a == "--start-year")
        ok = num(quon::FIRSTYEAR, quon::LASTYEAR, o.start);
      else if (a == "--years")
        ok = num(0, quon::NYEARS, o.years);
      else if (a == "--steady-years")
        ok = num(0, quon::NYEARS, o.steady);
      else if (a == "--stations")
        ok = num(1, quon::MAXSTATION, o.stations);
      else if (a == "--drift")
        ok = num(0, quon::MAXDRIFT, o.drift);
      else if (a == "--rch")
        ok = num(1, 4, o.rch) && (o.rch == 1 || o.rch == 4);
      else
        ok = num(0, MAXWELLS, o.wells);
      if (!ok) {
        std::fprintf(stderr, "gen_scenario: bad value for %.*s: %.*s\n",
                     int(a.size()), a.data(), int(v.size()), v.data());
        return false;
      }
    }
  }
  if (o.out.empty()) {
    std::fputs("gen_scenario: --out DIR is required\n", stderr);
    return false;
  }
  if (o.start - o.steady < quon::FIRSTYEAR ||
      o.start + o.years - 1 > quon::LASTYEAR) {
    std::fprintf(stderr,
                 "gen_scenario: the years %d..%d leave the precipitation "
                 "table's %d..%d\n",
                 o.start - o.steady, o.start + o.years - 1, quon::FIRSTYEAR,
                 quon::LASTYEAR);
    return false;
  }
  if (o.stations < min_stations(o.drift)) {
    std::fprintf(stderr,
                 "gen_scenario: drift order %d needs at least %d stations\n",
                 o.drift, min_stations(o.drift));
    return false;
  }
  if (o.wells + 3 * towns(o.wells) > MAXWELLS) {
    std::fprintf(stderr,
                 "gen_scenario: %d irrigation wells and %d municipal wells "
                 "exceed the %d wells a period may have\n",
                 o.wells, 3 * towns(o.wells), MAXWELLS);
    return false;
  }
  return true;
}

} // namespace gen

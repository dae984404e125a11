// writer.cpp - the scenario's file writing: the grid and cell array
// layouts, the station, precipitation and terrain files, and quon.par.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scenario.h"

namespace gen {

static_assert(std::endian::native == std::endian::little,
              "unformatted cell array files are written little-endian");

[[noreturn]] void die(const std::string &msg) {
  std::fprintf(stderr, "gen_scenario: %s\n", msg.c_str());
  std::exit(1);
}

void save(const fs::path &path, std::string_view bytes, Tally &tally) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    die("cannot create " + path.string());
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok)
    die("cannot write " + path.string());
  ++tally.files;
  tally.bytes += static_cast<long long>(bytes.size());
}

namespace {

constexpr Style STYLE[4] = {
    {' ', 1, NCOL}, {' ', 1, NCOL}, {' ', 2, 40}, {',', 1, 25}};

constexpr std::array<std::string_view, 12> MONTH_MULT = {
    "0.05", "0.05", "0.06", "0.08", "0.10", "0.12",
    "0.14", "0.12", "0.09", "0.07", "0.07", "0.05"};

} // namespace

void Writer::text(const std::string &rel, std::string_view s) {
  save(root_ / rel, s, tally);
}

void Writer::zones(const std::string &rel, const IntGrid &z,
                   std::string_view header, int width) {
  b_.clear();
  if (!header.empty()) {
    b_.put(header);
    b_.put('\n');
  }
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c) {
      const int v = z[at(c, r)];
      if (width == 2) {
        if (v >= 0 && v < 10)
          b_.put(' ');
        b_.put_int(v);
      } else {
        b_.put(char('0' + v));
      }
    }
    b_.put('\n');
  }
  save(root_ / rel, b_.view(), tally);
}

void Writer::reals(const fs::path &path, const RealGrid &v, const Style &st,
                   int dec) {
  b_.clear();
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c) {
      if (c > 1) {
        if ((c - 1) % st.perline == 0)
          b_.put('\n');
        else
          for (int k = 0; k < st.seplen; ++k)
            b_.put(st.sep);
      }
      // Most cells of a state's grid are empty.
      if (const double x = v[at(c, r)]; x == 0.0)
        b_.put('0');
      else
        b_.put_dec(x, dec);
    }
    b_.put('\n');
  }
  save(path, b_.view(), tally);
}

void Writer::cells(int state, const std::string &name, RealGrid &v) {
  bool any = false;
  for (auto &x : v) {
    x = double(std::llround(x * 100.0)) / 100.0;
    any = any || x != 0.0;
  }
  if (!any)
    return;
  const fs::path path = root_ / STATEDIR[state] / name;
  if (!o_.bin) {
    reals(path, v, STYLE[state], 2);
    return;
  }
  // One sequential unformatted record: its length in bytes before and
  // after the values.
  const std::int32_t len = std::int32_t(NCELL * sizeof(double));
  b_.clear();
  b_.put_raw(&len, sizeof len);
  b_.put_raw(v.data(), NCELL * sizeof(double));
  b_.put_raw(&len, sizeof len);
  save(path, b_.view(), tally);
}
// Stations, precipitation and terrain files.
void write_point_files(const Options &o, const Stations &s, Writer &w) {
  Buf b;
  b.put("Station X Y\n# coordinates in feet, on the model grid\n");
  for (int j = 0; j < s.n; ++j) {
    b.put(s.name[j]);
    b.put(' ');
    b.put_dec(s.x[j], 0);
    b.put(' ');
    b.put_dec(s.y[j], 0);
    b.put('\n');
  }
  b.put("END\nstations placed by gen_scenario, seed ");
  b.put_int(static_cast<long long>(o.seed));
  b.put('\n');
  w.text("stations.loc", b.view());

  b.clear();
  b.put("Year");
  for (int j = 0; j < s.n; ++j) {
    b.put(' ');
    b.put(s.name[j]);
  }
  b.put("\n# annual precipitation, inches\n");
  for (int y = s.first; y <= s.last; ++y) {
    b.put_int(y);
    for (int j = 0; j < s.n; ++j) {
      b.put(' ');
      b.put_fixed(s.ppt[std::size_t(y - s.first) * s.n + j], 2);
    }
    b.put('\n');
  }
  w.text("stations.ppt", b.view());

  // Terrain multipliers: flat land takes in more, river breaks shed water.
  Rng rng(o.seed, 5);
  b.clear();
  b.put("X Y flat rolling dissected\n");
  constexpr int NX = 8, NY = 4;
  constexpr std::array<double, 3> BASE = {1.10, 1.00, 0.80};
  for (int j = 0; j < NY; ++j)
    for (int i = 0; i < NX; ++i) {
      b.put_dec(XMIN + (i + rng.uniform(0.2, 0.8)) * (XMAX - XMIN) / NX, 0);
      b.put(' ');
      b.put_dec(YMIN + (j + rng.uniform(0.2, 0.8)) * (YMAX - YMIN) / NY, 0);
      for (double base : BASE) {
        b.put(' ');
        b.put_fixed(base + rng.uniform(-0.08, 0.08), 2);
      }
      b.put('\n');
    }
  w.text("terrain.dat", b.view());
}

void write_parameters(const Options &o, const FunctionBlock &fb, Writer &w) {
  // The month multipliers must sum to 1 as quon sums them.
  double sum = 0.0;
  for (auto m : MONTH_MULT) {
    double v = 0.0;
    std::from_chars(m.data(), m.data() + m.size(), v);
    sum += v;
  }
  if (std::abs(sum - 1.0) > 1e-10)
    die("month multipliers do not sum to 1");

  const int s0 = o.start - o.steady, s1 = o.start - 1;
  const int t1 = o.start + o.years - 1;
  const int xyear = o.start + std::max(0, o.years - 1) / 2;
  char line[512];
  std::string p;
  auto add = [&](const char *fmt, auto... args) {
    std::snprintf(line, sizeof line, fmt, args...);
    p += line;
  };
  add("# quon parameter file: a generated scenario (gen_scenario --seed "
      "%llu)\n",
      (unsigned long long)o.seed);
  add("# %d stations, drift order %d, %d irrigation wells in a summer month\n",
      o.stations, o.drift, o.wells);
  p += "#\n# Yearly grids of kriged precipitation, irrigated acres and "
       "recharge\n"
       "FILE store ppt irr rch\n"
       "# State data directories: CO KS NE\n"
       "DIR co ks ne\n";
  p += o.rch == 1 ? "RECHARGE quon.rch\n"
                  : "RECHARGE precip.rch gwirr.rch swirr.rch coirr.rch\n";
  p += "IRCHCB 50\nWELL quon.wel\nIWELCB 50\n";
  if (o.annpump)
    p += "ANNPUMP\n";
  if (o.bin)
    p += "BIN\n";
  if (o.steady > 0)
    add("STEADY %d %d 1.0\n", s0, s1);
  if (o.years > 0)
    add("TRANSIENT %d %d\n", o.start, t1);
  p += "# A state's pumping can be left out of the run:\n"
       "# NOPUMP ne\n"
       "IBOUND ibound.zon\n"
       "MOUND mound.zon\n"
       "# Commingled acres of a state left out count inside the mound too\n"
       "OPTMOUND\n"
       "SOIL soil.zon\n"
       "TERRAIN terrain.zon terrain.dat terrain.plt LIMIT 0.5 1.5\n";
  add("# Irrigation return recharge is scaled from %d on\n", xyear + 1);
  add("XFACTOR %d xfactor.dat\n", xyear);
  p += o.subareas ? "BUDGET budget.zon subarea.zon\n" : "BUDGET budget.zon\n";
  add("STATIONS stations.loc stations.ppt %d\n", o.drift);
  p += "#      Jan  Feb  Mar  Apr  May  Jun  Jul  Aug  Sep  Oct  Nov  Dec\n"
       "MONTH";
  for (auto m : MONTH_MULT) {
    p += ' ';
    p += m;
  }
  p += "\nFUNCTION funtable.txt 2\n"
       "# ppt   dryland and irrigated recharge, inches a year, of each soil\n"
       "#    ";
  for (auto s : SOIL_NAMES)
    add("   %-13s", std::string(s).c_str());
  p += '\n';
  for (const auto &row : fb.rows) {
    p += row;
    p += '\n';
  }
  w.text("quon.par", p);
}

void write_grids(const Options &o, const Geography &g, Writer &w) {
  w.zones("ibound.zon", g.ibound, {}, 2);
  std::string soils;
  for (auto s : SOIL_NAMES)
    soils += std::string(soils.empty() ? "" : " ") + std::string(s);
  w.zones("soil.zon", g.soil, soils, 1);
  w.zones("mound.zon", g.mound, "mound", 1);
  w.zones("budget.zon", g.budget, "CO KS NE", 1);
  w.zones("terrain.zon", g.terclass, "flat rolling dissected", 1);
  if (o.subareas) {
    std::string names;
    for (auto s : SUBAREA_NAMES)
      names += std::string(names.empty() ? "" : " ") + std::string(s);
    w.zones("subarea.zon", g.subarea, names, 2);
  }
  w.reals(fs::path(o.out) / "xfactor.dat", g.xfactor, {' ', 1, 20}, 2);
}

} // namespace gen

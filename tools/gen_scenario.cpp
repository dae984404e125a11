// gen_scenario.cpp - writes a complete, realistic run folder for quon: the
// parameter file, every zone grid, the terrain, station and precipitation
// files, and the per-state cell array files of a steady span and a run of
// transient years.
//
// The folder is made up but shaped like a real one: an irregular active area
// with constant-head cells along its eastern edge, three states in bands,
// rivers lined with surface-water irrigation and a groundwater mound along one
// of them, centre-pivot wells that pump mostly in summer, towns with municipal
// wells, and station precipitation that is drier in the west and varies from
// year to year. Some files are left out on purpose, as real data sets do
// (no surface-water return in winter, no commingled land in NE): quon reads a
// missing file as zeros.
//
// The same options and seed always give the same bytes: the random numbers
// come from std::mt19937_64, whose output the standard fixes, through our own
// distributions (the standard ones differ between libraries), the smooth
// fields are plain arithmetic, and every value is rounded to a few decimals in
// integers before it is written.
//
// The run must go through quon without ending early. The generator therefore
// krigs every year's station precipitation with quon's own kriging at every
// cell that quon krigs, keeps it within a sensible range (calming a year's
// station values when the kriging overshoots), and makes the FUNCTION block
// reach well above the highest value.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "inputs.h"
#include "krige.h"
#include "quon.h"

namespace {

namespace fs = std::filesystem;
using quon::NCELL;
using quon::NCOL;
using quon::NROW;

static_assert(std::endian::native == std::endian::little,
              "unformatted cell array files are written little-endian");

constexpr double XMIN = quon::X0;
constexpr double YMIN = quon::Y0;
constexpr double XMAX = quon::X0 + NCOL * quon::CELLSIZE;
constexpr double YMAX = quon::Y0 + NROW * quon::CELLSIZE;

double xcentre(int c) { return (c - 0.5) * 5280.0 + 266023.0; }
double ycentre(int r) { return (165 - r + 0.5) * 5280.0 + 14092806.0; }

constexpr int CO = 1, KS = 2, NE = 3;
constexpr const char *STATEDIR[4] = {"", "co", "ks", "ne"};
constexpr const char *STATECODE[4] = {"", "CO", "KS", "NE"};

// The wells of a period may not exceed what the WEL file announces.
constexpr int MAXWELLS = quon::MAXWEL;

// ---- Options ----------------------------------------------------------------

struct Options {
  std::string out;
  std::uint64_t seed = 1;
  int start = 1950;  // first transient year
  int years = 3;     // transient years
  int steady = 2;    // steady years, just before the transient ones
  int stations = 24; // precipitation stations
  int drift = 1;     // drift order of the precipitation kriging
  int rch = 4;       // RCH files: 1, or 4 components
  int wells = 3000;  // irrigation wells pumping in a summer month
  bool bin = false;  // unformatted cell array files
  bool annpump = true;
  bool subareas = true;
};

// Municipal wells per state: a few towns, more in a more developed area.
int towns(int wells) { return std::clamp(wells / 100, 6, 60); }

// The fewest stations that let the drift terms be fitted.
int min_stations(int drift) { return drift == 0 ? 1 : 2 * drift + 2; }

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

bool parse_int(std::string_view s, long long lo, long long hi,
               long long &value) {
  const char *e = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), e, value);
  return ec == std::errc() && p == e && value >= lo && value <= hi;
}

// Reads the command line into o; false (after a message) when it is wrong.
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

// ---- Random numbers ---------------------------------------------------------

// One stream of random numbers. Each part of the scenario draws from a stream
// of its own, so that an option of one part (the number of wells, say) leaves
// the others (stations, precipitation) as they were.
class Rng {
public:
  Rng(std::uint64_t seed, std::uint64_t stream)
      : g_(seed ^ (stream * 0x9E3779B97F4A7C15ull)) {}
  // Uniform in [0, 1), from the top 53 bits.
  double uniform() { return double(g_() >> 11) * 0x1.0p-53; }
  double uniform(double a, double b) { return a + (b - a) * uniform(); }
  int below(int n) { return std::min(n - 1, int(uniform() * n)); }
  // Roughly standard normal (sum of twelve uniforms), within -6..6.
  double normal() {
    double s = 0.0;
    for (int i = 0; i < 12; ++i)
      s += uniform();
    return s - 6.0;
  }

private:
  std::mt19937_64 g_;
};

// A smooth random field over the grid: random values on a lattice of the given
// spacing (in cells), blended with smoothstep weights. Values in [0, 1].
class Noise {
public:
  Noise(Rng &rng, double spacing) : s_(spacing) {
    nx_ = int(NCOL / spacing) + 3;
    ny_ = int(NROW / spacing) + 3;
    v_.resize(std::size_t(nx_) * ny_);
    for (auto &x : v_)
      x = rng.uniform();
  }
  double at(double c, double r) const {
    const double fx = std::max(0.0, c / s_), fy = std::max(0.0, r / s_);
    const int i = std::min(int(fx), nx_ - 2), j = std::min(int(fy), ny_ - 2);
    const double tx = smooth(fx - i), ty = smooth(fy - j);
    const double a = v(i, j) + (v(i + 1, j) - v(i, j)) * tx;
    const double b = v(i, j + 1) + (v(i + 1, j + 1) - v(i, j + 1)) * tx;
    return a + (b - a) * ty;
  }

private:
  static double smooth(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
  }
  double v(int i, int j) const { return v_[std::size_t(j) * nx_ + i]; }
  double s_;
  int nx_, ny_;
  std::vector<double> v_;
};

// ---- Output -----------------------------------------------------------------

// One file's bytes, built in memory and written in one go.
class Buf {
public:
  Buf() : b_(std::size_t(1) << 22) {}
  void clear() { n_ = 0; }
  void put(char ch) {
    room(1);
    b_[n_++] = ch;
  }
  void put(std::string_view s) {
    room(s.size());
    std::memcpy(b_.data() + n_, s.data(), s.size());
    n_ += s.size();
  }
  void put_int(long long v) {
    room(24);
    n_ = std::size_t(std::to_chars(b_.data() + n_, b_.data() + n_ + 24, v).ptr -
                     b_.data());
  }
  // v rounded to `dec` decimals, trailing zeros dropped: 0, 12.5, 130.25.
  void put_dec(double v, int dec) {
    long long scale = 1;
    for (int i = 0; i < dec; ++i)
      scale *= 10;
    long long k = std::llround(v * double(scale));
    if (k < 0) {
      put('-');
      k = -k;
    }
    put_int(k / scale);
    long long frac = k % scale;
    if (frac == 0)
      return;
    put('.');
    char d[20];
    for (int i = dec - 1; i >= 0; --i, frac /= 10)
      d[i] = char('0' + frac % 10);
    int n = dec;
    while (d[n - 1] == '0')
      --n;
    put(std::string_view(d, std::size_t(n)));
  }
  // v with exactly `dec` decimals: 0.0500, 12.0.
  void put_fixed(double v, int dec) {
    room(48);
    n_ = std::size_t(std::to_chars(b_.data() + n_, b_.data() + n_ + 48, v,
                                   std::chars_format::fixed, dec)
                         .ptr -
                     b_.data());
  }
  void put_raw(const void *p, std::size_t n) {
    room(n);
    std::memcpy(b_.data() + n_, p, n);
    n_ += n;
  }
  std::string_view view() const { return {b_.data(), n_}; }

private:
  void room(std::size_t n) {
    if (n_ + n > b_.size())
      b_.resize(std::max(b_.size() * 2, n_ + n));
  }
  std::vector<char> b_;
  std::size_t n_ = 0;
};

struct Tally {
  long files = 0;
  long long bytes = 0;
};

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

// ---- The grid ---------------------------------------------------------------

using IntGrid = std::vector<int>;
using RealGrid = std::vector<double>;

int at(int c, int r) { return quon::cell(c, r); }

struct Geography {
  IntGrid ibound, state, soil, mound, budget, subarea, terclass;
  RealGrid xfactor;
  // Row of the centre line of each river at every column (index c - 1).
  std::array<std::vector<double>, 3> river;
  std::array<int, 4> active{}; // cells with IBOUND 1, by state (0: all)
};

// Distance in rows from cell (c, r) to the nearest river.
double river_distance(const Geography &g, int c, int r) {
  double d = 1e9;
  for (const auto &path : g.river)
    d = std::min(d, std::abs(r - path[std::size_t(c - 1)]));
  return d;
}

// The state a cell lies in: CO in the west below the NE panhandle, NE in the
// north, KS in the south-east.
int state_of(int c, int r) {
  if (c <= 96)
    return r <= 28 ? NE : CO;
  return r <= 92 ? NE : KS;
}

constexpr std::array<std::string_view, 12> SUBAREA_NAMES = {
    "NorthFork", "SouthFork", "Divide",    "Uplands", "Breaks",    "Bottoms",
    "Tableland", "EastPlain", "WestPlain", "Bluffs",  "Headwater", "Lowlands"};

Geography make_geography(std::uint64_t seed) {
  Geography g;
  Rng rng(seed, 1);
  g.ibound.assign(NCELL, 0);
  g.state.assign(NCELL, 0);

  // Active area: an ellipse whose edge is roughened at two scales.
  Noise coarse(rng, 24.0), fine(rng, 4.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      g.state[at(c, r)] = state_of(c, r);
      if (r < 3 || r > NROW - 2 || c < 3 || c > NCOL - 2)
        continue;
      const double u = (c - 163.5) / 150.0, v = (r - 83.0) / 74.0;
      const double edge =
          1.0 + 0.30 * (coarse.at(c, r) - 0.5) + 0.12 * (fine.at(c, r) - 0.5);
      if (u * u + v * v < edge)
        g.ibound[at(c, r)] = 1;
    }
  // Two bedrock highs inside the area that hold no aquifer.
  for (int k = 0; k < 2; ++k) {
    const int cc = 90 + rng.below(150), rc = 55 + rng.below(55);
    const int rad = 2 + rng.below(3);
    for (int r = rc - rad; r <= rc + rad; ++r)
      for (int c = cc - rad; c <= cc + rad; ++c)
        if ((c - cc) * (c - cc) + (r - rc) * (r - rc) <= rad * rad)
          g.ibound[at(c, r)] = 0;
  }
  // Constant heads where the rivers leave the area: the eastern edge.
  for (int r = 40; r <= 130; ++r)
    for (int c = NCOL; c >= 1; --c)
      if (g.ibound[at(c, r)] != 0) {
        g.ibound[at(c, r)] = -1;
        break;
      }

  // Three rivers flowing east, meandering by up to ten rows.
  const std::array<double, 3> base_row = {22.0, 62.0, 125.0};
  for (int k = 0; k < 3; ++k) {
    Noise meander(rng, 30.0);
    g.river[k].resize(NCOL);
    for (int c = 1; c <= NCOL; ++c)
      g.river[k][c - 1] = base_row[k] + 20.0 * (meander.at(c, 10.0 * k) - 0.5);
  }

  // Soils: patches of sand, loam, silt and clay, sand along the rivers.
  g.soil.assign(NCELL, 0);
  g.terclass.assign(NCELL, 0);
  g.budget.assign(NCELL, 0);
  Noise soilfield(rng, 14.0), terrainfield(rng, 18.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      const int i = at(c, r);
      if (g.ibound[i] == 0)
        continue;
      const double n = soilfield.at(c, r), d = river_distance(g, c, r);
      g.soil[i] = d <= 2.0 ? 1 : n < 0.38 ? 1 : n < 0.5 ? 2 : n < 0.62 ? 3 : 4;
      // Terrain: breaks along the rivers, flat and rolling uplands elsewhere.
      g.terclass[i] = d <= 4.0 ? 3 : terrainfield.at(c, r) < 0.5 ? 1 : 2;
      g.budget[i] = g.state[i];
      if (g.ibound[i] > 0) {
        ++g.active[0];
        ++g.active[g.state[i]];
      }
    }

  // Groundwater mound under the canals of the middle river.
  g.mound.assign(NCELL, 0);
  Noise moundfield(rng, 6.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 140; c <= 205; ++c) {
      const double d = std::abs(r - g.river[1][c - 1]);
      if (g.ibound[at(c, r)] != 0 && d <= 3.0 + 4.0 * moundfield.at(c, r))
        g.mound[at(c, r)] = 1;
    }

  // Sub-areas: the active cells nearest to each of twelve centres, unless
  // they lie far from all of them.
  g.subarea.assign(NCELL, 0);
  std::vector<std::array<int, 2>> centre;
  for (int tries = 0; centre.size() < SUBAREA_NAMES.size() && tries < 100000;
       ++tries) {
    const int c = 1 + rng.below(NCOL), r = 1 + rng.below(NROW);
    if (g.ibound[at(c, r)] <= 0)
      continue;
    const int spacing = tries < 50000 ? 40 : 10;
    bool far = true;
    for (auto &p : centre)
      far = far && (p[0] - c) * (p[0] - c) + (p[1] - r) * (p[1] - r) >=
                       spacing * spacing;
    if (far)
      centre.push_back({c, r});
  }
  if (centre.size() < SUBAREA_NAMES.size())
    die("could not place the sub-areas");
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      if (g.ibound[at(c, r)] == 0)
        continue;
      int best = 0, bestd = 1 << 30;
      for (std::size_t k = 0; k < centre.size(); ++k) {
        const int dc = centre[k][0] - c, dr = centre[k][1] - r;
        if (dc * dc + dr * dr < bestd)
          bestd = dc * dc + dr * dr, best = int(k) + 1;
      }
      if (bestd <= 55 * 55)
        g.subarea[at(c, r)] = best;
    }

  // Return-flow factors: lined canals in eastern KS return less.
  g.xfactor.assign(NCELL, 1.0);
  Noise lining(rng, 10.0);
  for (int r = 1; r <= NROW; ++r)
    for (int c = 201; c <= NCOL; ++c)
      if (g.state[at(c, r)] == KS)
        g.xfactor[at(c, r)] = 0.7 + 0.25 * lining.at(c, r);
  return g;
}

// ---- Stations and precipitation ---------------------------------------------

struct Stations {
  int n = 0;
  std::vector<std::string> name;
  std::vector<double> x, y;
  int first = 0, last = -1; // years of the table
  // ppt[(year - first) * n + station]
  std::vector<double> ppt;
  std::vector<double> factor;    // wetness of each year, about 1
  int calmed = 0;                // years whose station values were calmed
  double kmin = 0.0, kmax = 0.0; // kriged range over all years and cells
  long kcells = 0;
};

// Places the stations: a ring around the model area, a little outside it, so
// that no cell is extrapolated far, and the rest on a jittered lattice inside.
void place_stations(const Options &o, Stations &s, Rng &rng) {
  const int n = o.stations;
  const double w = XMAX - XMIN, h = YMAX - YMIN;
  const double ex = 0.04 * w, ey = 0.06 * h;
  const double x0 = XMIN - ex, x1 = XMAX + ex, y0 = YMIN - ey, y1 = YMAX + ey;
  std::vector<std::array<double, 2>> p;
  const int ring = n < 8 ? std::min(n, 4) : std::max(4, n * 2 / 5);
  const std::array<std::array<double, 2>, 4> corner = {
      {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
  for (int k = 0; k < std::min(ring, 4); ++k)
    p.push_back(
        {corner[k][0] + (corner[k][0] < XMIN ? -1 : 1) * rng.uniform(0, ex / 4),
         corner[k][1] +
             (corner[k][1] < YMIN ? -1 : 1) * rng.uniform(0, ey / 4)});
  // The rest of the ring, evenly round the perimeter between the corners.
  const double per = 2.0 * ((x1 - x0) + (y1 - y0));
  const int more = ring - std::min(ring, 4);
  for (int k = 0; k < more; ++k) {
    double t = per * (k + 0.5 + rng.uniform(-0.2, 0.2)) / more;
    double out = rng.uniform(0.0, 0.01) * h;
    if (t < x1 - x0)
      p.push_back({x0 + t, y0 - out});
    else if ((t -= x1 - x0) < y1 - y0)
      p.push_back({x1 + out, y0 + t});
    else if ((t -= y1 - y0) < x1 - x0)
      p.push_back({x1 - t, y1 + out});
    else
      p.push_back({x0 - out, y1 - (t - (x1 - x0))});
  }
  // Inside: a lattice of about the area's shape, a random subset of its
  // cells, each station somewhere near its cell's centre.
  const int m = n - ring;
  if (m > 0) {
    int nx = std::max(1, int(std::llround(std::sqrt(m * w / h))));
    int ny = (m + nx - 1) / nx;
    std::vector<int> slot(std::size_t(nx) * ny);
    for (std::size_t k = 0; k < slot.size(); ++k)
      slot[k] = int(k);
    for (std::size_t k = slot.size() - 1; k > 0; --k)
      std::swap(slot[k], slot[std::size_t(rng.below(int(k) + 1))]);
    std::sort(slot.begin(), slot.begin() + m);
    const double dx = w / nx, dy = h / ny;
    for (int k = 0; k < m; ++k) {
      const int i = slot[k] % nx, j = slot[k] / nx;
      p.push_back({XMIN + (i + 0.5 + rng.uniform(-0.35, 0.35)) * dx,
                   YMIN + (j + 0.5 + rng.uniform(-0.35, 0.35)) * dy});
    }
  }
  // Whole feet, and no two stations on the same spot (the kriging matrix
  // would be singular).
  s.n = n;
  for (int k = 0; k < n; ++k) {
    double x = std::round(p[k][0]), y = std::round(p[k][1]);
    for (bool clash = true; clash;) {
      clash = false;
      for (int j = 0; j < k; ++j)
        if (s.x[j] == x && s.y[j] == y)
          clash = true;
      if (clash)
        x += 1.0;
    }
    s.x.push_back(x);
    s.y.push_back(y);
    const int c = std::clamp(int((x - XMIN) / 5280.0) + 1, 1, NCOL);
    const int r = std::clamp(NROW - int((y - YMIN) / 5280.0), 1, NROW);
    char nm[16];
    std::snprintf(nm, sizeof nm, "%s_%03d", STATECODE[state_of(c, r)], k + 1);
    s.name.push_back(nm);
  }
}

// Kriging weights of the stations at every cell that quon krigs.
struct Weights {
  std::vector<int> cells;
  std::vector<double> w; // n per listed cell
};

Weights station_weights(const Geography &g, const Stations &s, int drift) {
  std::vector<double> amat(quon::MAXKRIG * quon::MAXKRIG),
      ainv(quon::MAXKRIG * quon::MAXKRIG);
  if (!quon::krigmatinv(quon::X0, quon::Y0, s.x, s.y, amat, ainv, s.n, drift))
    die("the station kriging system cannot be inverted");
  Weights k;
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c)
      if (g.ibound[at(c, r)] != 0)
        k.cells.push_back(at(c, r));
  k.w.resize(k.cells.size() * std::size_t(s.n));
  for (std::size_t i = 0; i < k.cells.size(); ++i) {
    const int c = k.cells[i] % NCOL + 1, r = k.cells[i] / NCOL + 1;
    quon::krigweights(ainv, quon::X0, quon::Y0, s.x, s.y, xcentre(c),
                      ycentre(r), s.n, drift,
                      std::span<double>(k.w.data() + i * s.n, s.n));
  }
  return k;
}

// Lowest and highest kriged value of one year, summed as quon sums it.
std::array<double, 2> kriged_range(const Weights &k, const double *z, int n) {
  double lo = 1e300, hi = -1e300;
  for (std::size_t i = 0; i < k.cells.size(); ++i) {
    const double *w = k.w.data() + i * n;
    double s = 0.0;
    for (int j = 0; j < n; ++j)
      s = s + z[j] * w[j];
    lo = std::min(lo, s);
    hi = std::max(hi, s);
  }
  return {lo, hi};
}

// The range every year's kriged field must keep: dry but not desert, and
// well inside the FUNCTION block.
constexpr double PPT_FLOOR = 5.0, PPT_CEILING = 45.0;

// Annual precipitation of every station for every year of the run: drier in
// the west and north, a wet or dry year for the whole area (persisting a
// little from year to year), a regional tilt of that year, and each station's
// own scatter. A year whose kriged field leaves the allowed range has its
// scatter calmed step by step, down to one value for all stations, which the
// kriging reproduces.
Stations make_stations(const Options &o, const Geography &g) {
  Stations s;
  Rng rng(o.seed, 2);
  place_stations(o, s, rng);
  const int n = s.n;
  s.first = o.start - o.steady;
  s.last = o.start + o.years - 1;
  const int ny = s.last - s.first + 1;
  s.ppt.assign(std::size_t(std::max(ny, 0)) * n, 0.0);
  std::vector<double> base(n), site(n);
  for (int j = 0; j < n; ++j) {
    const double ux = (s.x[j] - XMIN) / (XMAX - XMIN);
    const double uy = (s.y[j] - YMIN) / (YMAX - YMIN);
    base[j] = 17.0 + 12.0 * ux + 2.0 * (0.5 - uy);
    site[j] = 1.2 * rng.normal();
  }
  const Weights k = station_weights(g, s, o.drift);
  s.kcells = long(k.cells.size());
  s.kmin = 1e300;
  s.kmax = -1e300;
  double f = 1.0;
  std::vector<double> z(n), scatter(n);
  for (int y = 0; y < ny; ++y) {
    f = std::clamp(1.0 + 0.4 * (f - 1.0) + 0.1 * rng.normal(), 0.65, 1.4);
    const double tilt = 0.06 * rng.normal();
    for (int j = 0; j < n; ++j)
      scatter[j] = 0.06 * rng.normal();
    s.factor.push_back(f);
    double *row = s.ppt.data() + std::size_t(y) * n;
    bool ok = false, calmed = false;
    for (double calm : {1.0, 0.5, 0.25, 0.0}) {
      for (int j = 0; j < n; ++j) {
        const double ux = (s.x[j] - XMIN) / (XMAX - XMIN);
        const double v = (base[j] + calm * site[j]) *
                         (f + calm * tilt * 2.0 * (ux - 0.5)) *
                         (1.0 + calm * scatter[j]);
        row[j] =
            double(std::llround(std::clamp(v, 10.0, 35.0) * 100.0)) / 100.0;
      }
      const auto [lo, hi] = kriged_range(k, row, n);
      if (lo >= PPT_FLOOR && hi <= PPT_CEILING) {
        ok = true;
        break;
      }
      calmed = true;
    }
    s.calmed += calmed;
    if (!ok) {
      // One value for the whole area: the kriging weights sum to one.
      const double v =
          double(std::llround(std::clamp(20.0 * f, 10.0, 35.0) * 100.0)) /
          100.0;
      std::fill(row, row + n, v);
      const auto [lo, hi] = kriged_range(k, row, n);
      if (lo < PPT_FLOOR || hi > PPT_CEILING)
        die("the kriging cannot reproduce even a uniform year; try another "
            "seed or drift order");
    }
    const auto [lo, hi] = kriged_range(k, row, n);
    s.kmin = std::min(s.kmin, lo);
    s.kmax = std::max(s.kmax, hi);
  }
  return s;
}

// ---- Recharge functions -----------------------------------------------------

constexpr std::array<std::string_view, 4> SOIL_NAMES = {"sand", "loam", "silt",
                                                        "clay"};
constexpr std::array<double, 4> SOIL_FACTOR = {1.6, 1.0, 0.75, 0.5};

struct FunctionBlock {
  double last = 0.0;                         // last precipitation value
  std::vector<std::string> rows;             // data lines as written
  std::vector<double> p;                     // precipitation, as read back
  std::vector<std::array<double, 8>> values; // dry, irr per soil, read back
};

// Tabulates the functions every 5 inches up to a value well above the highest
// kriged precipitation. The values follow slope-continuous parabolas that
// open upwards, so the quadratic spline through them rises everywhere.
FunctionBlock make_functions(double highest) {
  FunctionBlock fb;
  fb.last = std::max(40.0, 5.0 * std::ceil((1.25 * highest + 5.0) / 5.0));
  const int nrow = int(fb.last / 5.0) + 1;
  const double h = 5.0;
  // First slope and curvature of the dryland and the irrigated function.
  const std::array<double, 2> b1 = {0.004, 0.03}, c = {0.0016, 0.0024};
  std::array<std::array<double, 2>, 4> y{}, b{};
  for (int s = 0; s < 4; ++s)
    for (int f = 0; f < 2; ++f)
      b[s][f] = b1[f] * SOIL_FACTOR[s];
  char line[160];
  for (int i = 0; i < nrow; ++i) {
    int len = std::snprintf(line, sizeof line, "%5.1f", i * h);
    for (int s = 0; s < 4; ++s)
      len += std::snprintf(line + len, sizeof line - std::size_t(len),
                           "   %6.4f %6.4f", y[s][0], y[s][1]);
    fb.rows.emplace_back(line, std::size_t(len));
    // The first interval is a straight line, as the spline fit makes it.
    for (int s = 0; s < 4; ++s)
      for (int f = 0; f < 2; ++f) {
        const double cc = i == 0 ? 0.0 : c[f] * SOIL_FACTOR[s];
        y[s][f] += b[s][f] * h + cc * h * h;
        b[s][f] += 2.0 * cc * h;
      }
  }
  return fb;
}

// Fits the quadratic spline through one column with quon's own spline and
// returns its values on the 0.1 grid up to `rows` rows, as quon tabulates
// them.
std::vector<double> spline_on_grid(const std::vector<double> &x,
                                   const std::vector<double> &y, int rows) {
  std::vector<double> grid(rows), out(rows);
  for (int j = 0; j < rows; ++j)
    grid[j] = j * 0.1;
  quon::spline(x, y, int(x.size()), grid, out, rows, 2);
  return out;
}

// Reads the written rows back and checks that every function, as quon will
// tabulate it, starts at 0, never falls, and that irrigated land never
// recharges less than dryland. A failure is a fault of this generator.
void check_functions(FunctionBlock &fb) {
  std::vector<double> p;
  std::vector<std::vector<double>> col(8);
  for (const auto &row : fb.rows) {
    const char *q = row.data(), *e = row.data() + row.size();
    auto next = [&] {
      while (q < e && *q == ' ')
        ++q;
      double v = 0.0;
      auto r = std::from_chars(q, e, v);
      if (r.ec != std::errc())
        die("unreadable FUNCTION row " + row);
      q = r.ptr;
      return v;
    };
    p.push_back(next());
    for (auto &cl : col)
      cl.push_back(next());
  }
  const int rows = int(10.0 * p.back() + 1.0);
  std::vector<std::vector<double>> tab;
  for (const auto &cl : col)
    tab.push_back(spline_on_grid(p, cl, rows));
  for (int s = 0; s < 4; ++s)
    for (int j = 0; j < rows; ++j) {
      const double d = tab[2 * s][j], i = tab[2 * s + 1][j];
      const bool falls = j > 0 && (d < tab[2 * s][j - 1] - 1e-9 ||
                                   i < tab[2 * s + 1][j - 1] - 1e-9);
      if (d < -1e-9 || falls || i < d - 1e-9)
        die("the recharge functions would not rise steadily");
    }
  fb.p = p;
}

// ---- Irrigation, pumping and towns ------------------------------------------

enum Kind { GW, COMMINGLED, SW };

// One irrigated cell: its kind, acres and yearly application depth (feet).
struct Plot {
  int cell, state;
  Kind kind;
  double acres, depth;
};

struct Town {
  int cell, state;
  double af; // municipal pumping, acre-feet a year
};

struct Land {
  std::vector<Plot> plots; // pumping plots first (GW, COMMINGLED), then SW
  std::size_t npump = 0;
  std::vector<Town> towns;
};

Land make_land(const Options &o, const Geography &g) {
  Land land;
  Rng rng(o.seed, 3);
  Noise irrigation(rng, 20.0);
  std::vector<char> taken(NCELL, 0);
  std::vector<Plot> sw;
  std::array<std::vector<Plot>, 4> mixed;
  // Ditch-irrigated cells along the rivers; commingled cells a little farther
  // off, in CO and KS only.
  for (int r = 1; r <= NROW; ++r)
    for (int c = 1; c <= NCOL; ++c) {
      const int i = at(c, r);
      if (g.ibound[i] != 1)
        continue;
      const double d = river_distance(g, c, r), u = rng.uniform();
      if (d <= 2.0 && u < 0.35) {
        sw.push_back({i, g.state[i], SW,
                      double(std::llround(rng.uniform(40, 400))),
                      rng.uniform(0.15, 0.35)});
        taken[i] = 1;
      } else if (d > 2.0 && d <= 5.0 && g.state[i] != NE && u < 0.15) {
        mixed[g.state[i]].push_back({i, g.state[i], COMMINGLED,
                                     double(std::llround(rng.uniform(60, 320))),
                                     rng.uniform(0.8, 1.3)});
        taken[i] = 1;
      }
    }
  // Groundwater wells by state, in proportion to the active area, denser
  // where the irrigation field is high.
  int given = 0;
  for (int st = CO; st <= NE; ++st) {
    // The last state takes what rounding left, so the shares add up.
    const int want =
        st == NE
            ? o.wells - given
            : int(std::llround(double(o.wells) * g.active[st] / g.active[0]));
    given += want;
    auto &cm = mixed[st];
    if (int(cm.size()) > want)
      cm.resize(std::size_t(want));
    for (auto &p : cm)
      land.plots.push_back(p);
    std::vector<std::pair<double, int>> key;
    for (int r = 1; r <= NROW; ++r)
      for (int c = 1; c <= NCOL; ++c) {
        const int i = at(c, r);
        if (g.ibound[i] == 1 && g.state[i] == st && !taken[i])
          key.push_back({irrigation.at(c, r) + 0.5 * rng.uniform(), i});
      }
    std::sort(key.begin(), key.end(), [](const auto &a, const auto &b) {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    const int ngw =
        std::min(int(key.size()), std::max(0, want - int(cm.size())));
    static constexpr double PIVOTS[] = {65,  130, 130, 130, 260,
                                        260, 390, 520, 640};
    for (int k = 0; k < ngw; ++k)
      land.plots.push_back({key[k].second, st, GW,
                            PIVOTS[rng.below(9)] - double(rng.below(10)),
                            rng.uniform(0.9, 1.6)});
  }
  land.npump = land.plots.size();
  for (auto &p : sw)
    land.plots.push_back(p);
  // Towns: a few cells of each state with municipal wells.
  const int nt = towns(o.wells);
  for (int st = CO; st <= NE; ++st)
    for (int k = 0, tries = 0; k < nt && tries < 1000000; ++tries) {
      const int c = 1 + rng.below(NCOL), r = 1 + rng.below(NROW);
      const int i = at(c, r);
      if (g.ibound[i] != 1 || g.state[i] != st || taken[i] == 2)
        continue;
      const double u = rng.uniform();
      land.towns.push_back({i, st, 50.0 + 2950.0 * u * u * u});
      taken[i] = 2;
      ++k;
    }
  return land;
}

// Share of a year's pumping in each month, and the share of the wells that
// run at all in that month.
constexpr std::array<double, 12> PUMP_SHARE = {
    0.005, 0.005, 0.01, 0.04, 0.12, 0.22, 0.30, 0.22, 0.06, 0.01, 0.005, 0.005};
constexpr std::array<double, 12> PUMP_RUNNING = {
    0.08, 0.08, 0.12, 0.35, 0.85, 1.0, 1.0, 1.0, 0.8, 0.3, 0.1, 0.08};
// Surface-water deliveries run April to October, commingled return June to
// September, groundwater return May to September.
constexpr std::array<double, 12> SW_SHARE = {0,    0,   0,   0.05, 0.15, 0.2,
                                             0.25, 0.2, 0.1, 0.05, 0,    0};
constexpr std::array<double, 12> CO_SHARE = {0,    0,   0,    0, 0, 0.2,
                                             0.35, 0.3, 0.15, 0, 0, 0};
constexpr bool gw_return(int m) { return m >= 5 && m <= 9; }

// ---- Writing ----------------------------------------------------------------

// How each state's office writes its grids: CO a row a line with single
// blanks, KS forty values a line with two blanks, NE 25 values a line with
// commas.
struct Style {
  char sep;
  int seplen, perline;
};
constexpr Style STYLE[4] = {
    {' ', 1, NCOL}, {' ', 1, NCOL}, {' ', 2, 40}, {',', 1, 25}};

class Writer {
public:
  Writer(const Options &o, fs::path root) : o_(o), root_(std::move(root)) {}

  void text(const std::string &rel, std::string_view s) {
    save(root_ / rel, s, tally);
  }

  // A zone grid: an optional header of names, then one line per row with
  // fields of the given width.
  void zones(const std::string &rel, const IntGrid &z, std::string_view header,
             int width) {
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

  // A real grid as free-format text, decimals rounded, in the given style.
  void reals(const fs::path &path, const RealGrid &v, const Style &st,
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

  // A state's cell array file, unless it is all zero. Values are rounded to
  // hundredths first, so that text and unformatted files hold the same
  // numbers.
  void cells(int state, const std::string &name, RealGrid &v) {
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

  Tally tally;

private:
  const Options &o_;
  fs::path root_;
  Buf b_;
};

std::string year_month(int y, int m) {
  char s[16];
  std::snprintf(s, sizeof s, "%04d.%02d", y, m);
  return s;
}

// The cell array files of every state for the steady span and every
// transient year. Returns the fewest and most wells of a transient month.
std::array<int, 2> write_state_files(const Options &o, const Land &land,
                                     const Stations &s, Writer &w) {
  Rng rng(o.seed, 4);
  std::array<RealGrid, 4> grid;
  auto clear = [&] {
    for (auto &gr : grid)
      gr.assign(NCELL, 0.0);
  };
  auto flush = [&](const std::string &name) {
    for (int st = CO; st <= NE; ++st)
      w.cells(st, name, grid[st]);
  };

  // Steady span: the early years of development, as yearly totals.
  if (o.steady > 0) {
    clear();
    for (const auto &t : land.towns)
      grid[t.state][t.cell] += 0.4 * t.af;
    flush("steady.mi");
    clear();
    RealGrid ret[4];
    for (auto &r : ret)
      r.assign(NCELL, 0.0);
    for (std::size_t k = 0; k < land.npump; k += 10) {
      const Plot &p = land.plots[k];
      const double af = p.acres * 0.8 * (p.kind == COMMINGLED ? 0.5 : 1.0);
      grid[p.state][p.cell] += af;
      if (p.kind == GW)
        ret[p.state][p.cell] += 0.15 * af;
    }
    flush("steady.pmp");
    for (int st = CO; st <= NE; ++st)
      grid[st] = ret[st];
    flush("steady.rcg");
    clear();
    for (std::size_t k = land.npump; k < land.plots.size(); ++k) {
      const Plot &p = land.plots[k];
      grid[p.state][p.cell] += p.acres * p.depth;
    }
    flush("steady.rcs");
    clear();
    for (std::size_t k = 0; k < land.npump; ++k)
      if (land.plots[k].kind == COMMINGLED)
        grid[land.plots[k].state][land.plots[k].cell] +=
            land.plots[k].acres * 0.08;
    flush("steady.rcc");
  }

  std::array<int, 2> wells = {o.years > 0 ? 1 << 30 : 0, 0};
  std::vector<char> pumping(NCELL);
  std::vector<double> pmp(land.npump);
  for (int t = 0; t < o.years; ++t) {
    const int y = o.start + t;
    const std::string ys = std::to_string(y);
    // A dry year pumps more.
    const double f = s.factor[std::size_t(o.steady + t)];
    const double thirst = std::clamp(1.0 + 0.8 * (1.0 - f), 0.6, 1.6);
    const double growth = 1.0 + 0.005 * t;

    // Irrigated acres of the year.
    for (Kind kind : {GW, SW, COMMINGLED}) {
      clear();
      for (const auto &p : land.plots)
        if (p.kind == kind)
          grid[p.state][p.cell] +=
              std::min(640.0, std::round(p.acres * growth *
                                         rng.uniform(0.97, 1.03) * 10.0) /
                                  10.0);
      flush(ys + (kind == GW ? ".agw" : kind == SW ? ".asw" : ".aco"));
    }
    clear();
    for (const auto &tn : land.towns)
      grid[tn.state][tn.cell] += tn.af * (1.0 + 0.01 * t);
    flush(ys + ".mi");

    for (int m = 1; m <= 12; ++m) {
      const std::string ym = year_month(y, m);
      std::fill(pumping.begin(), pumping.end(), 0);
      for (const auto &tn : land.towns)
        pumping[tn.cell] = 1;
      clear();
      for (std::size_t k = 0; k < land.npump; ++k) {
        const Plot &p = land.plots[k];
        pmp[k] = 0.0;
        if (rng.uniform() >= PUMP_RUNNING[m - 1])
          continue;
        const double share = p.kind == COMMINGLED ? 0.5 : 1.0;
        pmp[k] = p.acres * p.depth * share * thirst * PUMP_SHARE[m - 1] /
                 PUMP_RUNNING[m - 1];
        grid[p.state][p.cell] += pmp[k];
        if (std::llround(pmp[k] * 100.0) != 0)
          pumping[p.cell] = 1;
      }
      flush(ym + ".pmp");
      int n = 0;
      for (char x : pumping)
        n += x;
      wells[0] = std::min(wells[0], n);
      wells[1] = std::max(wells[1], n);
      if (n > MAXWELLS)
        die("a month would have more wells than a period may hold");

      clear();
      if (gw_return(m))
        for (std::size_t k = 0; k < land.npump; ++k)
          if (land.plots[k].kind == GW)
            grid[land.plots[k].state][land.plots[k].cell] +=
                pmp[k] * rng.uniform(0.1, 0.2);
      flush(ym + ".rcg");

      clear();
      for (std::size_t k = land.npump; k < land.plots.size(); ++k) {
        const Plot &p = land.plots[k];
        grid[p.state][p.cell] +=
            p.acres * p.depth * SW_SHARE[m - 1] * rng.uniform(0.8, 1.2);
      }
      flush(ym + ".rcs");

      clear();
      for (std::size_t k = 0; k < land.npump; ++k) {
        const Plot &p = land.plots[k];
        if (p.kind == COMMINGLED)
          grid[p.state][p.cell] += p.acres * 0.08 * CO_SHARE[m - 1];
      }
      flush(ym + ".rcc");
    }
  }
  return wells;
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

constexpr std::array<std::string_view, 12> MONTH_MULT = {
    "0.05", "0.05", "0.06", "0.08", "0.10", "0.12",
    "0.14", "0.12", "0.09", "0.07", "0.07", "0.05"};

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

} // namespace

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

// scenario.h - what the parts of the scenario generator share: the options,
// the grid's geography, the stations, the recharge functions, the irrigated
// land, the random numbers and the output buffer and writer.
//
// The generator writes a complete, realistic run folder for quon: the
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
// integers before it is written. Each part draws from a random stream of its
// own (geography 1, stations 2, land 3, monthly files 4, terrain table 5).
//
// The run must go through quon without ending early. The generator therefore
// krigs every year's station precipitation with quon's own kriging at every
// cell that quon krigs, keeps it within a sensible range (calming a year's
// station values when the kriging overshoots), and makes the FUNCTION block
// reach well above the highest value.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quon.h"

namespace gen {

namespace fs = std::filesystem;
using quon::NCELL;
using quon::NCOL;
using quon::NROW;

constexpr double XMIN = quon::X0;
constexpr double YMIN = quon::Y0;
constexpr double XMAX = quon::X0 + NCOL * quon::CELLSIZE;
constexpr double YMAX = quon::Y0 + NROW * quon::CELLSIZE;

inline double xcentre(int c) { return (c - 0.5) * 5280.0 + 266023.0; }
inline double ycentre(int r) { return (165 - r + 0.5) * 5280.0 + 14092806.0; }

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
inline int towns(int wells) { return std::clamp(wells / 100, 6, 60); }

// Reads the command line into o; false (after a message) when it is wrong.
// --help prints the usage and ends the program.
bool parse_options(int argc, char **argv, Options &o);
// The option summary, on f.
void usage(std::FILE *f);

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

// Prints "gen_scenario: msg" and ends the program with status 1.
[[noreturn]] void die(const std::string &msg);

// Writes bytes to path and counts them in tally; dies when it cannot.
void save(const fs::path &path, std::string_view bytes, Tally &tally);

// ---- The grid ---------------------------------------------------------------

using IntGrid = std::vector<int>;
using RealGrid = std::vector<double>;

inline int at(int c, int r) { return quon::cell(c, r); }

struct Geography {
  IntGrid ibound, state, soil, mound, budget, subarea, terclass;
  RealGrid xfactor;
  // Row of the centre line of each river at every column (index c - 1).
  std::array<std::vector<double>, 3> river;
  std::array<int, 4> active{}; // cells with IBOUND 1, by state (0: all)
};

// Distance in rows from cell (c, r) to the nearest river.
double river_distance(const Geography &g, int c, int r);

// The state a cell lies in: CO in the west below the NE panhandle, NE in the
// north, KS in the south-east.
int state_of(int c, int r);

constexpr std::array<std::string_view, 12> SUBAREA_NAMES = {
    "NorthFork", "SouthFork", "Divide",    "Uplands", "Breaks",    "Bottoms",
    "Tableland", "EastPlain", "WestPlain", "Bluffs",  "Headwater", "Lowlands"};

// The active area, its states, rivers, soils, terrain classes, mound,
// sub-areas and return-flow factors, from random stream 1 of the seed. Dies
// when the sub-areas cannot be placed.
Geography make_geography(std::uint64_t seed);

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

// The stations and their yearly precipitation, from random stream 2, with
// every year's kriged field checked against the allowed range (see
// stations.cpp). Dies when even a uniform year leaves it.
Stations make_stations(const Options &o, const Geography &g);

// ---- Recharge functions -----------------------------------------------------

constexpr std::array<std::string_view, 4> SOIL_NAMES = {"sand", "loam", "silt",
                                                        "clay"};

struct FunctionBlock {
  double last = 0.0;                         // last precipitation value
  std::vector<std::string> rows;             // data lines as written
  std::vector<double> p;                     // precipitation, as read back
  std::vector<std::array<double, 8>> values; // dry, irr per soil, read back
};

// Tabulates the functions every 5 inches up to a value well above `highest`,
// the highest kriged precipitation; fills last and rows.
FunctionBlock make_functions(double highest);

// Reads the written rows back and checks that every function, as quon will
// tabulate it, starts at 0, never falls, and that irrigated land never
// recharges less than dryland; fills p. A failure is a fault of this
// generator and ends the program.
void check_functions(FunctionBlock &fb);

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

// The irrigated plots and towns, from random stream 3 of the seed.
Land make_land(const Options &o, const Geography &g);

// ---- Writing ----------------------------------------------------------------

// How each state's office writes its grids: CO a row a line with single
// blanks, KS forty values a line with two blanks, NE 25 values a line with
// commas.
struct Style {
  char sep;
  int seplen, perline;
};

// Writes the files of one run folder under its root and counts them.
class Writer {
public:
  Writer(const Options &o, fs::path root) : o_(o), root_(std::move(root)) {}

  // A text file at rel under the root.
  void text(const std::string &rel, std::string_view s);

  // A zone grid: an optional header of names, then one line per row with
  // fields of the given width.
  void zones(const std::string &rel, const IntGrid &z, std::string_view header,
             int width);

  // A real grid as free-format text, decimals rounded, in the given style.
  void reals(const fs::path &path, const RealGrid &v, const Style &st, int dec);

  // A state's cell array file, unless it is all zero. Values are rounded to
  // hundredths first (in v), so that text and unformatted files hold the same
  // numbers.
  void cells(int state, const std::string &name, RealGrid &v);

  Tally tally;

private:
  const Options &o_;
  fs::path root_;
  Buf b_;
};

// The cell array files of every state for the steady span and every
// transient year, from random stream 4. Returns the fewest and most wells of
// a transient month; dies when a month would hold more than MAXWELLS.
std::array<int, 2> write_state_files(const Options &o, const Land &land,
                                     const Stations &s, Writer &w);

// Stations, precipitation and terrain files (the terrain table from random
// stream 5).
void write_point_files(const Options &o, const Stations &s, Writer &w);

// quon.par, with the FUNCTION block's rows.
void write_parameters(const Options &o, const FunctionBlock &fb, Writer &w);

// The zone grids and the return-flow factors.
void write_grids(const Options &o, const Geography &g, Writer &w);

} // namespace gen

// quon.h - the model grid, the bounds of every run-wide table and the tables
// themselves, shared by every subsystem of quon.
//
// Everything here is fixed in size: the whole run lives in one `Run` object
// allocated once at start-up, so nothing is allocated per period or per cell.
// Indices in comments are the modeller's 1-based rows and columns; the C++
// arrays are 0-based and `cell(c, r)` converts.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quon {

// ---- Model grid -----------------------------------------------------------
inline constexpr int NROW = 165;           // rows, row 1 is the northern edge
inline constexpr int NCOL = 326;           // columns
inline constexpr int NCELL = NROW * NCOL;  // 53,790 cells
inline constexpr double CELLSIZE = 5280.0; // feet, one mile
inline constexpr double X0 = 266023.0;     // lower-left corner, also the
inline constexpr double Y0 = 14092806.0;   // drift reference of kriging

// ---- Table bounds -----------------------------------------------------------
inline constexpr int MAXSTATION = 128; // precipitation stations
inline constexpr int MAXTERRAIN = 128; // terrain multiplier locations
inline constexpr int MAXTERCLASS = 9;  // terrain classes
inline constexpr int MAXFUNDATA = 64;  // data rows of a FUNCTION block
inline constexpr int MAXTABROW = 8192; // rows of the recharge function table
inline constexpr int MAXSOIL = 9;      // soils
inline constexpr int MAXBUDZONE = 9;   // budget zones
inline constexpr int NBUDGROUP = 9;    // column groups of a budget row
inline constexpr int MAXSUBAREA =
    23; // budget sub-areas (names 1..23; 0 is fixed)
inline constexpr int MAXKRIG = 135;    // kriging store order: 128 + 2*3 + 1
inline constexpr int MAXDRIFT = 3;     // highest drift order the store holds
inline constexpr int MAXWEL = 14000;   // wells per period
inline constexpr int MAXRCH = 4;       // RCH files
inline constexpr int NSTATE = 3;       // CO, KS, NE
inline constexpr int NSLICE = 4;       // per-state sums: slice 0 (total) + 3
inline constexpr int LINELEN = 8192;   // parameter and data file lines
inline constexpr int WORDLEN = 256;    // words and file names
inline constexpr int NAMELEN = 16;     // zone, station, store names
inline constexpr int SUBNAMELEN = 10;  // sub-area names
inline constexpr int HEADERLEN = 4096; // zone grid header line
// Longest line of any input file, in bytes without its line end: only a
// runaway or binary file (/dev/zero) has longer lines, and skipping them
// would never end.
inline constexpr std::size_t MAXRECORD = std::size_t(64) << 20;
// Largest magnitude of a value in a per-state cell array file: acres or
// acre-feet in one square-mile cell (640 acres) never come near it, while
// values of the other byte order or a damaged file do (1e284, 1e300), and
// would fill the tables with asterisks.
inline constexpr double MAXCELLVALUE = 1e15;
// A station farther than this many grid widths from the grid is reported:
// a coordinate typed in the wrong unit or zone, not a real neighbour.
inline constexpr int STATIONFAR = 100;
// The drift terms of the station kriging count as dependent when, after
// taking out the terms before it, a term keeps less than this share of its
// length: stations on one straight line cannot carry drift order 1 or 2.
inline constexpr double DRIFTRANKTOL = 1e-9;
inline constexpr int FIRSTYEAR = 1910; // first year of the precipitation table
inline constexpr int LASTYEAR = 2150;  // last year of the precipitation table
inline constexpr int NYEARS = LASTYEAR - FIRSTYEAR + 1;

// A per-state or store file's path: a folder word, "/", a period part or
// year, ".", a label or store name.
inline constexpr int PATHLEN = WORDLEN + 1 + NAMELEN + 1 + NAMELEN;

// MODFLOW 6 files of a run: TDIS, WEL, the package list, the observations
// of the WEL package and one RCH package per RCH file.
inline constexpr int MF6FILES = 4 + MAXRCH;
// Longest package name MODFLOW 6 takes.
inline constexpr int MF6NAMELEN = 16;

// 0-based storage index of the cell in column c, row r (both 1-based).
constexpr int cell(int c, int r) { return (r - 1) * NCOL + (c - 1); }

// A fixed-width, blank-padded text, as the files and tables hold names.
// Assigning a longer text keeps its leftmost N characters. Never allocates.
template <int N> struct Text {
  char c[N];

  Text() { clear(); }
  Text(std::string_view s) { set(s); }
  void clear() { std::memset(c, ' ', N); }
  void set(std::string_view s) {
    const std::size_t n = std::min<std::size_t>(s.size(), N);
    std::memcpy(c, s.data(), n);
    std::memset(c + n, ' ', N - n);
  }
  // All N characters, trailing blanks included.
  std::string_view full() const { return {c, std::size_t(N)}; }
  // Up to the last non-blank character; empty when all blank.
  std::string_view trimmed() const {
    int n = N;
    while (n > 0 && c[n - 1] == ' ')
      --n;
    return {c, std::size_t(n)};
  }
  bool blank() const { return trimmed().empty(); }
  bool operator==(const Text &o) const { return std::memcmp(c, o.c, N) == 0; }
};

using Word = Text<WORDLEN>;
// A MODFLOW 6 file name: the MF6 base word and the longest ending
// ("-precip.rch").
using Mf6Name = Text<WORDLEN + 16>;
using Name = Text<NAMELEN>;

using CellArray = std::array<double, NCELL>; // (column, row), column fastest
using ZoneGrid = std::array<std::int32_t, NCELL>; // same order, 0 = no zone

// One per-state sum array: slice 0 the total over the states, 1..3 CO, KS, NE.
struct StateSums {
  std::array<CellArray, NSLICE> slice;
  void clear() {
    for (auto &s : slice)
      s.fill(0.0);
  }
};

// Weather stations and their yearly precipitation.
struct StationTable {
  int count = 0; // 0..128
  int drift = 0; // drift order of the precipitation kriging, 0..3 when valid
  std::array<Name, MAXSTATION> name;
  std::array<double, MAXSTATION> x{}, y{};
  // ppt[year - FIRSTYEAR][station]: one year's stations are contiguous.
  std::array<std::array<double, MAXSTATION>, NYEARS> ppt{};
  // STATIONS was given, and the years its precipitation file has a data
  // line for (hasyear[year - FIRSTYEAR]).
  bool given = false;
  std::array<bool, NYEARS> hasyear{};
};

// The shape of a zone grid file: rows shorter than their fields
// (blank-filled), and lines after the last row that are not blank (never
// read as data). Neither is an error; a dry run reports them.
struct ZoneShape {
  int short_rows = 0;
  int first_short = 0; // the first short row (1-based), 0 when none
  int extra_lines = 0;
};

// The recharge function table on the 0.1 precipitation grid.
// v[soil][0] is the dryland column, v[soil][1] the irrigated one; soil 0 is
// the identity and v[0][0] is the precipitation grid itself.
struct FunctionTable {
  int rows = 0;
  int nsoil = 0; // soils the table was made for
  std::array<std::array<std::array<double, MAXTABROW>, 2>, MAXSOIL + 1> v{};
  const double *grid() const { return v[0][0].data(); }
};

// The one kriging store, shared by the terrain and the station systems.
// Column-major with leading dimension ND (the order of the current system).
struct KrigStore {
  std::array<double, MAXKRIG * MAXKRIG> amat{};
  std::array<double, MAXKRIG * MAXKRIG> ainv{};
};

// Names of the eight per-state sum arrays, in the order Run::sums holds them.
enum SumId { PMP = 0, MI, AGW, ACO, ASW, RCG, RCS, RCC, NSUMS };

// The file name label of each kind of per-state cell array file, by SumId.
inline constexpr std::array<std::string_view, NSUMS> SUMLABEL{
    "pmp", "mi", "agw", "aco", "asw", "rcg", "rcs", "rcc"};

} // namespace quon

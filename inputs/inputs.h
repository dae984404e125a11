// inputs.h - the readers of the spatial inputs: zone grids, terrain
// multipliers, precipitation stations and recharge functions, and the spline
// and table lookup behind the recharge functions.
#pragma once

#include <span>
#include <string_view>

#include "files.h"
#include "quon.h"
#include "reporters.h"

namespace quon {
class InFile;
struct Run;

// Reads a zone grid of nrow lines into grid. With limit >= 1 the first line
// names the zones (into names[0..], count set); with limit <= 0 there is no
// header and the values are not checked. The file name "*" makes every
// cell 1 without touching any file. Every failure ends the run (error2).
template <int W>
void readflags(InFile &in, std::string_view file, ZoneGrid &grid, int nrow,
               int ncol, std::span<Text<W>> names, int &count, int limit);

// The shape of the last zone grid readflags() read from a file.
const ZoneShape &last_zone_shape() noexcept;

// TERRAIN: reads the rest of the parameter line and the files it names and
// krigs the multipliers onto every classified cell into run.terrain. The
// plot file is written later, by write_terrain_plot.
void readterrain(Run &run);

// Writes the plot file of the last TERRAIN line, once the settings are read
// and checked (so that a run that ends before has replaced no file).
// Reports an open or write failure and goes on; nothing in a dry run or
// without a TERRAIN line.
void write_terrain_plot(Run &run);

// STATIONS: reads the rest of the parameter line, the location file and the
// precipitation file into run.stations.
void readstation(Run &run);

// FUNCTION: reads the rest of the parameter line and the block's data lines
// from run.param (putting back the line that ends the block) and fills
// run.functions. The table file is written later, by write_function_table.
void readfunction(Run &run);

// Writes the function table file of the last FUNCTION block, once the
// settings are read and checked. Reports an open or write failure and goes
// on; nothing in a dry run or without a FUNCTION block.
void write_function_table(Run &run);

// Fits a spline of the given type (1 linear, else quadratic) through the n
// points (x, y) and writes its values at xout[0..nout-1] into yout.
void spline(std::span<const double> x, std::span<const double> y, int n,
            std::span<const double> xout, std::span<double> yout, int nout,
            int type);

// A cell of the annual evaluation, named on the console when a value found
// there ends the run: its row and column, the year (of the steady period or
// not) and, for a recharge function lookup, the soil and the function.
struct CellPlace {
  int row = 0, col = 0, year = 0;
  bool steady = false;
  int soil = 0;
  int function = -1; // 0 dryland, 1 irrigated, -1 no function lookup
};

// The place as the console names it: "at row 12, column 40, year 1951"
// (" of the steady period"), then ", soil 3, dryland recharge function" for a
// function lookup.
Detail describe(const CellPlace &place);

// Linear interpolation in the table (xtab, ytab) of n rows at v. Ends the run
// ("Value out of range in BINFIND") when v lies outside xtab or n < 1; with
// a place, the console also says where the value was met and which range
// the table covers. Does not allocate.
double binfind(double v, std::span<const double> xtab,
               std::span<const double> ytab, int n,
               const CellPlace *place = nullptr);

} // namespace quon

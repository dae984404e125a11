// inputs.h - the readers of the spatial inputs: zone grids, terrain
// multipliers, precipitation stations and recharge functions, and the spline
// and table lookup behind the recharge functions.
#pragma once

#include <span>
#include <string_view>

#include "quon.h"

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

// TERRAIN: reads the rest of the parameter line and the files it names,
// krigs the multipliers onto every classified cell into run.terrain and
// writes the plot file.
void readterrain(Run &run);

// STATIONS: reads the rest of the parameter line, the location file and the
// precipitation file into run.stations.
void readstation(Run &run);

// FUNCTION: reads the rest of the parameter line and the block's data lines
// from run.param (putting back the line that ends the block), fills
// run.functions and writes the function table file.
void readfunction(Run &run);

// Fits a spline of the given type (1 linear, else quadratic) through the n
// points (x, y) and writes its values at xout[0..nout-1] into yout.
void spline(std::span<const double> x, std::span<const double> y, int n,
            std::span<const double> xout, std::span<double> yout, int nout,
            int type);

// Linear interpolation in the table (xtab, ytab) of n rows at v. Ends the run
// ("Value out of range in BINFIND") when v lies outside xtab or n < 1.
double binfind(double v, std::span<const double> xtab,
               std::span<const double> ytab, int n);

} // namespace quon

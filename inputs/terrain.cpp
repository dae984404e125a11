// terrain.cpp - the terrain multipliers: the TERRAIN keyword reads a class
// grid and multipliers per class at scattered locations, krigs each class's
// multipliers to the centres of the cells of that class, clips them to the
// limits and writes the grid to a plot file.

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "fmt.h"
#include "inputs.h"
#include "krige.h"
#include "messages.h"
#include "reporters.h"
#include "sidefile.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// The weights of the classified cells of one row, place by place.
std::array<double, std::size_t(NCOL) * MAXTERRAIN> row_weights;

// Line buffer of the multiplier file.
std::array<char, LINELEN> mline;

// True for the line that ends a data file early: "END" from the first
// character, then nothing but blanks.
bool is_end(std::string_view line) {
  if (line.substr(0, 3) != "END")
    return false;
  return line.find_first_not_of(' ', 3) == std::string_view::npos;
}

// Reads the location lines of the open multiplier file (after its header)
// into run.terx, run.tery and run.termult; returns how many lines gave a
// location, counting those past the table's end, which are reported and
// dropped.
int read_locations(Run &run, int nclass) {
  const ReportPlace at(run.data); // reports name the file's line
  int count = 0;
  std::string_view rec;
  while (run.data.next(rec)) {
    const std::size_t len = std::min<std::size_t>(rec.size(), LINELEN);
    std::copy_n(rec.data(), len, mline.data());
    if (linefix(std::span<char>(mline.data(), len)) != 0)
      continue;
    const std::string_view line(mline.data(), len);
    if (is_end(line))
      break;
    ++count;
    if (count > MAXTERRAIN) {
      error(msg::TERRAIN_TOO_MANY);
      continue;
    }
    const int loc = count - 1;
    int pos = 1, err = 0;
    run.terx[loc] = realin(line, 1, pos, err);
    if (err != 0)
      error(msg::TERRAIN_X, line);
    run.tery[loc] = realin(line, pos, pos, err);
    if (err != 0)
      error(msg::TERRAIN_Y, line);
    for (int k = 0; k < nclass; ++k) {
      run.termult[k][loc] = realin(line, pos, pos, err);
      if (err != 0)
        error(msg::TERRAIN_MULT, line);
    }
  }
  return count;
}

// Writes the multiplier grid to the plot file, one line of 326 six-character
// fields per row. Reports an open or write failure and goes on.
void write_plot(Run &run, std::string_view name) {
  OutFile &out = run.side;
  if (!out.open(name)) {
    error(msg::ERROR_OPENING_, name);
    return;
  }
  SideFileWrites writes(out, name);
  for (int r = 1; r <= NROW; ++r) {
    char *o = out.reserve(std::size_t(NCOL) * 6 + 1);
    const double *row = run.terrain.data() + cell(1, r);
    for (int c = 0; c < NCOL; ++c)
      o = fmt::f(o, row[c], 6, 3);
    *o++ = '\n';
    out.commit(o);
    writes.check();
  }
  writes.close();
}

} // namespace

// Reads the rest of the TERRAIN line (class grid file, multiplier file, plot
// file, LIMIT options), the class grid and the locations, then sets every
// cell of run.terrain: 1.0 for class 0, else the kriged multiplier of the
// cell's class clipped to the minimum first and then to the maximum (so a
// minimum above the maximum gives the maximum). A kriged value that is not a
// number takes the minimum. A multiplier file that cannot be opened leaves
// no locations. The plot file is written later (write_terrain_plot); a
// plot file name longer than a file name ends the run. An empty multiplier
// file ends the run. Does not allocate.
void readterrain(Run &run) {
  Word flagfile, multfile, plotfile, word;
  int err = 0;

  charin(flagfile, run.pline(), run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::TERRAIN_FLAG, run.pline());
  run.usedname[USE_TERCLASS] = flagfile;
  readflags<NAMELEN>(run.data, flagfile.trimmed(), run.terclass, NROW, NCOL,
                     std::span<Name>(run.ternames), run.nterclass, MAXTERCLASS);
  run.zoneshape[USE_TERCLASS] = last_zone_shape();
  const int nclass = std::clamp(run.nterclass, 0, MAXTERCLASS);

  charin(multfile, run.pline(), run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::TERRAIN_MULT_FILE, run.pline());
  run.usedname[USE_TERMULT] = multfile;
  const bool have_mult = run.data.open(multfile.trimmed());
  if (!have_mult)
    error(msg::ERROR_OPENING_, multfile.trimmed());

  const int start = run.linepos;
  charin(plotfile, run.pline(), run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::TERRAIN_PLOT, run.pline());
  else
    end_if_cut(run.pline(), start, WORDLEN);
  run.usedname[USE_TERPLOT] = plotfile;

  double lo = 0.0, hi = 1.0e100;
  while (!eol(run.pline(), run.linepos)) {
    charin(word, run.pline(), run.linepos, run.linepos, err);
    const std::string_view head = word.full().substr(0, 16);
    if (head == "LIMIT           ") {
      lo = realin(run.pline(), run.linepos, run.linepos, err);
      if (err != 0)
        error(msg::TERRAIN_LIMIT_MIN);
      hi = realin(run.pline(), run.linepos, run.linepos, err);
      if (err != 0)
        error(msg::TERRAIN_LIMIT_MAX);
      if (lo > hi)
        error(msg::TERRAIN_LIMIT_RANGE, run.pline());
    } else {
      error(msg::TERRAIN_PARAMETER, Text<16>(head).trimmed());
    }
  }

  int count = 0;
  if (have_mult) {
    std::string_view header;
    if (!run.data.next(header)) {
      run.data.close();
      error2(msg::ERROR_HEADER, multfile.trimmed());
    }
    count = read_locations(run, nclass);
    run.data.close();
  }
  const int n = std::min(count, MAXTERRAIN);
  run.nterrain = n;

  const std::span<const double> xp(run.terx), yp(run.tery);
  krigmatinv(X0, Y0, xp, yp, run.krig.amat, run.krig.ainv, n, 0);

  // The weights of a cell do not depend on its class: form them once per
  // classified cell (row by row, the cells of a row together) and apply them
  // to the class's column, summed in the order the full estimate sums them.
  const std::size_t un = std::size_t(std::max(n, 0));
  std::array<double, NCOL> xs, ys;
  std::array<int, NCOL> cols;
  for (int r = 1; r <= NROW; ++r) {
    std::size_t m = 0;
    for (int c = 1; c <= NCOL; ++c) {
      const int i = cell(c, r);
      if (run.terclass[i] == 0) {
        run.terrain[i] = 1.0;
        continue;
      }
      xs[m] = run.xc[c];
      ys[m] = run.yc[r];
      cols[m++] = c;
    }
    krigweights_many(run.krig.ainv, X0, Y0, xp, yp,
                     std::span<const double>(xs.data(), m),
                     std::span<const double>(ys.data(), m), n, 0,
                     std::span<double>(row_weights.data(), m * un));
    for (std::size_t k = 0; k < m; ++k) {
      const int i = cell(cols[k], r);
      const double *w = row_weights.data() + k * un;
      const std::array<double, MAXTERRAIN> &z =
          run.termult[run.terclass[i] - 1];
      double v = 0.0;
      for (int j = 0; j < n; ++j)
        v = v + z[std::size_t(j)] * w[j];
      if (!(v >= lo))
        v = lo;
      if (v > hi)
        v = hi;
      run.terrain[i] = v;
    }
  }

  run.terplot_due = true;
}

void write_terrain_plot(Run &run) {
  if (!run.terplot_due || run.dry)
    return;
  run.terplot_due = false;
  write_plot(run, run.usedname[USE_TERPLOT].trimmed());
}

} // namespace quon

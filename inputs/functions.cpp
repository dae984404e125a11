// functions.cpp - the recharge functions: the FUNCTION block of the parameter
// file, the splines fitted through its points, the table of every function on
// the 0.1 precipitation grid with its inspection file, and the table lookup
// that the annual evaluation makes for every cell.

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>

#include "fmt.h"
#include "inputs.h"
#include "messages.h"
#include "reporters.h"
#include "sidefile.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// Most points one spline can be fitted through.
constexpr int MAXSPLINE = 1024;

// Slope and curvature of every interval of the spline being fitted: fixed
// stores, so that fitting never allocates.
std::array<double, MAXSPLINE> slope;
std::array<double, MAXSPLINE> curv;

// The data rows of the last FUNCTION block: precipitation, and per soil the
// dryland (0) and irrigated (1) values, one function's rows contiguous so
// that it goes to spline as it is.
std::array<double, MAXFUNDATA> fprec;
std::array<std::array<std::array<double, MAXFUNDATA>, 2>, MAXSOIL> fval;

// num / width, where an interval of zero width (two data rows at the same
// precipitation, already reported as not increasing) contributes nothing:
// the division would give an infinity or NaN that would then spread through
// every later interval of a quadratic fit and into the table.
double over_width(double num, double width) {
  return width == 0.0 ? 0.0 : num / width;
}

// Fits the spline of the given type through the n points into slope and
// curv (n >= 1, n <= MAXSPLINE).
void fit(std::span<const double> x, std::span<const double> y, int n,
         int type) {
  if (type == 1) {
    for (int i = 0; i + 1 < n; ++i) {
      slope[i] = over_width(y[i + 1] - y[i], x[i + 1] - x[i]);
      curv[i] = 0.0;
    }
  } else if (n >= 2) {
    // The first interval is a straight line; every later one keeps the slope
    // continuous at its left knot and bends to end on its right point.
    slope[0] = over_width(y[1] - y[0], x[1] - x[0]);
    curv[0] = 0.0;
    for (int i = 1; i + 1 < n; ++i) {
      const double hprev = x[i] - x[i - 1];
      const double h = x[i + 1] - x[i];
      slope[i] = slope[i - 1] + 2.0 * curv[i - 1] * hprev;
      curv[i] = over_width(y[i + 1] - y[i] - slope[i] * h, h * h);
    }
  }
  slope[n - 1] = 0.0;
  curv[n - 1] = 0.0;
}

// Writes the function table file: the header line, then one line per grid
// row. Reports an open or write failure and goes on.
void write_table(Run &run, std::string_view name, int nsoil) {
  OutFile &out = run.side;
  if (!out.open(name)) {
    error(msg::ERROR_OPENING_, name);
    return;
  }
  const FunctionTable &t = run.functions;
  // Widest line: x in 6 characters and two 8-character values per soil.
  constexpr std::size_t LINEMAX = 6 + 2 * MAXSOIL * 8 + 1;
  char *o = out.reserve(LINEMAX);
  o = fmt::a(o, "Precip");
  for (int s = 1; s <= nsoil; ++s) {
    for (int f = 0; f < 2; ++f) {
      o = fmt::x(o, 1);
      o = fmt::a(o, "Soil");
      o = fmt::i(o, s, 3);
    }
  }
  *o++ = '\n';
  out.commit(o);

  SideFileWrites writes(out, name);
  for (int j = 0; j < t.rows; ++j) {
    o = out.reserve(LINEMAX);
    o = fmt::f(o, t.v[0][0][j], 6, 1);
    for (int s = 1; s <= nsoil; ++s) {
      o = fmt::f(o, t.v[s][0][j], 8, 3);
      o = fmt::f(o, t.v[s][1][j], 8, 3);
    }
    *o++ = '\n';
    out.commit(o);
    writes.check();
  }
  writes.close();
}

// Ends the run at the first table value that is not finite: data values
// near the largest double, or steep ones over a narrow interval, overflow
// the spline, and an infinity or NaN in the table would reach every cell
// that looks it up.
void check_table(const FunctionTable &t, int nsoil) {
  for (int s = 1; s <= nsoil; ++s)
    for (int f = 0; f < 2; ++f)
      for (int j = 0; j < t.rows; ++j) {
        const double v = t.v[std::size_t(s)][std::size_t(f)][std::size_t(j)];
        if (std::isfinite(v))
          continue;
        char num[16];
        const char *e = fmt::f(num, t.v[0][0][std::size_t(j)], 7, 1);
        const char *b = num;
        while (*b == ' ')
          ++b;
        char buf[64];
        char *p = fmt::a(buf, "soil ");
        p = fmt::i(p, s, 1);
        p = fmt::a(p, f == 0 ? " dryland" : " irrigated");
        p = fmt::a(p, ", precipitation ");
        p = fmt::a(p, std::string_view(b, std::size_t(e - b)));
        errorvalue(msg::FUNCTION_NOT_FINITE, {buf, std::size_t(p - buf)}, v);
      }
}

} // namespace

// Fits the spline through (x, y) and evaluates it at xout, in order. Fewer
// than two points: reported, one point gives its constant value, none gives
// 0. More than 1024 points: reported, only the first 1024 are used. A value
// outside x[0] .. x[n-1] is reported and extrapolated along the first or the
// last interval. Does not allocate.
void spline(std::span<const double> x, std::span<const double> y, int n,
            std::span<const double> xout, std::span<double> yout, int nout,
            int type) {
  if (n < 2)
    error(msg::SPLINE_ONE);
  if (n > MAXSPLINE) {
    error(msg::SPLINE_MANY);
    n = MAXSPLINE;
  }
  if (n < 1) {
    std::fill_n(yout.begin(), std::max(nout, 0), 0.0);
    return;
  }
  fit(x, y, n, type);

  const double xfirst = x[0];
  const double xlast = x[n - 1];
  for (int k = 0; k < nout; ++k) {
    const double v = xout[k];
    if (v < xfirst || v > xlast)
      error(msg::SPLINE_RANGE);
    // A value equal to an inner knot takes the interval that starts there.
    int lo = 0, hi = n - 1;
    while (hi - lo > 1) {
      const int mid = (lo + hi) / 2;
      if (v < x[mid])
        hi = mid;
      else
        lo = mid;
    }
    const double t = v - x[lo];
    yout[k] = t * slope[lo] + y[lo] + t * t * curv[lo];
  }
}

Detail describe(const CellPlace &place) {
  Detail d;
  d.cell(place.row, place.col).text(msg::AT_YEAR).integer(place.year);
  if (place.steady)
    d.text(msg::AT_STEADY);
  if (place.function >= 0)
    d.text(msg::AT_SOIL)
        .integer(place.soil)
        .text(place.function == 0 ? msg::AT_DRYLAND : msg::AT_IRRIGATED);
  return d;
}

// Linear interpolation in (xtab, ytab) of n rows at v, xtab increasing. An
// exact hit on a row bisected to returns that row's value. Ends the run
// through errordbl when n < 1 or v lies outside xtab[0] .. xtab[n-1]; a NaN
// lies outside. Does not allocate.
double binfind(double v, std::span<const double> xtab,
               std::span<const double> ytab, int n, const CellPlace *place) {
  if (n < 1 || !(v >= xtab[0]) || !(v <= xtab[n - 1])) {
    Detail where;
    if (place) {
      where = describe(*place);
      if (n >= 1)
        where.text(msg::TABLE_RANGE)
            .real(xtab[0])
            .text(msg::TO)
            .real(xtab[n - 1]);
    }
    errordbl(msg::BINFIND_RANGE, v, where.view());
  }
  int lo = 0, hi = n - 1;
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    if (xtab[mid] == v) {
      lo = hi = mid;
      break;
    }
    if (xtab[mid] > v)
      hi = mid;
    else
      lo = mid;
  }
  if (lo == hi)
    return ytab[lo];
  const double t = (v - xtab[lo]) / (xtab[hi] - xtab[lo]);
  return (1.0 - t) * ytab[lo] + t * ytab[hi];
}

// Reads the FUNCTION keyword's words (table file name, spline type) and the
// block's data lines into the parameter line, one after another, until a line
// whose first word is not a number (put back for the keyword loop) or the end
// of the parameter file. Then fills run.functions: the grid x(j) = (j-1)*0.1
// in both columns of soil 0 and the splines of every soil on it; the table
// file is written later (write_function_table), and a table file name longer
// than a file name ends the run. Rows past the 64th are reported and
// dropped; a table longer
// than 8192 rows is reported and cut there; a last precipitation value below
// 0 leaves an empty table (the run's lookups then end it); a block without
// data rows leaves one row at 0. A table value that is not finite ends the
// run (errorvalue) before the table file is written. Does not allocate.
void readfunction(Run &run) {
  const int nsoil = std::clamp(run.nsoil, 0, MAXSOIL);
  if (nsoil == 0)
    error(msg::NO_SOILS_FUNCTION);

  Word name;
  int err = 0;
  const int start = run.linepos;
  charin(name, run.pline(), run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::FUNCTION_FILE, run.pline());
  else
    end_if_cut(run.pline(), start, WORDLEN);
  run.usedname[USE_FUNTABLE] = name;
  const int type = intin(run.pline(), run.linepos, run.linepos, err);
  if (err != 0 || (type != 1 && type != 2))
    error(msg::FUNCTION_TYPE, run.pline());

  int n = 0;
  std::string_view rec;
  while (run.param.next(rec)) {
    const std::size_t len = std::min<std::size_t>(rec.size(), LINELEN);
    run.line.set(rec.substr(0, len));
    run.linelen = int(len);
    run.linepos = 1;
    if (linefix(std::span<char>(run.line.c, len)) != 0)
      continue;

    const std::string_view line = run.pline();
    int pos = 1;
    const double p = realin(line, 1, pos, err);
    if (err != 0) {
      // Not a data line: the keyword loop reads it next.
      run.param.backspace();
      break;
    }
    if (n == MAXFUNDATA) {
      error(msg::FUNCTION_TOO_MANY);
      continue;
    }
    ++n;
    fprec[n - 1] = p;
    if (n == 1 && p != 0.0)
      error(msg::FUNCTION_ZERO);
    if (n > 1 && !(p > fprec[n - 2]))
      error(msg::FUNCTION_MONOTONE);
    for (int s = 0; s < nsoil; ++s) {
      for (int f = 0; f < 2; ++f) {
        fval[s][f][n - 1] = realin(line, pos, pos, err);
        if (err != 0)
          error(msg::FUNCTION_DATA, line);
      }
    }
  }

  // The row count rests on the last precipitation value, 10*P + 1 formed in
  // double and cut toward zero, kept within the table.
  int rows = 1;
  if (n > 0) {
    const double r = std::trunc(10.0 * fprec[n - 1] + 1.0);
    if (r > MAXTABROW) {
      error(msg::FUNCTION_RANGE);
      rows = MAXTABROW;
    } else {
      rows = r < 0.0 ? 0 : int(r);
    }
  }

  FunctionTable &t = run.functions;
  t.rows = rows;
  for (int j = 0; j < rows; ++j) {
    const double x = double(j) * 0.1;
    t.v[0][0][j] = x;
    t.v[0][1][j] = x;
  }
  const std::span<const double> grid(t.v[0][0].data(), std::size_t(rows));
  const std::span<const double> prec(fprec.data(), std::size_t(n));
  for (int s = 1; s <= nsoil; ++s) {
    for (int f = 0; f < 2; ++f) {
      spline(prec, std::span<const double>(fval[s - 1][f].data(), n), n, grid,
             std::span<double>(t.v[s][f].data(), std::size_t(rows)), rows,
             type);
    }
  }

  check_table(t, nsoil);
  t.nsoil = nsoil;
  run.funtable_due = true;
}

void write_function_table(Run &run) {
  if (!run.funtable_due || run.dry)
    return;
  run.funtable_due = false;
  write_table(run, run.usedname[USE_FUNTABLE].trimmed(), run.functions.nsoil);
}

} // namespace quon

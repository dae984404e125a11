// functions.cpp - the FUNCTION block of the scenario's parameter file, and
// its check with quon's own spline.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "inputs.h"
#include "scenario.h"

namespace gen {

namespace {

constexpr std::array<double, 4> SOIL_FACTOR = {1.6, 1.0, 0.75, 0.5};

} // namespace

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

namespace {

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

} // namespace

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

} // namespace gen

// curve.cpp - the annual recharge grid: kriged precipitation at every active
// cell, looked up in the soil's dryland and irrigated recharge functions,
// blended by the irrigated share of the cell and scaled by its terrain
// multiplier; with the year's irrigated areas kept per state.

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "fmt.h"
#include "inputs.h"
#include "krige.h"
#include "messages.h"

#include "period.h"
#include "reporters.h"
#include "tables.h"

namespace quon {
namespace {

// True when the station count and drift order fit the kriging store, so the
// weights of a cell can be formed.
bool station_system_fits(const StationTable &st) {
  return st.count >= 0 && st.count <= MAXSTATION && st.drift >= 0 &&
         st.drift <= MAXDRIFT;
}

// True when prepare_kriging has formed the weights for the current station
// count (a run that never called it, or whose station set changed since,
// krigs each cell afresh).
bool weights_ready(const Run &run) {
  const std::size_t n = std::size_t(run.stations.count);
  return !run.krigcells.empty() && station_system_fits(run.stations) &&
         run.krigweights.size() == run.krigcells.size() * n;
}

// The irrigated areas of one kind for the year, from every state's file,
// added to the year's area grid and to the state's sums; masked by the mound
// where the mound takes that water.
void add_areas(Run &run, std::string_view y4, SumId id, bool masked_if_no_pump,
               bool always_masked) {
  for (int k = 0; k < NSTATE; ++k) {
    if (!readstate(run, run.readbuf, k, id, y4))
      continue; // no grid: nothing to add (the sums never hold -0.0)
    CellArray &sum = run.sums[id].slice[k + 1];
    const bool masked =
        always_masked ||
        (masked_if_no_pump && run.pumpflag[k] == 0 && run.optmound == 0);
    if (masked) {
      condadd(run.area, 1.0, run.readbuf, run.mound);
      condadd(sum, 1.0, run.readbuf, run.mound);
    } else {
      add(run.area, 1.0, run.readbuf);
      add(sum, 1.0, run.readbuf);
    }
  }
}

// The weights of the active cells of one row, place by place, before they
// are stored station by station.
std::array<double, std::size_t(NCOL) * MAXSTATION> row_weights;

// Cells whose estimates are summed together: their running sums stay in
// the first-level cache while the station weights stream past.
constexpr std::size_t ESTIMATE_BLOCK = 512;

// acc[i] = the sum over the stations j, in increasing j from 0, of
// zp[j] * w[j*m + i], for the nb cells of a block: each cell's sum is taken
// in exactly the order of the full kriging estimate, so every estimate is
// bit for bit the same. Plain IEEE multiplications and additions (never
// fused), so the wider vector version gives the same bits as the plain one.
__attribute__((target_clones("avx2", "default"))) void
estimate_block(const double *w, std::size_t m, const double *zp, std::size_t n,
               std::size_t nb, double *acc) {
  for (std::size_t i = 0; i < nb; ++i)
    acc[i] = 0.0;
  for (std::size_t j = 0; j < n; ++j) {
    const double z = zp[j];
    const double *wj = w + j * m;
    for (std::size_t i = 0; i < nb; ++i)
      acc[i] = acc[i] + z * wj[i];
  }
}

// The kriged precipitation of the year at every listed cell, into ppt.
void estimates(const Run &run, const double *zp, CellArray &ppt) {
  const std::size_t m = run.krigcells.size();
  const std::size_t n = std::size_t(run.stations.count);
  std::array<double, ESTIMATE_BLOCK> acc;
  for (std::size_t k0 = 0; k0 < m; k0 += ESTIMATE_BLOCK) {
    const std::size_t nb = std::min(ESTIMATE_BLOCK, m - k0);
    estimate_block(run.krigweights.data() + k0, m, zp, n, nb, acc.data());
    for (std::size_t i = 0; i < nb; ++i)
      ppt[std::size_t(run.krigcells[k0 + i])] = acc[i];
  }
}

} // namespace

void prepare_kriging(Run &run) {
  const StationTable &st = run.stations;
  if (!station_system_fits(st)) {
    // The run is ended before the first period for such a system; leave
    // the store empty so that nothing reads weights that were never formed.
    run.krigcells.clear();
    run.krigweights.clear();
    return;
  }
  const std::size_t n = std::size_t(st.count);
  std::size_t active = 0;
  for (const std::int32_t b : run.ibound)
    active += b > 0;
  run.krigcells.resize(active);
  run.krigweights.resize(active * n);

  // Row by row: the active cells of a row are kriged together.
  std::array<double, NCOL> xs, ys;
  std::size_t k = 0;
  for (int r = 1; r <= NROW; ++r) {
    const std::size_t first = k;
    for (int c = 1; c <= NCOL; ++c) {
      const int idx = cell(c, r);
      if (run.ibound[idx] <= 0)
        continue;
      xs[k - first] = run.xc[c];
      ys[k - first] = run.yc[r];
      run.krigcells[k++] = idx;
    }
    const std::size_t m = k - first;
    krigweights_many(run.krig.ainv, X0, Y0, st.x, st.y,
                     std::span<const double>(xs.data(), m),
                     std::span<const double>(ys.data(), m), st.count, st.drift,
                     std::span<double>(row_weights.data(), m * n));
    // Station by station: the weights of one station at every listed cell
    // are contiguous, so a year's estimates run along the cells.
    for (std::size_t j = 0; j < n; ++j)
      for (std::size_t i = 0; i < m; ++i)
        run.krigweights[j * active + first + i] = row_weights[i * n + j];
  }
}

void evalcurve(Run &run, CellArray &r, int steady, int year) {
  char y4buf[4];
  fmt::i(y4buf, year, 4);
  const std::string_view y4(y4buf, 4);

  run.area.fill(0.0);
  r.fill(0.0);
  run.frac.fill(0.0);
  run.ppt.fill(0.0);

  if (steady == 0) {
    // Groundwater-irrigated land only where the state pumps; surface-water
    // land never inside the mound; commingled land inside the mound only
    // where the state still pumps or the mound is opened to it.
    for (int k = 0; k < NSTATE; ++k) {
      if (run.pumpflag[k] == 0)
        continue;
      if (!readstate(run, run.readbuf, k, AGW, y4))
        continue;
      add(run.area, 1.0, run.readbuf);
      add(run.sums[AGW].slice[k + 1], 1.0, run.readbuf);
    }
    add_areas(run, y4, ASW, false, true);
    add_areas(run, y4, ACO, true, false);
  }

  // The precipitation table holds the years 1910 to 2150 only.
  if (year < FIRSTYEAR || year > LASTYEAR)
    endrun(steady ? msg::STEADY_SPAN : msg::TRANSIENT_SPAN, y4);

  const StationTable &st = run.stations;
  const double *zp = st.ppt[std::size_t(year - FIRSTYEAR)].data();
  const bool ready = weights_ready(run);
  std::size_t next = 0; // next listed cell of the weight store

  const FunctionTable &fn = run.functions;
  const std::span<const double> grid(fn.v[0][0]);
  if (ready)
    estimates(run, zp, run.ppt);

  CellPlace place; // named on the console if a value ends the run
  place.year = year;
  place.steady = steady != 0;
  for (int row = 1; row <= NROW; ++row)
    for (int c = 1; c <= NCOL; ++c) {
      const int idx = cell(c, row);
      if (run.ibound[idx] <= 0)
        continue;
      const int s = run.soil[idx];
      place.row = row;
      place.col = c;
      place.soil = s;

      double f = run.area[idx] * 0.0015625;
      if (f > 1.0)
        f = 1.0;
      run.frac[idx] = f;

      double p;
      if (ready && next < run.krigcells.size() && run.krigcells[next] == idx) {
        p = run.ppt[idx]; // the estimate formed above
        ++next;
      } else {
        p = evalkrige(run.krig.ainv, X0, Y0, st.x, st.y,
                      std::span<const double>(zp, MAXSTATION), run.xc[c],
                      run.yc[row], st.count, st.drift);
      }
      run.ppt[idx] = p;
      // A NaN or infinite estimate (a degenerate station system) is as
      // meaningless as a negative one.
      if (!(p >= 0.0) || !std::isfinite(p)) {
        place.function = -1;
        errordbl(msg::NEGATIVE_PPT, p, describe(place).view());
      }

      place.function = 0;
      const double d = binfind(p, grid, fn.v[s][0], fn.rows, &place);
      place.function = 1;
      const double i = binfind(p, grid, fn.v[s][1], fn.rows, &place);
      r[idx] = ((1.0 - f) * d + f * i) * run.terrain[idx];
    }
}

} // namespace quon

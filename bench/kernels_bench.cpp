// kernels_bench.cpp - micro-benchmarks of the kernels a long run spends its
// time in: writing RCH rows (and their MODFLOW 6 copies), parsing free-format
// grid rows, one year's kriged precipitation over the grid, the kriging
// inverse, the station weights of every cell and the table lookup.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fmt.h"
#include "inputs.h"
#include "krige.h"
#include "mf6.h"
#include "period.h"
#include "readreal.h"
#include "tables.h"

namespace {

using namespace quon;

std::vector<double> random_values(int n, double lo, double hi, unsigned seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<double> v(n);
  for (auto &x : v)
    x = u(g);
  return v;
}

// One (20F9.5) row of 326 values, as every RCH row is written.
void BM_FormatRow20F9_5(benchmark::State &state) {
  auto v = random_values(NCOL, 0.0, 12.0, 1);
  OutFile out;
  out.open("/dev/null");
  for (auto _ : state)
    fmt::rows(out, v, 20, 9, 5);
  state.SetItemsProcessed(state.iterations() * NCOL);
}
BENCHMARK(BM_FormatRow20F9_5);

// The same row's text copied into a MODFLOW 6 RCH file, a blank before
// every value: what MF6 adds to each row.
void BM_Mf6Row(benchmark::State &state) {
  auto v = random_values(NCOL, 0.0, 12.0, 1);
  char text[NCOL * 9 + 17];
  const std::string_view row(text, fmt::rows(text, v, 20, 9, 5) - text);
  OutFile out;
  out.open("/dev/null");
  for (auto _ : state)
    mf6_rch_row(out, row);
  state.SetItemsProcessed(state.iterations() * NCOL);
}
BENCHMARK(BM_Mf6Row);

// A whole free-format grid file of 165 rows of 326 values, read as the
// text-mode cell array files are. Argument 0: dense values of 17 significant
// digits (as a Fortran list-directed write leaves them); 1: a pumping or
// irrigated-area grid as the data sets hold them, nine cells in ten zero and
// the others with two decimals.
void BM_ParseGrid(benchmark::State &state) {
  const std::string name = "/tmp/quon-bench-grid.txt";
  {
    auto v = random_values(NCELL, 0.0, 640.0, 2);
    std::FILE *f = std::fopen(name.c_str(), "w");
    for (int r = 0; r < NROW; ++r) {
      for (int c = 0; c < NCOL; ++c) {
        const double x = v[r * NCOL + c];
        if (state.range(0) == 0)
          std::fprintf(f, " %.17g", x);
        else if (int(x * 100) % 10 != 0)
          std::fprintf(f, " 0");
        else
          std::fprintf(f, " %.2f", x);
      }
      std::fputc('\n', f);
    }
    std::fclose(f);
  }
  InFile in;
  std::vector<double> a(NCELL);
  for (auto _ : state) {
    readreal(in, name, a, NROW, NCOL, 0);
    benchmark::DoNotOptimize(a.data());
  }
  state.SetItemsProcessed(state.iterations() * NCELL);
  std::remove(name.c_str());
}
BENCHMARK(BM_ParseGrid)->Arg(0)->Arg(1);

// Stations spread over the model area.
void make_stations(Run &run, int n, int drift, unsigned seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> ux(X0 - 20000,
                                            X0 + NCOL * CELLSIZE + 20000);
  std::uniform_real_distribution<double> uy(Y0 - 20000,
                                            Y0 + NROW * CELLSIZE + 20000);
  std::uniform_real_distribution<double> up(12.0, 30.0);
  run.stations.count = n;
  run.stations.drift = drift;
  for (int i = 0; i < n; ++i) {
    run.stations.x[i] = ux(g);
    run.stations.y[i] = uy(g);
    for (auto &year : run.stations.ppt)
      year[i] = up(g);
  }
}

// The inverse of the largest kriging system: 128 stations, drift order 3.
void BM_KrigingInverse135(benchmark::State &state) {
  auto run = make_run();
  make_stations(*run, MAXSTATION, MAXDRIFT, 3);
  for (auto _ : state) {
    bool ok = krigmatinv(X0, Y0, run->stations.x, run->stations.y,
                         run->krig.amat, run->krig.ainv, MAXSTATION, MAXDRIFT);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_KrigingInverse135)->Unit(benchmark::kMillisecond);

// The station weights of every cell of a fully active grid, formed once per
// run: 53,790 cells, 128 stations, drift order 3.
void BM_PrepareKriging(benchmark::State &state) {
  auto run = make_run();
  make_stations(*run, MAXSTATION, MAXDRIFT, 6);
  krigmatinv(X0, Y0, run->stations.x, run->stations.y, run->krig.amat,
             run->krig.ainv, MAXSTATION, MAXDRIFT);
  run->ibound.fill(1);
  for (auto _ : state) {
    prepare_kriging(*run);
    benchmark::DoNotOptimize(run->krigweights.data());
  }
  state.SetItemsProcessed(state.iterations() * NCELL);
}
BENCHMARK(BM_PrepareKriging)->Unit(benchmark::kMillisecond);

// One year's precipitation estimate at every cell of the grid, from the
// weights formed once per run (steady-mode evaluation of the annual curves).
void BM_YearlyPrecipitation(benchmark::State &state) {
  auto run = make_run();
  make_stations(*run, MAXSTATION, 1, 4);
  krigmatinv(X0, Y0, run->stations.x, run->stations.y, run->krig.amat,
             run->krig.ainv, MAXSTATION, 1);
  prepare_kriging(*run);
  run->nsoil = 0;
  run->functions.rows = 1001; // 0 .. 100 inches, identity columns
  for (int j = 0; j < run->functions.rows; ++j)
    run->functions.v[0][0][j] = run->functions.v[0][1][j] = j * 0.1;
  int year = 1950;
  for (auto _ : state) {
    evalcurve(*run, run->recharge, 1, year);
    benchmark::DoNotOptimize(run->recharge.data());
  }
  state.SetItemsProcessed(state.iterations() * NCELL);
}
BENCHMARK(BM_YearlyPrecipitation)->Unit(benchmark::kMillisecond);

// One lookup in a full recharge function table.
void BM_Binfind(benchmark::State &state) {
  std::vector<double> x(MAXTABROW), y(MAXTABROW);
  for (int j = 0; j < MAXTABROW; ++j) {
    x[j] = j * 0.1;
    y[j] = 0.5 * j;
  }
  auto v = random_values(4096, 0.0, 819.0, 5);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(binfind(v[k++ & 4095], x, y, MAXTABROW));
  }
}
BENCHMARK(BM_Binfind);

} // namespace

BENCHMARK_MAIN();

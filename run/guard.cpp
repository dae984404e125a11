// guard.cpp - the checks of a run's settings before its first period:
// conditions under which the periods would be wrong (spans and tables,
// missing precipitation years, too few or coinciding stations, a year read
// as 0, a state folder that is a file) end the run; a missing state folder
// is a warning. The file clashes (clash.cpp) are checked from here.

#include "guard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "clash.h"
#include "inputguard.h"
#include "krige.h"
#include "messages.h"
#include "mf6.h"
#include "places.h"
#include "reporters.h"
#include "say.h"
#include "schedule.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// Stations far outside the grid: reported, the run goes on.
void warn_far_stations(const StationTable &st, int n) {
  const double x1 = X0 + NCOL * CELLSIZE, y1 = Y0 + NROW * CELLSIZE;
  const double far = STATIONFAR * CELLSIZE;
  for (int i = 0; i < n; ++i) {
    const double x = st.x[std::size_t(i)], y = st.y[std::size_t(i)];
    const double dx = std::max({X0 - x, 0.0, x - x1});
    const double dy = std::max({Y0 - y, 0.0, y - y1});
    if (std::hypot(dx, dy) > far) {
      Detail t;
      say(t, msg::STATION_AT, {st.name[std::size_t(i)].trimmed(), x, y});
      warn(msg::STATION_FAR, t.view());
    }
  }
}

void check_stations(Run &run, Stopper &stop) {
  const StationTable &st = run.stations;
  if (!st.given)
    return;
  const int need = 2 * std::clamp(st.drift, 0, MAXDRIFT) + 1;
  if (st.count < need) {
    Detail t;
    say(t, msg::STATIONS_TOO_FEW, {st.count, need, st.drift});
    stop.stop(msg::TOO_FEW_STATIONS, t.view());
  } else if (st.drift <= MAXDRIFT &&
             !drift_carried(st, std::min(st.count, MAXSTATION), st.drift)) {
    Detail t;
    say(t, msg::STATIONS_LAYOUT, {st.drift, st.count});
    stop.stop(msg::STATION_LAYOUT, t.view());
  }
  warn_far_stations(st, std::clamp(st.count, 0, MAXSTATION));
  const int n = std::clamp(st.count, 0, MAXSTATION);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j)
      if (st.x[std::size_t(i)] == st.x[std::size_t(j)] &&
          st.y[std::size_t(i)] == st.y[std::size_t(j)]) {
        Detail t;
        say(t, msg::TWO_NAMES,
            {st.name[std::size_t(j)].trimmed(),
             st.name[std::size_t(i)].trimmed()});
        stop.stop(msg::SAME_STATION, t.view());
      }

  // Precipitation years: only when stations were read (without stations the
  // table is never used).
  if (st.count <= 0)
    return;
  Detail t;
  int missing = 0;
  auto year = [&](int y) {
    if (y >= FIRSTYEAR && y <= LASTYEAR &&
        st.hasyear[std::size_t(y - FIRSTYEAR)])
      return;
    if (++missing <= 5)
      say(t, msg::YEAR_LISTED, {y});
  };
  if (has_steady(run) && run.steady_start <= run.steady_end)
    for (int y = run.steady_start; y <= run.steady_end && y <= LASTYEAR; ++y)
      year(y);
  if (run.trans_start >= FIRSTYEAR)
    for (int y = run.trans_start; y <= run.trans_end && y <= LASTYEAR; ++y)
      year(y);
  if (missing > 0) {
    say(t, missing == 1 ? msg::YEARS_MISSING_ONE : msg::YEARS_MISSING,
        {missing});
    Detail m;
    say(m, msg::PRECIP_NO_YEAR_LINE,
        {msg::PRECIP_FILE, run.usedname[USE_STATIONPPT].trimmed(),
         msg::PRECIP_NO_LINE});
    stop.stop(m.view(), t.view());
  }
}

void check_terrain_places(const Run &run, Stopper &stop) {
  // Classified cells with no location to krige their multipliers from.
  if (!run.usedname[USE_TERMULT].blank() && run.nterrain <= 0 &&
      run.nterclass > 0)
    stop.stop(msg::NO_TERRAIN_LOCATIONS, run.usedname[USE_TERMULT].trimmed());
  const int n = std::clamp(run.nterrain, 0, MAXTERRAIN);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j)
      if (run.terx[std::size_t(i)] == run.terx[std::size_t(j)] &&
          run.tery[std::size_t(i)] == run.tery[std::size_t(j)]) {
        Detail t;
        say(t, msg::TERRAIN_SAME_PLACE,
            {j + 1, i + 1, run.terx[std::size_t(i)], run.tery[std::size_t(i)]});
        stop.stop(msg::SAME_TERRAIN, t.view());
      }
}

// ---- Spans and tables
// ---------------------------------------------------------

void check_spans(Run &run, Stopper &stop) {
  if (!run.badyear.blank())
    stop.stop(msg::YEAR_NOT_WHOLE, run.badyear.trimmed());
  if (run.nrch_named > MAXRCH) {
    Detail t;
    stop.stop(msg::RECHARGE_TOO_MANY, t.integer(run.nrch_named).view());
  }
  if (run.append != 0 && !run.mf6base.blank())
    stop.stop(msg::MF6_APPEND, run.mf6base.trimmed());
  if (has_steady(run) &&
      (run.steady_end < run.steady_start || run.steady_start < FIRSTYEAR ||
       run.steady_end > LASTYEAR)) {
    Detail t;
    say(t, msg::TWO_NUMBERS, {run.steady_start, run.steady_end});
    stop.stop(msg::STEADY_SPAN, t.view());
  }
  if (run.trans_start <= run.trans_end &&
      (run.trans_start < FIRSTYEAR || run.trans_end > LASTYEAR)) {
    Detail t;
    say(t, msg::TWO_NUMBERS, {run.trans_start, run.trans_end});
    stop.stop(msg::TRANSIENT_SPAN, t.view());
  }
  const StationTable &st = run.stations;
  if (st.drift < 0 || st.drift > MAXDRIFT || st.count < 0 ||
      st.count > MAXSTATION || st.count + 2 * st.drift + 1 > MAXKRIG) {
    Detail t;
    stop.stop(msg::KRIG_STORE, t.integer(st.drift).view());
  }
}

// The MF6 options MODFLOW 6 would refuse: a package name PREFIX makes
// longer than it takes, a layer grid below 1 at a cell with IBOUND not 0.
void check_mf6(const Run &run, Stopper &stop) {
  if (run.mf6base.blank())
    return;
  const Mf6PackageName name = mf6_longest_name(run);
  if (name.n > std::size_t(MF6NAMELEN))
    stop.stop(msg::MF6_PREFIX_LONG, name.view());
  for (const auto &[use, grid] : {std::pair{USE_MF6_IRCH, &run.mf6irch},
                                  std::pair{USE_MF6_WELLAYER, &run.mf6layer}}) {
    const Word &file = run.usedname[std::size_t(use)];
    Detail t;
    if (!file.blank() && mf6_low_layer(run, file.trimmed(), *grid, t))
      stop.stop(msg::MF6_LAYERS_LOW, t.view());
  }
}

} // namespace

void Stopper::stop(std::string_view what, std::string_view tail) {
  if (!collect_)
    endrun(what, tail);
  ++count_;
  Detail t;
  print_line(say(t, msg::WOULD_END, {what}).view(), tail);
}

// A state folder that exists but is a file, or cannot be read: every file
// of the state would count as zeros, so the run ends naming it. A folder
// that does not exist is only reported (warn_state_folders).
void check_state_folders(const Run &run, Stopper &stop) {
  if (!has_steady(run) && run.trans_start > run.trans_end)
    return;
  for (int k = 0; k < NSTATE; ++k) {
    const std::string_view dir = state_dir(run, k);
    char c[WORDLEN + 1];
    std::memcpy(c, dir.data(), dir.size());
    c[dir.size()] = '\0';
    struct stat sb;
    if (::stat(c, &sb) != 0)
      continue;
    Detail t;
    say(t, msg::STATE_FOLDER_NAMED,
        {run.statecode[std::size_t(k)].full(), dir});
    if (!S_ISDIR(sb.st_mode))
      stop.stop(msg::STATE_FOLDER_NOT_FOLDER, t.view());
    else if (::access(c, R_OK | X_OK) != 0)
      stop.stop(msg::STATE_FOLDER_UNREADABLE, t.view());
  }
}

void check_settings(Run &run, Stopper &stop) {
  check_spans(run, stop);
  check_mf6(run, stop);
  check_state_folders(run, stop);
  check_stations(run, stop);
  check_terrain_places(run, stop);
  // Every per-state file of the span that exists is an input no output may
  // land on; from now on the readers note no more inputs.
  if (spans_runnable(run))
    for_each_state_file(run, [](int, int, std::string_view,
                                std::string_view path) { note_input(path); });
  seal_inputs();
  const int before = stop.count();
  check_files(run, stop);
  if (stop.count() == before) // a name clash of the families says it
    check_year_outputs(run, stop);
}

void warn_state_folders(Run &run) {
  if (!has_steady(run) && run.trans_start > run.trans_end)
    return;
  for (int k = 0; k < NSTATE; ++k) {
    const std::string_view dir = state_dir(run, k);
    struct stat sb;
    char c[WORDLEN + 1];
    if (!dir.empty())
      std::memcpy(c, dir.data(), dir.size());
    c[dir.size()] = '\0';
    if (::stat(c, &sb) == 0) // one that is a file ends the run
      continue;
    Detail t;
    say(t, msg::STATE_FOLDER_NAMED,
        {run.statecode[std::size_t(k)].full(), dir});
    error(msg::STATE_FOLDER, t.view());
  }
}

} // namespace quon
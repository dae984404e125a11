// schedule.h - the per-state files of a run's span: which kinds of file a
// period reads (pumped or not, annual or monthly), by state, in the order
// of the run's periods; for the guard, the clash check and the inventory.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

#include "calendar.h"
#include "file_kinds.h"
#include "tables.h"
#include "utl.h"

namespace quon {

inline bool has_steady(const Run &run) { return run.steady_start > 0; }

// The transient years, empty when the end is before the start. Years are
// compared, never subtracted, so no year word can overflow a count.
inline bool in_transient(const Run &run, int y) {
  return y >= run.trans_start && y <= run.trans_end;
}

// True when the span's years lie in the table, so that walking them reads
// a bounded number of files.
inline bool spans_runnable(const Run &run) {
  if (has_steady(run) &&
      (run.steady_end < run.steady_start || run.steady_start < FIRSTYEAR ||
       run.steady_end > LASTYEAR))
    return false;
  return run.trans_start > run.trans_end ||
         (run.trans_start >= FIRSTYEAR && run.trans_end <= LASTYEAR);
}

// The folder of a state as its file names use it.
inline std::string_view state_dir(const Run &run, int k) {
  const std::string_view d = run.statedir[std::size_t(k)].full();
  return d.substr(0, std::size_t(length(d)));
}

// Calls fn(state, kind, path) for every per-state file the span reads, in
// the order of the run's periods. The path is built in a fixed buffer.
template <class Fn> void for_each_state_file(const Run &run, Fn fn) {
  char path[WORDLEN + 32];
  auto emit = [&](int k, int kind, std::string_view part) {
    // The same cut as the run's own paths: the folder keeps WORDLEN bytes.
    const std::string_view dir = state_dir(run, k);
    std::size_t n = std::min(dir.size(), std::size_t(WORDLEN));
    if (n > 0)
      std::memcpy(path, dir.data(), n);
    path[n++] = '/';
    std::memcpy(path + n, part.data(), part.size());
    n += part.size();
    path[n++] = '.';
    std::memcpy(path + n, KIND[kind].data(), KIND[kind].size());
    n += KIND[kind].size();
    fn(k, kind, part, std::string_view(path, n));
  };
  if (has_steady(run))
    for (int k = 0; k < NSTATE; ++k)
      for (int kind = FIRST_PERIOD_KIND; kind < NKIND; ++kind)
        if (reads(run, k, kind))
          emit(k, kind, "steady");
  for (int y = run.trans_start; in_transient(run, y); ++y) {
    char y4[8];
    const std::string_view year(y4, std::size_t(year_label(y4, y) - y4));
    for (int kind = 0; kind < FIRST_PERIOD_KIND; ++kind)
      for (int k = 0; k < NSTATE; ++k)
        if (reads(run, k, kind))
          emit(k, kind, year);
    for (int m = 1; m <= 12; ++m) {
      char p[8];
      const std::string_view part(p, std::size_t(month_part(p, y, m) - p));
      for (int k = 0; k < NSTATE; ++k) {
        if (m == 1 && reads(run, k, FIRST_PERIOD_KIND))
          emit(k, FIRST_PERIOD_KIND, year);
        for (int kind = FIRST_MONTHLY_KIND; kind < NKIND; ++kind)
          if (reads(run, k, kind))
            emit(k, kind, part);
      }
    }
    if (y == run.trans_end) // the last year: never step past INT_MAX
      break;
  }
}

} // namespace quon

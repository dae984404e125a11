// summary.cpp - the end-of-run summary on standard error: the periods and
// the model files written, the reports, the per-state files counted as
// zeros.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "calendar.h"
#include "fmt.h"
#include "guard.h"
#include "messages.h"
#include "period.h"
#include "places.h"
#include "say.h"
#include "schedule.h"
#include "tables.h"
#include "reporters.h"
#include "utl.h"

namespace quon {

void print_summary(const Run &run, int status) {
  Detail t;
  if (status == 0) {
    const int periods = run.periods_done;
    say(t, periods == 1 ? msg::PERIODS_ONE : msg::PERIODS, {periods});
    t.text(run.append ? msg::SUMMARY_APPENDED : msg::SUMMARY_WRITTEN);
    for (const Writer *w : run.writers)
      w->summary(run, t);
    console_line(msg::SUMMARY_DONE, t.view());
  }
  if (report_count() > 0) {
    t.clear();
    console_line(msg::SUMMARY_REPORTS, t.integer(report_count()).view());
    console_line(msg::SUMMARY_FIRST, first_report());
  }
  // The files counted as zeros in one line, by kind and state.
  int missing = 0;
  t.clear();
  for (int kind = 0; kind < NSUMS; ++kind) {
    bool named = false;
    for (int k = 0; k < NSTATE; ++k) {
      const int n = run.missing[std::size_t(kind)][std::size_t(k)];
      if (n == 0)
        continue;
      if (!named)
        say(t, missing == 0 ? msg::MISSING_KIND_FIRST : msg::MISSING_KIND_NEXT,
            {SUMLABEL[std::size_t(kind)]});
      named = true;
      say(t, msg::MISSING_STATE, {run.statecode[std::size_t(k)].full(), n});
      missing += n;
    }
  }
  if (missing > 0) {
    Detail l;
    say(l, msg::MISSING_TOTAL, {missing, t.view()});
    console_line(msg::SUMMARY_MISSING, l.view());
  }
  if (report_count() > 0)
    console_line(msg::SUMMARY_CHECK, {});
}

} // namespace quon

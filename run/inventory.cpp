// inventory.cpp - the dry run's inventory (quon --check): the span, every
// per-state file read as the run would read it, the zone grids, the
// stations, every output of the writers and whether it can be written, and
// the reports the run would make.

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
#include "reporters.h"
#include "say.h"
#include "schedule.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// Counts of one state and kind of file, with the first few names of the
// missing and of the unreadable ones.
struct FileCount {
  static constexpr int SHOWN = 3;
  int present = 0, missing = 0, unreadable = 0;
  std::array<std::array<char, WORDLEN + 32>, SHOWN> mname, uname;
  std::array<std::size_t, SHOWN> mlen{}, ulen{};
};

void keep(std::array<std::array<char, WORDLEN + 32>, FileCount::SHOWN> &names,
          std::array<std::size_t, FileCount::SHOWN> &lens, int count,
          std::string_view path) {
  if (count > FileCount::SHOWN)
    return;
  const std::size_t n = std::min(path.size(), names[0].size());
  std::memcpy(names[std::size_t(count - 1)].data(), path.data(), n);
  lens[std::size_t(count - 1)] = n;
}

void show(
    std::string_view what,
    const std::array<std::array<char, WORDLEN + 32>, FileCount::SHOWN> &names,
    const std::array<std::size_t, FileCount::SHOWN> &lens, int count) {
  if (count == 0)
    return;
  Detail t;
  say(t, msg::FILES_SHOWN, {what});
  for (int i = 0; i < std::min(count, FileCount::SHOWN); ++i)
    say(t, msg::FILE_SHOWN,
        {std::string_view(names[std::size_t(i)].data(), lens[std::size_t(i)])});
  if (count > FileCount::SHOWN)
    say(t, msg::FILES_MORE, {count - FileCount::SHOWN});
  print_line(t.view());
}

// Lists an output and whether it can be written; one the run cannot do
// without (a model file, the report or a budget file) and cannot create
// goes to the stopper too.
void show_output(std::string_view use, int number, std::string_view name,
                 Stopper *required = nullptr) {
  name = name.substr(0, std::size_t(length0(name)));
  if (name.empty())
    return;
  Detail u, t;
  use_text(u, use, number);
  const std::string_view can = creatable(name);
  print_line(say(t, msg::OUTPUT_LINE, {u.view(), name, can}).view());
  if (required && !writable(can))
    required->stop(msg::CANNOT_OPEN, name);
}

// Lists the yearly outputs of a family (the store files, dir/year.ext, or
// the pumping tables, year.ext without a folder) over the transient years
// and whether each can be written: the first that cannot (to the stopper
// too when the run needs it), else how many exist and will be replaced.
void show_yearly(const Run &run, std::string_view use, std::string_view dir,
                 std::span<const std::string_view> exts,
                 Stopper *required = nullptr) {
  // Years outside the tables have been stopped already.
  if (run.trans_start < FIRSTYEAR || run.trans_end > LASTYEAR ||
      run.trans_start > run.trans_end || exts.empty())
    return;
  char path[WORDLEN + 32];
  const auto name = [&](int y, std::string_view ext) {
    Detail p;
    yearly_path(p, dir, y, ext);
    const std::size_t n = std::min(p.view().size(), sizeof path);
    std::memcpy(path, p.view().data(), n);
    return std::string_view(path, n);
  };
  int files = 0, exist = 0;
  for (int y = run.trans_start; y <= run.trans_end; ++y)
    for (const std::string_view ext : exts) {
      ++files;
      const std::string_view can = creatable(name(y, ext));
      if (can == msg::EXIST_REPLACED) {
        ++exist;
      } else if (can != msg::CAN_BE_CREATED) {
        show_output(use, 0, name(y, ext));
        if (required)
          required->stop(msg::CANNOT_OPEN, name(y, ext));
        return;
      }
    }
  // name() gives its text in one buffer: the first is kept before the last.
  Detail first, state, t;
  first.text(name(run.trans_start, exts[0]));
  if (exist == 0)
    state.text(msg::CAN_BE_CREATED);
  else if (exist == files)
    state.text(files == 1 ? msg::EXIST_REPLACED : msg::ALL_EXIST_REPLACED);
  else
    say(state, msg::SOME_EXIST_REPLACED, {exist, files});
  if (files > 1)
    say(t, msg::YEARLY_SPAN_LINE,
        {use, first.view(), name(run.trans_end, exts[exts.size() - 1]),
         state.view()});
  else
    say(t, msg::YEARLY_LINE, {use, first.view(), state.view()});
  print_line(t.view());
}

// The inventory's proof of the outputs: each listed with whether it can be
// written, a required one that cannot goes to the stopper too.
class ListedPlaces final : public StoppingPlaces {
public:
  ListedPlaces(const Run &run, Stopper &stop) : StoppingPlaces(run, stop) {}
  void file(const OutputName &f, bool required) override {
    show_output(f.use, f.number, f.name, required ? &stop_ : nullptr);
  }
  void yearly(const OutputFamily &f, bool required) override {
    show_yearly(run_, f.use, f.dir,
                std::span(f.exts.data(), std::size_t(f.nexts)),
                required ? &stop_ : nullptr);
  }
};

} // namespace

int inventory(Run &run, Stopper &stop) {
  Detail t;
  const bool trans = run.trans_start <= run.trans_end;
  const long long nper =
      12LL * (static_cast<long long>(run.trans_end) - run.trans_start + 1);
  if (has_steady(run) && trans)
    say(t, msg::SPAN_STEADY_TRANSIENT,
        {run.steady_start, run.steady_end, run.trans_start, run.trans_end,
         nper});
  else if (has_steady(run))
    say(t, msg::SPAN_STEADY_ONLY, {run.steady_start, run.steady_end});
  else if (trans)
    say(t, msg::SPAN_TRANSIENT_ONLY, {run.trans_start, run.trans_end, nper});
  else
    t.text(msg::SPAN_NONE);
  print_line(t.view());

  // Every per-state file the span reads, read as the run reads it.
  static std::array<std::array<FileCount, NKIND>, NSTATE> counts;
  for (auto &s : counts)
    for (FileCount &c : s)
      c = FileCount{};
  // Read even when other conditions were found: a damaged data file must
  // not hide beside them.
  if (spans_runnable(run))
    for_each_state_file(run, [&](int k, int kind, std::string_view part,
                                 std::string_view path) {
      FileCount &c = counts[std::size_t(k)][std::size_t(kind)];
      if (!file_exists(path)) {
        keep(c.mname, c.mlen, ++c.missing, path);
        return;
      }
      const int before = report_count();
      bool ok = true;
      try {
        ok = readfile(run, run.readbuf, run.statedir[std::size_t(k)].full(),
                      part, KIND[kind]);
      } catch (const RunEnd &) {
        ok = false;
        stop.stop(msg::CANNOT_READ, path);
      }
      if (ok && report_count() == before)
        ++c.present;
      else
        keep(c.uname, c.ulen, ++c.unreadable, path);
    });
  print_line(msg::STATE_FILES_HEAD);
  for (int k = 0; k < NSTATE; ++k)
    for (int kind = 0; kind < NKIND; ++kind) {
      const FileCount &c = counts[std::size_t(k)][std::size_t(kind)];
      if (c.present + c.missing + c.unreadable == 0)
        continue;
      Detail l;
      // The kinds in one column of three characters.
      Detail kindcol;
      kindcol.text(KIND[kind])
          .text(std::string_view("   ").substr(
              std::min<std::size_t>(KIND[kind].size(), 3)));
      say(l, msg::STATE_FILES_LINE,
          {run.statecode[std::size_t(k)].full(), kindcol.view(), c.present,
           c.missing, c.unreadable});
      print_line(l.view());
      show(msg::STATE_FILES_MISSING, c.mname, c.mlen, c.missing);
      show(msg::STATE_FILES_UNREADABLE, c.uname, c.ulen, c.unreadable);
    }

  print_line(msg::ZONE_GRIDS_HEAD);
  for (int u = USE_IBOUND; u <= USE_TERCLASS; ++u) {
    const std::string_view name = run.usedname[std::size_t(u)].trimmed();
    if (run.usedname[std::size_t(u)].blank())
      continue;
    const ZoneShape &z = run.zoneshape[std::size_t(u)];
    Detail l;
    if (z.short_rows == 0 && z.extra_lines == 0)
      say(l, msg::ZONE_GRID_COMPLETE, {msg::USE_NAMES[u], name});
    else
      say(l, msg::ZONE_GRID_SHAPE,
          {msg::USE_NAMES[u], name, z.short_rows, z.extra_lines});
    print_line(l.view());
  }

  const StationTable &st = run.stations;
  if (st.given) {
    Detail l;
    int first = 0, last = 0, years = 0;
    for (int y = FIRSTYEAR; y <= LASTYEAR; ++y)
      if (st.hasyear[std::size_t(y - FIRSTYEAR)]) {
        first = first ? first : y;
        last = y;
        ++years;
      }
    say(l, msg::STATIONS_LINE,
        {st.count, st.drift, 2 * std::clamp(st.drift, 0, MAXDRIFT) + 1});
    print_line(l.view());
    l.clear();
    if (years == 0)
      l.text(msg::PRECIP_NO_YEARS);
    else
      say(l, msg::PRECIP_YEARS, {years, first, last});
    print_line(l.view());
  } else {
    print_line(msg::STATIONS_NONE);
  }

  print_line(msg::OUTPUTS_HEAD);
  ListedPlaces listed(run, stop);
  for (const Writer *w : run.writers)
    w->prove(run, listed);

  // Every report the run would make, as the console had it.
  Detail r;
  say(r, msg::REPORTS_HEAD, {report_count()});
  print_line(r.view());
  for (int i = 0; i < listed_reports(); ++i)
    print_line(msg::CHECK_REPORT, listed_report(i));
  if (report_count() > listed_reports()) {
    r.clear();
    say(r, msg::REPORTS_MORE, {report_count() - listed_reports()});
    print_line(r.view());
  }
  return stop.count();
}

} // namespace quon

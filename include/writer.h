// writer.h - an output of a run as one module: the interface every writer
// implements (its files, the proof that they can be written, its hooks over
// the run) and the run's ordered list of writers.
//
// The list is built once from the settings (build_writers, run/writers.h)
// before the first period, in the order the files are listed by --check;
// nothing is allocated for it or per period (the writers are objects of
// static storage, the list an array of pointers). The driver, the guard, the
// inventory, the summary and the early end walk the list; none of them
// names an output itself. Adding an output means one new writer (a file in
// period/ or budget/) and one line in build_writers.
//
// A writer keeps its files and running state in Run (the run's one table),
// so that the writers themselves hold nothing between runs.
#pragma once

#include <array>
#include <string_view>

#include "quon.h"

namespace quon {
struct Run;
class Detail;
class WriterList;

// One file of a writer as the guard, the clash check and the inventory name
// it: its use ("RECHARGE file", with number 2: "RECHARGE file 2"; number 0
// for a single file) and its name, blank-trimmed (empty: not written).
struct OutputName {
  std::string_view use;
  int number = 0;
  std::string_view name;
};

// A writer's family of yearly files over the transient years: dir/year.ext
// for each of exts (dir empty: year.ext in the run folder).
struct OutputFamily {
  std::string_view use;
  std::string_view dir;
  std::array<std::string_view, 3> exts{};
  int nexts = 0;
};

// Where a writer's places are proven: the guard implements it twice, once
// silent for a run (the first place that cannot be written ends a run when
// the writer is required) and once printing the --check inventory.
class Places {
public:
  virtual ~Places() = default;
  // A file the writer would create or replace.
  virtual void file(const OutputName &f, bool required) = 0;
  // A family of yearly files.
  virtual void yearly(const OutputFamily &f, bool required) = 0;
  // The settings lack a file the writer cannot do without (msg names it,
  // value is the text that follows msg, if any).
  virtual void missing(std::string_view msg, std::string_view value) = 0;

protected:
  Places() = default;
  Places(const Places &) = default;
  Places &operator=(const Places &) = default;
};

// One period as the writers are given it, once its grids are in run.q.
struct PeriodInfo {
  std::string_view label; // " 1/1950", "Steady "
  int periodlen = 0;      // seconds
  double s1 = 0.0;        // inches per period to feet per second
  double s2 = 0.0;        // acre-feet per period to cubic feet per second
  // Each state's pumping this period, in acre-feet, for the writers that
  // name the state of a well: its pumping grid (null: none came) and its
  // municipal grid (null: none), of which the period takes yf, its share of
  // a year. A cell's pumping is the sum over the states of
  // 1.0 * pmp + (yf * mi + 0.0), in that order.
  std::array<const CellArray *, NSTATE> pmp{}, mi{};
  double yf = 0.0;
};

// One well line as the WEL writer formats it: its text (layer, row, column,
// rate, line end), its cell (0-based storage index), whether the cell is
// active (IBOUND not 0) and its rate in cubic feet per second.
struct WellLine {
  std::string_view text;
  int cell = 0;
  bool active = false;
  double rate = 0.0;
};

// One year (or the steady period) at its start or end.
struct YearInfo {
  std::string_view label;          // "1950", or "SS  " for the steady period
  int year = 0;                    // the year (-1 steady)
  bool steady = false;             // the steady period
  const CellArray *rech = nullptr; // the year's recharge grid
};

// The interface of an output. Every hook has a default that does nothing,
// so a writer names only what it takes part in. Hooks run in list order.
class Writer {
public:
  virtual ~Writer() = default;

  // ---- What it writes ----
  // The files it writes under the current settings (files() of them; file
  // i for 0 <= i < files()), in the order --check lists them.
  virtual int files(const Run &) const { return 0; }
  virtual OutputName file(const Run &, int) const { return {}; }
  // Its yearly family, when it has one (false: none).
  virtual bool family(const Run &, OutputFamily &) const { return false; }
  // True when the run cannot do without it: a place that cannot be
  // written ends the run before any output is emptied. Otherwise the run
  // goes on without that file and reports it when it comes to it.
  virtual bool required() const = 0;

  // ---- Before the first period ----
  // Proves every place it would write (each file and its family, a name the
  // settings lack) to places. Called for every writer of the list before
  // any output is opened for writing. Does not open anything.
  virtual void prove(const Run &run, Places &places) const;
  // Files written whole once the settings are checked (side files) or
  // opened with their headers before the kriging set-up.
  virtual void start(Run &) {}
  // The model files: opened with their headers just before the first
  // period; nper is the number of periods of the run.
  virtual void open(Run &, int /*nper*/) {}

  // ---- Each period ----
  // Called on every writer before the period's records.
  virtual void begin_period(Run &, const PeriodInfo &) {}
  // The period's records, in two passes over the list: every writer's array
  // records (RCH), then every writer's list records (WEL), so that a period
  // that ends the run on its wells (too many, a rate not finite) has its
  // arrays written. A writer that formats records others take as well hands
  // them on through list (the hooks below).
  virtual void period_arrays(Run &, const PeriodInfo &, const WriterList &) {}
  virtual void period_lists(Run &, const PeriodInfo &, const WriterList &) {}
  // Records formatted once by another writer: an RCH block k (0-based RCH
  // file) starting, each of its rows as (20F9.5) text with line ends, its
  // end; the WEL block starting, each well line, its end.
  virtual void rch_begin(Run &, int /*k*/, const PeriodInfo &) {}
  virtual void rch_row(Run &, int /*k*/, std::string_view /*text*/) {}
  virtual void rch_end(Run &, int /*k*/) {}
  virtual void wel_begin(Run &) {}
  virtual void wel_line(Run &, const PeriodInfo &, const WellLine &) {}
  virtual void wel_end(Run &, const PeriodInfo &) {}
  // After both passes: the period's records reach the files; a
  // lost write ends the run naming the file.
  virtual void end_period(Run &) {}

  // ---- Each year ----
  // A transient year whose recharge grid was just formed, before its months.
  virtual void begin_year(Run &, const YearInfo &) {}
  // After the last period of a year, or after the steady period.
  virtual void end_year(Run &, const YearInfo &) {}

  // ---- The end ----
  // After the last period of a complete run: closes its files, ending the
  // run naming one that lost a write.
  virtual void finish(Run &) {}
  // After an early end: closes its files keeping what was written.
  virtual void close_quietly(Run &) noexcept {}
  // True when its files hold periods (the record of an early end says how
  // many).
  virtual bool holds_periods(const Run &) const { return false; }
  // Its part of the end-of-run summary line ("quon.wel", ", a.rch").
  virtual void summary(const Run &, Detail &) const {}

protected:
  Writer() = default;
  Writer(const Writer &) = default;
  Writer &operator=(const Writer &) = default;
};

// Bound of the writer list.
constexpr int MAXWRITERS = 16;

// The run's writers in order. Holds pointers to writers of static storage;
// building it allocates nothing.
class WriterList {
public:
  void clear() noexcept { n_ = 0; }
  void add(Writer &w) noexcept {
    if (n_ < MAXWRITERS)
      w_[std::size_t(n_++)] = &w;
  }
  bool empty() const noexcept { return n_ == 0; }
  int size() const noexcept { return n_; }
  Writer *const *begin() const noexcept { return w_.data(); }
  Writer *const *end() const noexcept { return w_.data() + n_; }

  // The hooks of records formatted once, handed to every writer.
  void rch_begin(Run &run, int k, const PeriodInfo &p) const {
    for (Writer *w : *this)
      w->rch_begin(run, k, p);
  }
  void rch_row(Run &run, int k, std::string_view text) const {
    for (Writer *w : *this)
      w->rch_row(run, k, text);
  }
  void rch_end(Run &run, int k) const {
    for (Writer *w : *this)
      w->rch_end(run, k);
  }
  void wel_begin(Run &run) const {
    for (Writer *w : *this)
      w->wel_begin(run);
  }
  void wel_line(Run &run, const PeriodInfo &p, const WellLine &l) const {
    for (Writer *w : *this)
      w->wel_line(run, p, l);
  }
  void wel_end(Run &run, const PeriodInfo &p) const {
    for (Writer *w : *this)
      w->wel_end(run, p);
  }

private:
  std::array<Writer *, MAXWRITERS> w_{};
  int n_ = 0;
};

// Every file and the family, each required() or not.
inline void Writer::prove(const Run &run, Places &places) const {
  for (int i = 0; i < files(run); ++i)
    places.file(file(run, i), required());
  OutputFamily f;
  if (family(run, f))
    places.yearly(f, required());
}

} // namespace quon

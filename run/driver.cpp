// driver.cpp - the program's run: command line, parameter file, the checks of
// the completed settings, the station kriging set-up, the model files and the
// steady period and transient months in calendar order.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "budget.h"
#include "calendar.h"
#include "fmt.h"
#include "guard.h"
#include "inputguard.h"
#include "inputs.h"
#include "krige.h"
#include "lock.h"
#include "messages.h"
#include "period.h"
#include "progress.h"
#include "quon_commit.h"
#include "report.h"
#include "reporters.h"
#include "run.h"
#include "signals.h"
#include "tables.h"
#include "utl.h"
#include "writer_list.h"

#ifndef QUON_VERSION
#define QUON_VERSION "unknown"
#endif

namespace quon {
namespace {

constexpr std::string_view HELP =
    "Usage: quon [--check] [--strict] <parameter file>\n"
    "       quon --help | --version\n"
    "\n"
    "Prepares the recharge (RCH) and well (WEL) input of every stress period\n"
    "of the regional groundwater model and writes the annual water budget by\n"
    "state to the report file fort.2.\n"
    "\n"
    "Parameter file: one keyword per line, followed by its words; lines that\n"
    "start with # are comments; keywords may be written in any case.\n"
    "  FILE dir name1 name2 name3   store yearly precipitation, irrigated "
    "area\n"
    "                               and recharge grids as dir/year.nameN\n"
    "  DIR co ks ne                 data directories of the three states\n"
    "  APPEND                       append to the RCH and WEL files\n"
    "  RECHARGE file [f2 f3 f4]     one RCH file, or four by component\n"
    "  IRCHCB n                     RCH cell-by-cell budget unit\n"
    "  WELL file                    the WEL file\n"
    "  IWELCB n                     WEL cell-by-cell budget unit\n"
    "  ANNPUMP                      write year.csv pumping tables\n"
    "  BIN                          state grid files are unformatted\n"
    "  STEADY start end mult        steady period: mean of the years\n"
    "  TRANSIENT start end          transient years, monthly periods\n"
    "  NOPUMP state                 no pumping for CO, KS or NE\n"
    "  MOUND file                   mound zone grid\n"
    "  OPTMOUND                     commingled area counts inside the mound\n"
    "  IBOUND file                  active cell grid\n"
    "  SOIL file                    soil zone grid (before FUNCTION)\n"
    "  TERRAIN flags mults plot [LIMIT min max]  terrain multipliers\n"
    "  XFACTOR year file            irrigation recharge factors after year\n"
    "  BUDGET zones [subareas]      budget zone grid, optional sub-areas\n"
    "  BUDGETCSV file               the budget tables as one CSV table\n"
    "  STATIONS locations precip drift  precipitation stations\n"
    "  MONTH m1 .. m12              monthly shares of the year, sum 1\n"
    "  FUNCTION table type          recharge functions; data lines follow\n"
    "  MF6 base                     also write MODFLOW 6 input: base.tdis,\n"
    "                               base.wel, one RCH package per RECHARGE\n"
    "                               file (base.rch, or base-precip.rch,\n"
    "                               -gwirr, -swirr, -coirr) and\n"
    "                               base.packages (not with APPEND)\n"
    "\n"
    "\n"
    "Options:\n"
    "  --check    dry run: read the parameter file and every input the run\n"
    "             would read, with the same messages, write no file at all,\n"
    "             and print an inventory (files present, missing, unreadable;\n"
    "             zone grid shapes; precipitation years; outputs; reports)\n"
    "  --strict   every report ends the run (exit 1); reports found while\n"
    "             reading the settings are all made first\n"
    "  --help     print this text (also -h)\n"
    "  --version  print the program's version\n"
    "\n"
    "Every report (a message after which the run goes on) is also a record\n"
    "of the report file fort.2.\n"
    "\n"
    "Exit status:\n"
    "  0      the run went through (--check: it would, with no report)\n"
    "  1      the run ended early (--check: it would end early), or another\n"
    "         quon run works in the folder\n"
    "  2      no parameter file, it cannot be opened, or an unknown option\n"
    "  3      --check: the run would go through, but with reports\n"
    "  128+n  stopped by signal n\n";

// The tolerance of the month multiplier sum: 1.0E-10 held in single
// precision (1.000000013351432E-10), the value the check has always used.
constexpr double MONTH_TOLERANCE = double(1.0e-10f);

// Text of an integer, for messages.
struct IntText {
  char c[16];
  std::string_view v;
  explicit IntText(long long x) {
    auto r = std::to_chars(c, c + sizeof c, x);
    v = {c, std::size_t(r.ptr - c)};
  }
};

// After an early end with the model files open: which periods they hold,
// on the console and in fort.2, so that a shorter file is never taken for
// a finished shorter run.
void say_periods_held(const Run &run) {
  Detail t;
  if (run.periods_done == 0)
    t.text(msg::HELD_NONE);
  else
    t.text(msg::HELD_PERIODS)
        .integer(run.periods_done)
        .text(msg::HELD_OF)
        .integer(run.periods_total)
        .text(msg::HELD_INCOMPLETE);
  console_line(t.view());
  char buf[160];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(t.view());
  try {
    report_record(rec.view());
  } catch (const RunEnd &) { // fort.2 lost: the console has said it
  }
}

// Closes every file after an early end, keeping what was written.
void close_quietly(Run &run) noexcept {
  run.param.close();
  run.data.close();
  run.side.close();
  for (Writer *w : run.writers)
    w->close_quietly(run);
}

// Writes one record of the list-directed report file.
void warn_cell(std::string_view what, int r, int c, const double *value) {
  char buf[160];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg::WARNING).text(what).integer(r).integer(c);
  if (value)
    rec.real(*value);
  warning_record(rec.view());
}

// Reports settings that are missing or inconsistent; the run goes on.
void post_read_checks(Run &run) {
  if (run.nsoil == 0)
    error(msg::NO_SOILS);
  if (run.functions.rows == 0)
    error(msg::NO_CURVE);
  double sum = 0.0;
  for (double m : run.month)
    sum += m;
  if (std::fabs(sum - 1.0) > MONTH_TOLERANCE)
    error(msg::MONTH_SUM);
  // Every cell the model simulates (constant heads included) needs a positive
  // terrain multiplier and a soil.
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c) {
      const int i = cell(c, r);
      if (run.ibound[i] == 0)
        continue;
      if (run.terrain[i] <= 0.0)
        warn_cell(msg::TERRAIN_MULT_ERROR, r, c, &run.terrain[i]);
      if (run.soil[i] == 0)
        warn_cell(msg::MISSING_SOIL, r, c, nullptr);
    }
  }
}

// The steady period: the mean recharge grid of the steady years, one period
// and one budget row.
void steady_period(Run &run, Progress &progress) {
  CellArray &s = run.steadyrecharge;
  s.fill(0.0);
  for (int y = run.steady_start; y <= run.steady_end; ++y) {
    run.year = y;
    evalcurve(run, run.recharge, 1, y);
    for (int i = 0; i < NCELL; ++i)
      s[i] += run.recharge[i];
  }
  const double factor = 1.0 / double(run.steady_end - run.steady_start + 1);
  for (double &v : s)
    v *= factor;
  run.periodlen = 31557600;
  period(run, s, "Steady ", "steady", "steady", -1, run.periodlen,
         run.steady_mult);
  run.periods_done = 1;
  progress.update(0, 0, 1);
  check_stop(run);
  YearInfo info;
  info.label = "SS  ";
  info.year = -1;
  info.steady = true;
  info.rech = &s;
  for (Writer *w : run.writers)
    w->end_year(run, info);
}

// One transient year: the year's recharge grid, twelve monthly periods, the
// budget rows and the annual pumping table.
void transient_year(Run &run, int y, Progress &progress, int &done) {
  for (StateSums &s : run.sums)
    s.clear();
  run.year = y;
  evalcurve(run, run.recharge, 0, y);

  char ylabel[8];
  const std::string_view year(ylabel, year_label(ylabel, y) - ylabel);
  YearInfo info;
  info.label = year;
  info.year = y;
  info.rech = &run.recharge;
  for (Writer *w : run.writers)
    w->begin_year(run, info);

  for (int m = 1; m <= 12; ++m) {
    run.periodlen = month_seconds(y, m);
    char part[8], label[8];
    const std::string_view vpart(part, month_part(part, y, m) - part);
    const std::string_view vlabel(label, month_label(label, y, m) - label);
    period(run, run.recharge, vlabel, vpart, year, y, run.periodlen,
           run.month[m - 1]);
    run.periods_done = done + 1;
    progress.update(y, m, ++done);
    check_stop(run);
  }

  for (Writer *w : run.writers)
    w->end_year(run, info);
}

// Reads the parameter file line by line; each line is cut at LINELEN and
// blank-padded before its keyword is handled. Reports about a line give its
// number on the console.
void read_parameters(Run &run) {
  const ReportPlace at(run.param);
  std::string_view rec;
  while (run.param.next(rec)) {
    const std::size_t n = std::min<std::size_t>(rec.size(), LINELEN);
    run.line.set(rec.substr(0, n));
    run.linelen = int(n);
    run.linepos = 1;
    handle_line(run);
  }
  run.param.close();
}

// Exit statuses of the program.
constexpr int DONE = 0;          // the run went through (--check: would, clean)
constexpr int ENDED = 1;         // the run ended early (--check: would)
constexpr int NO_RUN = 2;        // nothing to run: command line, parameter file
constexpr int CHECK_REPORTS = 3; // --check: would go through, with reports

// What the command line asks for.
struct Options {
  bool strict = false, check = false, help = false, version = false;
  const char *param = nullptr;   // the parameter file
  int files = 0;                 // words that are not options
  const char *unknown = nullptr; // the first word that is no known option
};

// Options are known words starting with "-"; every other such word is an
// unknown option (a file whose name starts with "-" is given as ./-name).
Options parse_options(int argc, char **argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--strict")
      o.strict = true;
    else if (a == "--check")
      o.check = true;
    else if (a == "--help" || a == "-h")
      o.help = true;
    else if (a == "--version")
      o.version = true;
    else if (a.size() > 1 && a[0] == '-')
      o.unknown = o.unknown ? o.unknown : argv[i];
    else if (++o.files == 1)
      o.param = argv[i];
  }
  return o;
}

// Why a file cannot be opened for reading, as the system tells it.
std::string_view open_failure(const char *name) {
  struct stat sb;
  if (::stat(name, &sb) != 0) {
    if (errno == ENOENT)
      return msg::OPEN_NO_FILE;
    if (errno == ENOTDIR)
      return msg::OPEN_PATH;
    return errno == EACCES ? msg::OPEN_NO_PERMISSION : std::strerror(errno);
  }
  if (S_ISDIR(sb.st_mode))
    return msg::OPEN_FOLDER;
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return std::strerror(EIO);
  }
  return errno == EACCES ? msg::OPEN_NO_PERMISSION : std::strerror(errno);
}

// The record that ends a strict run whose settings made reports: their
// count and the first of them.
[[noreturn]] void end_strict_settings() {
  Detail t;
  t.integer(report_count());
  t.text(report_count() == 1 ? " (" : " (the first: ");
  t.text(first_report()).text(")");
  endrun(msg::STRICT_SETTINGS, t.view());
}

// One line on standard output.
void console_out(std::string_view s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fputc('\n', stdout);
}

// The dry run's result line and exit status.
int check_result(const Run &run, int ends) {
  Detail t;
  if (ends > 0) {
    t.text(msg::CHECK_END_EARLY).integer(ends);
    t.text(ends == 1 ? " condition" : " conditions")
        .text(msg::CHECK_CONDITIONS);
    console_out(t.view());
    return ENDED;
  }
  if (report_count() > 0 && run.strict) {
    console_out(msg::CHECK_STRICT);
    return ENDED;
  }
  if (report_count() > 0) {
    t.text(msg::CHECK_REPORTS).integer(report_count());
    t.text(report_count() == 1 ? " report" : " reports")
        .text(msg::CHECK_LISTED);
    console_out(t.view());
    return CHECK_REPORTS;
  }
  console_out(msg::CHECK_CLEAN);
  return DONE;
}

// Runs the parameter file.
int run_program(Run &run, const Options &opt) {
  if (opt.param == nullptr) {
    console_line(msg::USAGE);
    return NO_RUN;
  }
  // fort.2 keeps its records until the settings are checked: it may be a
  // file the run reads, and an earlier run's report must not be emptied by
  // a run that ends before it has one of its own.
  hold_report();
  // One run at a time in a folder: a second would write the same outputs.
  if (!opt.check && !lock_folder()) {
    console_line(msg::RUN_LOCKED);
    close_report(); // the other run's fort.2 is not this run's to write
    return ENDED;
  }
  if (!run.param.open(opt.param)) {
    if (opt.files > 1)
      console_line(msg::USAGE);
    Detail t;
    t.text(" ").text(opt.param).text(": ").text(open_failure(opt.param));
    console_line(msg::OPEN_PARAM, t.view());
    return NO_RUN;
  }
  run.dry = opt.check;
  run.strict = opt.strict;
  run.usedname[USE_PARAM].set(opt.param);
  // More than one file named: the first is run, and that is a report.
  if (opt.files > 1)
    error(msg::USAGE);
  read_parameters(run);
  check_stop(run);
  post_read_checks(run);
  if (!run.dry)
    warn_state_folders(run);
  if (run.strict && report_count() > 0)
    end_strict_settings();
  if (run.strict && !run.dry)
    end_on_report(true);

  Stopper stop(run.dry);
  if (run.dry)
    std::printf("quon --check %s\n", opt.param);
  build_writers(run);
  check_settings(run, stop);
  // Every output's place before any output is emptied: fort.2 first of all.
  if (!run.dry)
    prove_places(run, stop);

  StationTable &st = run.stations;
  if (stop.count() == 0)
    krigmatinv(X0, Y0, st.x, st.y, run.krig.amat, run.krig.ainv, st.count,
               st.drift);
  if (run.dry) {
    warn_state_folders(run);
    return check_result(run, inventory(run, stop));
  }
  // The settings are checked: the report and the side files they name
  // replace the earlier run's now.
  if (!release_report())
    throw RunEnd{ENDED};
  for (Writer *w : run.writers)
    w->start(run);
  prepare_kriging(run);
  check_stop(run);

  const bool steady = run.steady_start > 0;
  const int years =
      run.trans_end < run.trans_start
          ? 0
          : int(std::min<long long>(static_cast<long long>(run.trans_end) -
                                        run.trans_start + 1,
                                    NYEARS));
  run.periods_total = (steady ? 1 : 0) + 12 * years;
  for (Writer *w : run.writers)
    w->open(run, run.periods_total);
  Progress progress(run.periods_total);
  int done = steady ? 1 : 0;
  if (steady)
    steady_period(run, progress);
  for (int y = run.trans_start; y <= run.trans_end; ++y) {
    transient_year(run, y, progress, done);
    if (y == run.trans_end)
      break;
  }
  progress.finish();
  for (Writer *w : run.writers)
    w->finish(run);
  return DONE;
}

} // namespace

// The program: quon [--check] [--strict] <parameter file>. --help / -h and
// --version (the version and the commit built from) print on standard output
// and return 0; an unknown option is named with the usage line and returns 2.
// Otherwise runs the parameter file and returns 0 when the run is complete,
// 1 when it ended early (the cause has been reported) or another run works
// in the folder, 2 when there is no parameter file to run, under --check 3
// when the run would go through with reports, and 128 + the signal when
// SIGTERM, SIGINT or SIGHUP stopped it. Every file is closed (and its
// buffered records written) before it returns, also after an early end.
int quon_main(int argc, char **argv) {
  const Options opt = parse_options(argc, argv);
  if (opt.help) {
    std::fwrite(HELP.data(), 1, HELP.size(), stdout);
    std::fflush(stdout);
    return DONE;
  }
  if (opt.version) {
    std::fputs("quon " QUON_VERSION " (commit " QUON_COMMIT ")\n", stdout);
    std::fflush(stdout);
    return DONE;
  }
  if (opt.unknown) {
    console_line(msg::UNKNOWN_OPTION, opt.unknown);
    console_line(msg::USAGE);
    return NO_RUN;
  }

  std::unique_ptr<Run> run = make_run();
  reset_reports();
  set_report_dry(opt.check);
  guard_files();
  int status = DONE;
  {
    SignalCatch signals(!opt.check);
    try {
      status = run_program(*run, opt);
    } catch (const RunEnd &e) {
      status = e.status;
    }
  }
  // A run that ended while the settings were read: its records go to
  // fort.2 now, unless fort.2 is one of its inputs.
  const bool ended =
      status != DONE && status != NO_RUN && status != CHECK_REPORTS;
  if (ended) {
    try {
      release_report();
    } catch (const RunEnd &) {
    }
  }
  if (ended)
    for (Writer *w : run->writers)
      if (w->holds_periods(*run)) {
        say_periods_held(*run);
        break;
      }
  close_quietly(*run);
  close_report();
  unguard_files();
  release_folder();
  set_report_dry(false);
  if (status != NO_RUN && !opt.check)
    print_summary(*run, status);
  std::fflush(stdout);
  return status;
}

} // namespace quon

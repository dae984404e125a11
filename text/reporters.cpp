// reporters.cpp - the reporters: the messages of a run on standard error and
// in the report file fort.2, their count, and the ending reporters.

#include "reporters.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "fmt.h"
#include "messages.h"
#include "utl.h"

namespace quon {

namespace {

// Longest text of a record: a message or name longer than a parameter line
// is cut (no caller comes near it).
constexpr std::size_t RECMAX = 2 * LINELEN + 128;

// The text trimmed as `length` counts it: at least one character.
std::string_view trimmed1(std::string_view s) {
  const std::size_t n = std::size_t(length0(s));
  if (n == 0)
    return " ";
  return s.substr(0, std::min(n, std::size_t(LINELEN)));
}

void (*before_console)() = nullptr;

void console(std::string_view a, std::string_view b = {},
             std::string_view c = {}) {
  if (before_console)
    before_console();
  for (const std::string_view t : {a, b, c})
    if (!t.empty())
      std::fwrite(t.data(), 1, t.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// The file whose current line the reports are about, if any.
const InFile *place = nullptr;

// " (name line n)" of the current place, or nothing.
void place_text(Detail &t) {
  if (place == nullptr || !place->is_open() || place->line() <= 0)
    return;
  t.text(" (").text(place->name()).text(msg::PLACE_LINE);
  t.integer(place->line()).text(")");
}

// Writes the record to the report file and its text (and the detail, if
// any) to the console, then ends the run.
[[noreturn]] void end_with(const fmt::ListRecord &rec,
                           std::string_view detail = {}) {
  const std::string_view v = rec.view();
  // The console first: it keeps the message even when the report file
  // cannot.
  Detail where;
  place_text(where);
  console(v.substr(v.empty() || v[0] != ' ' ? 0 : 1), where.view());
  if (!detail.empty())
    console("  ", detail);
  report_record(v);
  throw RunEnd{1};
}

// What the run has reported so far without ending, for the summary at its
// end and for strict runs, which refuse to go on past a report.
struct Tally {
  int reports = 0;  // error() calls and warning records
  int warnings = 0; // warning records written to the report file
  char first[RECMAX];
  std::size_t firstlen = 0;
  // The console texts of the first reports, for the dry run's list.
  std::array<std::array<char, LISTEDLEN>, MAXLISTED> listed;
  std::array<std::size_t, MAXLISTED> listedlen{};
  bool end_on_report = false;
};
Tally tally;

// Copies a + b + c into dst (of cap characters), cut at its end; returns
// the length.
std::size_t join(char *dst, std::size_t cap, std::string_view a,
                 std::string_view b, std::string_view c = {}) {
  std::size_t n = 0;
  for (const std::string_view t : {a, b, c}) {
    const std::size_t k = std::min(t.size(), cap - n);
    if (k > 0)
      std::memcpy(dst + n, t.data(), k);
    n += k;
  }
  return n;
}

// Counts one report and keeps the text of the first (as the report file
// has it) and the console text of the first few (with the place).
void note_report(std::string_view a, std::string_view b,
                 std::string_view where) {
  const int i = tally.reports++;
  if (i < MAXLISTED)
    tally.listedlen[std::size_t(i)] =
        join(tally.listed[std::size_t(i)].data(), LISTEDLEN, a, b, where);
  if (i == 0)
    tally.firstlen = join(tally.first, RECMAX, a, b);
}

// A strict run ends at a report made after its settings were accepted: a
// last record names the report (already written above it) as the reason.
void strict_end(std::string_view a, std::string_view b) {
  if (!tally.end_on_report)
    return;
  console(msg::STRICT_END, a, b);
  char buf[RECMAX];
  fmt::ListRecord why(buf, sizeof buf);
  why.text(msg::STRICT_END).text(a).text(b);
  report_record(why.view());
  throw RunEnd{1};
}

} // namespace

void set_before_console(void (*fn)()) noexcept { before_console = fn; }

void console_line(std::string_view a, std::string_view b) { console(a, b); }
Detail &Detail::text(std::string_view s) noexcept {
  const std::size_t k = std::min(s.size(), sizeof buf_ - n_);
  if (k > 0)
    std::memcpy(buf_ + n_, s.data(), k);
  n_ += k;
  return *this;
}

Detail &Detail::integer(std::int64_t v) noexcept {
  char t[24];
  const auto r = std::to_chars(t, t + sizeof t, v);
  return text({t, std::size_t(r.ptr - t)});
}

Detail &Detail::real(double v) noexcept {
  char t[32];
  const auto r = std::to_chars(t, t + sizeof t, v);
  return text({t, r.ec == std::errc() ? std::size_t(r.ptr - t) : 0});
}

Detail &Detail::cell(int row, int col) noexcept {
  return text(msg::AT_ROW).integer(row).text(msg::AT_COLUMN).integer(col);
}

ReportPlace::ReportPlace(const InFile &f) noexcept : before_(place) {
  place = &f;
}
ReportPlace::~ReportPlace() { place = before_; }

void error(std::string_view msg, std::string_view tail) {
  tail = tail.substr(0, std::size_t(length0(tail)));
  Detail where;
  place_text(where);
  console(msg, tail, where.view());
  note_report(msg, tail, where.view());
  // The report file keeps every report, so that a run that went on past
  // one cannot be read as a clean run from its files alone.
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg).text(tail);
  report_record(rec.view());
  strict_end(msg, tail);
}

void warning_record(std::string_view rec) {
  report_record(rec);
  ++tally.warnings;
  const std::string_view text =
      rec.substr(rec.empty() || rec[0] != ' ' ? 0 : 1);
  note_report(text, {}, {});
  strict_end(text, {});
}

void warn(std::string_view msg, std::string_view tail) {
  tail = tail.substr(0, std::size_t(length0(tail)));
  console(msg, tail);
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg::WARNING).text(msg).text(tail);
  warning_record(rec.view());
}

void error2(std::string_view msg, std::string_view name,
            std::string_view detail) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(trimmed1(msg)).text(" ").text(trimmed1(name));
  end_with(rec, detail);
}

void errorint(std::string_view msg, std::int64_t value) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(trimmed1(msg)).text(" ").integer(value);
  end_with(rec);
}

void errordbl(std::string_view msg, double value, std::string_view detail) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(trimmed1(msg)).text(" ").real(value);
  end_with(rec, detail);
}

void errorvalue(std::string_view msg, std::string_view place, double value) {
  char num[32];
  fmt::ListRecord rec(num, sizeof num);
  rec.real(value);
  std::string_view v = rec.view();
  while (!v.empty() && v.back() == ' ')
    v.remove_suffix(1);
  while (!v.empty() && v.front() == ' ')
    v.remove_prefix(1);
  char buf[WORDLEN + 128];
  char *p = fmt::a(buf, place.substr(0, WORDLEN + 64));
  p = fmt::a(p, ", value ");
  p = fmt::a(p, v);
  error2(msg, {buf, std::size_t(p - buf)});
}

void errorcell(std::string_view msg, std::string_view file,
               std::string_view period, int row, int col, double value) {
  char buf[WORDLEN + 64];
  char *p = fmt::a(buf, file.substr(0, WORDLEN));
  p = fmt::a(p, ", period ");
  p = fmt::a(p, period.substr(0, 16));
  p = fmt::a(p, ", row ");
  p = fmt::i(p, row, 3);
  p = fmt::a(p, ", column ");
  p = fmt::i(p, col, 3);
  errorvalue(msg, {buf, std::size_t(p - buf)}, value);
}

void endrun(std::string_view msg, std::string_view tail) {
  char buf[RECMAX];
  fmt::ListRecord rec(buf, sizeof buf);
  rec.text(msg).text(tail.substr(0, std::size_t(length0(tail))));
  end_with(rec);
}

void endrecord(std::string_view rec) {
  const std::string_view v = rec.substr(rec.empty() || rec[0] != ' ' ? 0 : 1);
  console(v);
  report_record(rec);
  throw RunEnd{1};
}

int report_count() noexcept { return tally.reports; }
int warning_count() noexcept { return tally.warnings; }
std::string_view first_report() noexcept {
  return {tally.first, tally.firstlen};
}
int listed_reports() noexcept { return std::min(tally.reports, MAXLISTED); }
std::string_view listed_report(int i) noexcept {
  if (i < 0 || i >= listed_reports())
    return {};
  return {tally.listed[std::size_t(i)].data(), tally.listedlen[std::size_t(i)]};
}
void end_on_report(bool on) noexcept { tally.end_on_report = on; }
void reset_reports() noexcept {
  tally = Tally{};
  place = nullptr;
}

// ---- The report file -------------------------------------------------------

namespace {

// The report file is the Fortran runtime's file of channel 2.
constexpr std::string_view REPORT_NAME = "fort.2";

OutFile &report_file() {
  static OutFile f(std::size_t(1) << 16);
  return f;
}

// A dry run (quon --check) writes no report file.
bool dry_report = false;

// Where records go instead of the file while they are diverted.
ReportSink sink = nullptr;

// A write to fort.2 failed: the run has ended saying so, and a later record
// must not open (and empty) it again; the console has every record.
bool lost = false;
// fort.2 is being opened: when the run's guard ends the run on it, the
// record of that end cannot go to fort.2 (it would open it again, without
// end).
bool opening = false;

[[noreturn]] void report_lost(const char *what) {
  std::fputs(what, stderr);
  throw RunEnd{1};
}

// Opens fort.2 when it is not open yet, writes text and, with newline, a
// line end, and flushes. The report file holds the budget table and the
// records of every early end: a run that cannot keep them must not end as
// if it had.
void put_report(std::string_view text, bool newline) {
  if (lost)
    return;
  OutFile &f = report_file();
  if (!f.is_open()) {
    if (opening)
      throw RunEnd{1};
    opening = true;
    bool opened = false;
    try {
      opened = f.open(REPORT_NAME);
    } catch (...) {
      opening = false;
      throw;
    }
    opening = false;
    if (!opened)
      report_lost("Cannot open file fort.2\n");
  }
  f.write(text);
  if (newline)
    f.endl();
  if (!f.flush()) {
    f.close();
    lost = true;
    report_lost("Cannot write to file fort.2\n");
  }
}

} // namespace

void report_record(std::string_view rec) {
  if (dry_report)
    return;
  if (sink) {
    sink(rec);
    return;
  }
  put_report(rec, true);
}

void write_report(std::string_view records) {
  if (!dry_report)
    put_report(records, false);
}

void divert_reports(ReportSink fn) noexcept { sink = fn; }
ReportSink diverted_reports() noexcept { return sink; }

void set_report_dry(bool dry) noexcept { dry_report = dry; }
bool report_dry() noexcept { return dry_report; }

void close_report() {
  sink = nullptr;
  lost = false;
  report_file().close();
}

} // namespace quon

// reporters.h - the reporters of the utility unit utl: messages on standard
// error and records in the report file fort.2, the run's count of its
// reports, and the ending reporters that stop the run (RunEnd).
#pragma once

#include <cstdint>
#include <string_view>

#include "files.h"
#include "quon.h"

namespace quon {

// The error report: writes msg followed directly by tail (trimmed) as one
// line on standard error, with the place of the report after it when one is
// set (see ReportPlace), the same text without the place as one record on
// the report file, and counts it as one of the run's reports; the run goes
// on, unless end_on_report(true) is in force: then a last record saying so
// and naming the report is written and the run ends (RunEnd, status 1).
void error(std::string_view msg, std::string_view tail = {});

// A warning of the report file: writes the record, counts it as a report
// and as a warning record, and ends the run as error() does when
// end_on_report(true) is in force.
void warning_record(std::string_view rec);

// While one lives, the console lines of error() end with the file and line
// number of the record this file's next() returned last, as
// " (quon.par line 12)" (nothing while the file is closed or before its
// first record); the one made before is in force again when it goes. For
// the parameter file and the data files read line by line.
class ReportPlace {
public:
  explicit ReportPlace(const InFile &f) noexcept;
  ~ReportPlace();
  ReportPlace(const ReportPlace &) = delete;
  ReportPlace &operator=(const ReportPlace &) = delete;

private:
  const InFile *before_;
};

// A warning that counts as a report: msg followed directly by tail on
// standard error, and the record "WARNING: " msg tail in the report file;
// ends the run as error() does when end_on_report(true) is in force.
void warn(std::string_view msg, std::string_view tail);

// Ending reporters: write one list-directed record to the report file (the
// message trimmed, a blank, then the name trimmed / the integer / the real),
// write the same text on standard error (with the place of the report after
// it, as error() gives it), and end the run (throw RunEnd with status 1).
// A detail, when given, says where or why on standard error only:
// a line of its own after the message, indented by two blanks; the report
// file keeps the record as it is.
[[noreturn]] void error2(std::string_view msg, std::string_view name,
                         std::string_view detail = {});
[[noreturn]] void errorint(std::string_view msg, std::int64_t value);
[[noreturn]] void errordbl(std::string_view msg, double value,
                           std::string_view detail = {});

// Builds the detail line or tail of a message in its own fixed buffer:
// texts as they are, numbers in their shortest form that reads back the same
// value. Text past the buffer's end is dropped. Never allocates.
class Detail {
public:
  Detail &text(std::string_view s) noexcept;
  Detail &integer(std::int64_t v) noexcept;
  Detail &real(double v) noexcept;
  // "at row r, column c".
  Detail &cell(int row, int col) noexcept;
  std::string_view view() const noexcept { return {buf_, n_}; }
  void clear() noexcept { n_ = 0; }

private:
  char buf_[4 * WORDLEN];
  std::size_t n_ = 0;
};

// Writes a + b as one line on standard error, not counted as a report (the
// summary at the end of a run).
void console_line(std::string_view a, std::string_view b = {});

// Ending reporter of a value that cannot be written to an output file (not
// finite, or too wide for its field): error2 with the text place + ", value "
// + the value as a list-directed real, trimmed. errorcell names the place as
// "file, period P, row r, column c" (row and column right-justified in 3).
[[noreturn]] void errorvalue(std::string_view msg, std::string_view place,
                             double value);
[[noreturn]] void errorcell(std::string_view msg, std::string_view file,
                            std::string_view period, int row, int col,
                            double value);

// Installs a function called before every console message (or none with
// nullptr); the progress line uses it to clear itself first.
void set_before_console(void (*fn)()) noexcept;

// Ends the run for a fault found beyond the checks above: msg followed
// directly by tail (trimmed) as one record on the report file and one line
// on standard error, then RunEnd with status 1.
[[noreturn]] void endrun(std::string_view msg, std::string_view tail = {});

// Ends the run with a record already formed: its text on standard error,
// the record on the report file, then RunEnd with status 1.
[[noreturn]] void endrecord(std::string_view rec);

// The run's reports so far (error() calls and warning records), the text of
// the first one as the report file has it, and how many of them were
// warning records.
int report_count() noexcept;
std::string_view first_report() noexcept;
int warning_count() noexcept;
// The console texts of the first reports (with their places), kept for the
// dry run's list: listed_reports() of them (at most MAXLISTED), each cut
// at LISTEDLEN characters.
inline constexpr int MAXLISTED = 20;
inline constexpr std::size_t LISTEDLEN = 512;
int listed_reports() noexcept;
std::string_view listed_report(int i) noexcept;
// From now on every report ends the run (strict runs, once their settings
// have been read).
void end_on_report(bool on) noexcept;
// Forgets every report, switches end_on_report off and the place of the
// reports; for a new run in the same process.
void reset_reports() noexcept;

// ---- The report file -------------------------------------------------------
// "fort.2" in the working directory. Each call writes one whole record and
// flushes it, so the report survives an early end; the run ends (RunEnd,
// "Cannot open file fort.2" or "Cannot write to file fort.2" on standard
// error) when the report cannot be kept. While the records are diverted
// (see divert_reports) they go to the diverting function instead.
void report_record(std::string_view rec);
// Writes records already ended by their line ends (several at once) to
// fort.2, creating or emptying it first when it is not open yet; ends the
// run as report_record does. Not diverted.
void write_report(std::string_view records);
// Sends every record report_record() is given to fn from now on (nullptr:
// to the file again); the run's hold of fort.2 uses it. close_report() ends
// a diversion.
using ReportSink = void (*)(std::string_view rec);
void divert_reports(ReportSink fn) noexcept;
ReportSink diverted_reports() noexcept;
// Ends any diversion, flushes and closes the report file if it was created;
// for main() and tests.
void close_report();
// With dry set, report_record() and write_report() write nothing (quon
// --check writes no file at all).
void set_report_dry(bool dry) noexcept;
bool report_dry() noexcept;

} // namespace quon

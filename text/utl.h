// utl.h - line scanning, word and number readers, the real-array reader and
// the error reporters.
//
// A line is a view of its characters; the readers treat every position past
// its end as blank. Positions are 1-based, as in the parameter file's
// description: a reader starts at `start`, skips blanks, reads one word and
// leaves `pos` on the first position after it. The error flag is 0 on
// success, -1 when no word is left (or no valid word can be taken), and a
// positive conversion status when a word is not a valid number.
//
// None of the scanners allocates.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "quon.h"

namespace quon {
class InFile;
struct Run;

// Conversion status of a bad number (the runtime's "Bad value").
inline constexpr int BADVALUE = 5010;
// Conversion status of an integer that does not fit 32 bits.
inline constexpr int OVERFLOWED = 5011;

// Turns every control character (below code 32, tabs and carriage returns
// included, and 127) into a blank; bytes from 128 up stay, so UTF-8 names
// keep their letters. Returns 1 for a comment line (first character "#"),
// -1 for a line of blanks only, else 0.
int linefix(std::span<char> line) noexcept;

// Position of the last non-blank character; 0 (length0) or 1 (length) when
// there is none.
int length0(std::string_view text) noexcept;
int length(std::string_view text) noexcept;

// Letters a..z become A..Z; every other character stays.
void uppercase(std::span<char> text) noexcept;

// Skips blanks from pos; true when nothing but blanks is left. pos is left on
// the next non-blank character (or past the end).
bool eol(std::string_view line, int &pos) noexcept;

// The next word: up to the next blank, or between double quotes (which may
// hold blanks). An unclosed quote gives err -1 and pos past the end.
void charin(Word &word, std::string_view line, int start, int &pos,
            int &err) noexcept;

// The next word as an integer field of width 32: blanks ignored, optional
// sign, digits. Returns 0 with err -1 at the end of the line and 0 with err
// BADVALUE or OVERFLOWED for a bad word.
int intin(std::string_view line, int start, int &pos, int &err) noexcept;

// The next word as a real field of width 32 with no implied decimals:
// sign, digits with or without a point, exponent with E, D or Q, or a sign
// alone starting the exponent (1.5+2). Returns 0.0 with err -1 at the end of
// the line and 0.0 with err BADVALUE for a bad word. A word without any
// digit, NaN, an infinity and an overflow (1e400) are bad words.
double realin(std::string_view line, int start, int &pos, int &err) noexcept;

// Converts one word (already cut out) as intin / realin do; returns the
// status (0 or positive) and sets value only on success.
int convert_int(std::string_view word, int &value) noexcept;
int convert_real(std::string_view word, double &value) noexcept;

// Reads a state code (co, ks or ne, any case) from the run's parameter line
// at its line position; returns 1..3, or 0 with err -1.
int instate(Run &run, int &err) noexcept;

// Reads `rows` rows of `cols` reals from a free-format text file into a
// (row i at a[(i-1)*cols]), each row starting on a new record, after
// skipping `nheader` records. Values are separated by blanks, commas or line
// ends; repeat counts (3*1.5), null values and a slash ending a row are read
// as the runtime's list-directed input reads them; an empty item or the
// items after a slash keep the value a held before. Every failure ends the
// run through error2: "Error opening file", "Error reading file header",
// "Error reading file", followed by the file name (and on the console the
// row). An array smaller than rows * cols ends the run (endrun) before
// anything is read. Values left on the last line of a row, or after the
// last row, are reported once (warn) with the file, the row and the count:
// a header line or a decimal comma shifts every later value.
void readreal(InFile &in, std::string_view file, std::span<double> a, int rows,
              int cols, int nheader);

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

// Ends the run (endrun, msg::OUTPUT_NAME_TOO_LONG and the line) when the
// word charin takes from start is longer than keep characters: cut, an
// output's name would name another file. Quotes do not count.
void end_if_cut(std::string_view line, int start, int keep);

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

} // namespace quon

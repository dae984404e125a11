// stations.cpp - reads the weather stations of the precipitation kriging:
// their names and map coordinates from the location file, and their yearly
// precipitation from the precipitation file, as named on the STATIONS line
// of the parameter file.

#include <array>

#include "inputs.h"
#include "messages.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// One data line, cleaned of control characters, in a fixed buffer: records
// longer than a line are cut to LINELEN characters.
struct DataLine {
  std::array<char, LINELEN> c;
  int n = 0; // characters of the record kept

  std::string_view view() const { return {c.data(), std::size_t(n)}; }
  // The line up to its last non-blank character, for the reports.
  std::string_view shown() const { return view().substr(0, length0(view())); }
};

enum class LineKind { data, skip, end };

// Takes the next record of the open data file into line and tells what it
// is: a comment or blank line to skip, the "END" line that closes the data
// (upper case from the first character, nothing but blanks after it), or a
// data line. False at the end of the file.
bool next_line(InFile &in, DataLine &line, LineKind &kind) {
  std::string_view rec;
  if (!in.next(rec))
    return false;
  line.n = int(std::min<std::size_t>(rec.size(), LINELEN));
  std::memcpy(line.c.data(), rec.data(), std::size_t(line.n));
  if (linefix(std::span<char>(line.c.data(), std::size_t(line.n))) != 0) {
    kind = LineKind::skip;
    return true;
  }
  kind = line.shown() == "END" ? LineKind::end : LineKind::data;
  return true;
}

// Reads the header record of an open data file into line (cleaned). A file
// that is empty has no header; nothing sensible can be read from it and the
// run ends.
void read_header(InFile &in, std::string_view file, DataLine &line) {
  std::string_view rec;
  if (!in.next(rec)) {
    in.close();
    error2(msg::ERROR_HEADER, file);
  }
  line.n = int(std::min<std::size_t>(rec.size(), LINELEN));
  std::memcpy(line.c.data(), rec.data(), std::size_t(line.n));
  linefix(std::span<char>(line.c.data(), std::size_t(line.n)));
}

// The location file: one station a line, its name, X and Y. Stations past
// MAXSTATION are reported and dropped; the count stays at MAXSTATION.
void read_locations(InFile &in, std::string_view file, StationTable &st) {
  const ReportPlace at(in); // reports name the file's line
  DataLine line;
  read_header(in, file, line);
  LineKind kind;
  Word word;
  while (next_line(in, line, kind) && kind != LineKind::end) {
    if (kind == LineKind::skip)
      continue;
    if (st.count >= MAXSTATION) {
      error(msg::TOO_MANY_STATIONS);
      continue;
    }
    const int i = st.count++;
    const std::string_view text = line.view();
    int pos = 1, err = 0;
    charin(word, text, 1, pos, err);
    if (err != 0)
      error(msg::STATION_NAME, line.shown());
    st.name[i].set(word.trimmed());
    st.x[i] = realin(text, pos, pos, err);
    if (err != 0)
      error(msg::STATION_X, line.shown());
    st.y[i] = realin(text, pos, pos, err);
    if (err != 0)
      error(msg::STATION_Y, line.shown());
  }
}

// The header of the precipitation file must name the stations in the order
// of the location file; it is only checked. The first word is a label.
void check_precip_header(InFile &in, std::string_view file,
                         const StationTable &st) {
  const ReportPlace at(in);
  DataLine line;
  read_header(in, file, line);
  const std::string_view text = line.view();
  Word word;
  int pos = 1, err = 0;
  charin(word, text, pos, pos, err);
  for (int i = 0; i < st.count; ++i) {
    charin(word, text, pos, pos, err);
    // Names compare as blank-padded texts: a word longer than a name
    // differs from it even when its first characters agree.
    if (word.trimmed() != st.name[i].trimmed())
      error(msg::PRECIP_ORDER, word.trimmed());
  }
}

// The precipitation data: a year, then one value per station. Years outside
// the table are skipped without a report; a later line for a year
// overwrites an earlier one and is reported with both line numbers.
void read_precip(InFile &in, std::string_view file, StationTable &st) {
  const ReportPlace at(in);
  DataLine line;
  LineKind kind;
  std::array<std::int64_t, NYEARS> lineof{}; // the data line of each year
  while (next_line(in, line, kind) && kind != LineKind::end) {
    if (kind == LineKind::skip)
      continue;
    const std::string_view text = line.view();
    int pos = 1, err = 0;
    const int year = intin(text, 1, pos, err);
    if (err != 0)
      error(msg::PRECIP_YEAR, line.shown());
    if (year < FIRSTYEAR || year > LASTYEAR)
      continue;
    const std::int64_t number = in.line();
    std::int64_t &first = lineof[std::size_t(year - FIRSTYEAR)];
    if (first > 0) {
      Detail t;
      t.text(file).text(", year ").integer(year).text(" on lines ");
      warn(msg::PRECIP_YEAR_TWICE,
           t.integer(first).text(" and ").integer(number).view());
    }
    first = number;
    st.hasyear[std::size_t(year - FIRSTYEAR)] = true;
    auto &ppt = st.ppt[std::size_t(year - FIRSTYEAR)];
    for (int i = 0; i < st.count; ++i) {
      ppt[i] = realin(text, pos, pos, err);
      // A negative amount of rain is no measurement: report it like a word
      // that is not a number.
      if (err != 0 || ppt[i] < 0.0)
        error(msg::PRECIP_DATA, line.shown());
    }
  }
}

} // namespace

// STATIONS location-file precipitation-file drift-order. Reads the three
// words from the parameter line at run.linepos (advancing it), then both
// files on run.data. Every fault is reported with error() and reading goes
// on; a file that cannot be opened reads as an empty file (no stations, or
// no precipitation: the stations' table entries are then all 0). A file that
// exists but holds not even its header line ends the run ("Error reading
// file header" and the file name). The drift order is stored as read, also
// when it is reported as invalid. Does not allocate.
void readstation(Run &run) {
  StationTable &st = run.stations;
  const std::string_view pline = run.pline();
  Word locfile, pptfile;
  int err = 0;

  charin(locfile, pline, run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::STATION_LOC_NAME, pline);
  run.usedname[USE_STATIONLOC] = locfile;
  const bool have_loc = run.data.open(locfile.full());
  if (!have_loc)
    error(msg::ERROR_OPENING_, locfile.trimmed());

  charin(pptfile, pline, run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::STATION_PPT_NAME, pline);
  run.usedname[USE_STATIONPPT] = pptfile;
  st.drift = intin(pline, run.linepos, run.linepos, err);
  if (err != 0 || st.drift < 0 || st.drift > MAXDRIFT)
    error(msg::STATION_DRIFT, pline);

  st.count = 0;
  st.given = true;
  st.hasyear.fill(false);
  if (have_loc) {
    read_locations(run.data, locfile.trimmed(), st);
    run.data.close();
  }

  const bool have_ppt = run.data.open(pptfile.full());
  if (!have_ppt)
    error(msg::ERROR_OPENING_, pptfile.trimmed());
  if (have_ppt)
    check_precip_header(run.data, pptfile.trimmed(), st);

  for (auto &year : st.ppt)
    std::fill(year.begin(), year.begin() + st.count, 0.0);

  if (have_ppt) {
    read_precip(run.data, pptfile.trimmed(), st);
    run.data.close();
  }
}

} // namespace quon

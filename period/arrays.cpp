// arrays.cpp - the per-state cell array files: reading one grid of a state
// and period, storing a yearly grid, and the two whole-grid accumulations the
// callers sum those grids with.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fmt.h"
#include "messages.h"
#include "period.h"
#include "readreal.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

static_assert(std::endian::native == std::endian::little,
              "unformatted cell array files are little-endian");

// Length word of the one record of an unformatted cell array file: the
// record holds the 53,790 doubles of the grid and nothing else.
constexpr std::int32_t RECLEN = NCELL * std::int32_t(sizeof(double));

// A file name built into a fixed buffer long enough for the longest folder
// word and the longest part and label: pieces joined with nothing between
// them. The name proper ends at its last non-blank character.
struct Path {
  char buf[PATHLEN];
  int n = 0;

  void put(std::string_view s) {
    const int k = std::min<int>(int(s.size()), PATHLEN - n);
    std::memcpy(buf + n, s.data(), std::size_t(k));
    n += k;
  }
  std::string_view name() const {
    int k = n;
    while (k > 0 && buf[k - 1] == ' ')
      --k;
    return {buf, std::size_t(k)};
  }
};

// The directory as the paths use it: up to its last non-blank character,
// one blank when it is all blank (or empty, so a path never starts at the
// root by accident).
std::string_view dirpart(std::string_view dir) {
  if (dir.empty())
    return " ";
  return dir.substr(0, std::size_t(length(dir)));
}

// Reads the first record of the open unformatted file into a, as the
// Fortran runtime reads one grid: the record may be longer than a grid (the
// rest is skipped) and its trailing length word may be missing (the runtime
// never looks at it), but a present trailing word must match the leading
// one. Returns an empty detail when a holds a whole grid of finite values,
// else why not.
Detail record_fault(InFile &in, CellArray &a) {
  std::int32_t head = 0, tail = 0;
  const std::size_t got = in.read_raw(&head, sizeof head);
  if (got == 0)
    return Detail().text(msg::BIN_EMPTY);
  if (got < sizeof head)
    return Detail().text(msg::BIN_HEAD_CUT);
  if (head < RECLEN)
    return Detail().text(msg::BIN_SHORT).integer(head).text(msg::BYTES);
  const std::size_t extra = std::size_t(head - RECLEN);
  if (in.read_raw(a.data(), std::size_t(RECLEN)) != std::size_t(RECLEN) ||
      in.skip_raw(extra) != extra)
    return Detail().text(msg::BIN_CUT).integer(head).text(msg::BYTES);
  const std::size_t t = in.read_raw(&tail, sizeof tail);
  if (t != 0 && (t != sizeof tail || tail != head))
    return Detail().text(msg::BIN_TAIL);
  // A NaN or an infinity in an area or a volume is a damaged file, not data:
  // let it through and it spreads into every sum and every model file.
  const auto bad = std::find_if_not(a.begin(), a.end(),
                                    [](double v) { return std::isfinite(v); });
  if (bad == a.end())
    return Detail();
  const int i = int(bad - a.begin());
  return Detail().text(msg::BIN_NOT_FINITE).cell(i / NCOL + 1, i % NCOL + 1);
}

// Reads the one grid of an unformatted file into a. A file that cannot be
// opened or read as a whole grid of finite values ends the run, as a text
// grid file that cannot be read does.
void read_unformatted(Run &run, CellArray &a, std::string_view path) {
  if (!run.data.open(path))
    error2(msg::CANNOT_OPEN, path);
  const Detail why = record_fault(run.data, a);
  run.data.close();
  if (!why.view().empty())
    error2(msg::CANNOT_READ, path, why.view());
}

// Writes the scaled grid as one unformatted record with its length words.
void write_unformatted(OutFile &f, const CellArray &a, double factor) {
  constexpr int CHUNK = 1024; // values per reserve, well within the buffer
  const std::string_view marker(reinterpret_cast<const char *>(&RECLEN),
                                sizeof RECLEN);
  f.write(marker);
  for (int i = 0; i < NCELL; i += CHUNK) {
    const int k = std::min(CHUNK, NCELL - i);
    char *p = f.reserve(std::size_t(k) * sizeof(double));
    for (int j = 0; j < k; ++j) {
      const double v = factor * a[std::size_t(i + j)];
      std::memcpy(p + std::size_t(j) * sizeof v, &v, sizeof v);
    }
    f.commit(p + std::size_t(k) * sizeof(double));
  }
  f.write(marker);
}

} // namespace

namespace {

// readfile, but a missing file leaves a as it was when keep_if_missing.
bool read_cells(Run &run, CellArray &a, std::string_view dir,
                std::string_view part, std::string_view label,
                bool keep_if_missing) {
  Path p;
  p.put(dirpart(dir));
  p.put("/");
  p.put(part);
  p.put(".");
  p.put(label);
  const std::string_view path = p.name();

  // A state that has no file for a quantity and period simply has none of
  // it there.
  if (!file_exists(path)) {
    if (!keep_if_missing)
      a.fill(0.0);
    return false;
  }
  if (run.binmode)
    read_unformatted(run, a, path);
  else
    readreal(run.data, path, a, NROW, NCOL, 0);
  // No cell holds such an amount: values of the other byte order or a
  // damaged file, which would fill the tables with asterisks.
  const auto huge = std::find_if(
      a.begin(), a.end(), [](double v) { return std::fabs(v) > MAXCELLVALUE; });
  if (huge != a.end()) {
    const int i = int(huge - a.begin());
    Detail t;
    t.cell(i / NCOL + 1, i % NCOL + 1).text(", value ").real(*huge);
    error2(msg::CELL_VALUE_TOO_LARGE, path, t.view());
  }
  return true;
}

} // namespace

bool readfile(Run &run, CellArray &a, std::string_view dir,
              std::string_view part, std::string_view label) {
  return read_cells(run, a, dir, part, label, false);
}

bool readstate(Run &run, CellArray &a, int state, SumId kind,
               std::string_view part) {
  // Callers skip a grid that is not there, so it is not zeroed: most of a
  // run's per-state files are missing.
  const bool found = read_cells(run, a, run.statedir[std::size_t(state)].full(),
                                part, SUMLABEL[kind], true);
  if (!found)
    ++run.missing[kind][std::size_t(state)];
  return found;
}

void storemonth(Run &run, const CellArray &a, double factor, int year,
                std::string_view dir, std::string_view name) {
  // An all-zero grid carries nothing worth a file; an older file of the same
  // name stays as it is.
  if (std::none_of(a.begin(), a.end(),
                   [factor](double v) { return factor * v != 0.0; }))
    return;

  Path p;
  p.put(dirpart(dir));
  p.put("/");
  char y[4];
  fmt::i(y, year, 4);
  p.put({y, 4});
  p.put(".");
  p.put(name);
  const std::string_view path = p.name();

  OutFile &f = run.side;
  if (!f.open(path)) {
    error(msg::CANNOT_OPEN, path);
    return;
  }
  if (run.binmode) {
    write_unformatted(f, a, factor);
  } else {
    // One list-directed record per grid row: a blank and a 25-character
    // field per value, 17 significant digits, so every value reads back as
    // the same double.
    constexpr std::size_t RECMAX = std::size_t(NCOL) * 26;
    for (int r = 1; r <= NROW && !f.failed(); ++r) {
      char *out = f.reserve(RECMAX + 1);
      fmt::ListRecord rec(out, RECMAX);
      const double *row = a.data() + cell(1, r);
      for (int c = 0; c < NCOL; ++c)
        rec.real(factor * row[c]);
      char *end = out + rec.view().size();
      *end++ = '\n';
      f.commit(end);
    }
  }
  // A store file that silently lost its end would be taken for a complete
  // grid by whoever reads it next.
  if (!f.close())
    endrun(msg::CANNOT_WRITE_TO, path);
}

void add(std::span<double> target, double factor,
         std::span<const double> source) noexcept {
  const std::size_t n = std::min(target.size(), source.size());
  double *t = target.data();
  const double *s = source.data();
  for (std::size_t i = 0; i < n; ++i)
    t[i] = factor * s[i] + t[i];
}

void condadd(std::span<double> target, double factor,
             std::span<const double> source,
             std::span<const std::int32_t> mask) noexcept {
  const std::size_t n = std::min({target.size(), source.size(), mask.size()});
  double *t = target.data();
  const double *s = source.data();
  const std::int32_t *m = mask.data();
  for (std::size_t i = 0; i < n; ++i)
    if (m[i] == 0)
      t[i] = factor * s[i] + t[i];
}

} // namespace quon

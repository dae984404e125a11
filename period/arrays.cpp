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
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

static_assert(std::endian::native == std::endian::little,
              "unformatted cell array files are little-endian");

// Length word of the one record of an unformatted cell array file: the
// record holds the 53,790 doubles of the grid and nothing else.
constexpr std::int32_t RECLEN = NCELL * std::int32_t(sizeof(double));

// A file name built into a fixed 256-character buffer, as the data paths are
// formed: pieces joined with nothing between them, cut at the buffer's end.
// The name proper ends at its last non-blank character.
struct Path {
  char buf[WORDLEN];
  int n = 0;

  void put(std::string_view s) {
    const int k = std::min<int>(int(s.size()), WORDLEN - n);
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

// Reads the one record of an unformatted grid file into a. False when the
// file cannot be opened (reported here) or the record is not exactly one
// grid of finite values framed by matching length words.
bool read_unformatted(Run &run, CellArray &a, std::string_view path) {
  if (!run.data.open(path)) {
    error(msg::CANNOT_OPEN, path);
    return false;
  }
  std::int32_t head = 0, tail = 0;
  bool ok = run.data.read_raw(&head, sizeof head) && head == RECLEN &&
            run.data.read_raw(a.data(), std::size_t(RECLEN)) &&
            run.data.read_raw(&tail, sizeof tail) && tail == RECLEN;
  // A NaN or an infinity in an area or a volume is a damaged file, not data:
  // let it through and it spreads into every sum and every model file.
  if (ok)
    ok = std::all_of(a.begin(), a.end(),
                     [](double v) { return std::isfinite(v); });
  run.data.close();
  if (!ok)
    error(msg::CANNOT_READ, path);
  return ok;
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

// Counts a missing file of a state's folder for the summary at the end of
// the run (files of other folders are not the states' data).
void count_missing(Run &run, std::string_view dir, std::string_view part,
                   std::string_view label) {
  for (int k = 0; k < NSTATE; ++k) {
    if (dir != run.statedir[std::size_t(k)].full())
      continue;
    if (label == "mi") {
      // Looked for every month of its year: count it once.
      const Text<8> key(part);
      if (run.micounted[std::size_t(k)] == key)
        return;
      run.micounted[std::size_t(k)] = key;
    }
    for (std::size_t kind = 0; kind < STATEKINDS.size(); ++kind)
      if (label == STATEKINDS[kind])
        ++run.missingfiles[kind][std::size_t(k)];
    return;
  }
}

} // namespace

bool readfile(Run &run, CellArray &a, std::string_view dir,
              std::string_view part, std::string_view label) {
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
    count_missing(run, dir, part, label);
    a.fill(0.0);
    return false;
  }
  if (run.binmode) {
    // Whatever a failed read left behind must not be summed as if it were
    // this file's data, nor the previous file's grid as if it were this one.
    if (read_unformatted(run, a, path))
      return true;
    a.fill(0.0);
    return false;
  }
  readreal(run.data, path, a, NROW, NCOL, 0);
  return true;
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

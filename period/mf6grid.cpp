// mf6grid.cpp - the cell grids of the MODFLOW 6 files: the layer grids of
// the MF6 options IRCH and WELLAYER, and each state's share of a cell's
// pumping, which names the state of every well line.

#include <string_view>

#include "messages.h"
#include "mf6.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// Ends the run naming the grid file and the cell: "msg file, at row r,
// column c" and the word when there is one.
[[noreturn]] void bad_layer(std::string_view msg, std::string_view file, int n,
                            std::string_view word = {}) {
  Detail t;
  t.text(file).text(", ").cell(n / NCOL + 1, n % NCOL + 1);
  if (!word.empty())
    t.text(": ").text(word);
  endrun(msg, t.view());
}

bool separator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

} // namespace

void mf6_read_layers(Run &run, std::string_view file, ZoneGrid &grid) {
  InFile &in = run.data;
  if (!in.open(file))
    error2(msg::ERROR_OPENING, file);
  std::string_view rec;
  int n = 0; // values read, row by row
  while (in.next(rec)) {
    std::size_t i = 0;
    while (true) {
      while (i < rec.size() && separator(rec[i]))
        ++i;
      if (i == rec.size())
        break;
      const std::size_t a = i;
      while (i < rec.size() && !separator(rec[i]))
        ++i;
      const std::string_view word = rec.substr(a, i - a);
      if (n == NCELL) {
        in.close();
        endrun(msg::MF6_LAYERS_LONG, file);
      }
      int v = 0;
      if (convert_int(word, v) != 0) {
        in.close();
        bad_layer(msg::MF6_LAYERS_WORD, file, n, word);
      }
      grid[std::size_t(n++)] = v;
    }
  }
  in.close();
  if (n < NCELL)
    bad_layer(msg::MF6_LAYERS_SHORT, file, n);
}

void mf6_check_layers(const Run &run) {
  const std::array<std::pair<const Word *, const ZoneGrid *>, 2> grids{
      {{&run.mf6opt.irch, &run.mf6irch},
       {&run.mf6opt.wellayer, &run.mf6layer}}};
  for (const auto &[name, grid] : grids) {
    if (name->blank())
      continue;
    for (int i = 0; i < NCELL; ++i)
      if (run.ibound[std::size_t(i)] != 0 && (*grid)[std::size_t(i)] < 1) {
        Detail v;
        v.integer((*grid)[std::size_t(i)]);
        bad_layer(msg::MF6_LAYERS_LOW, name->trimmed(), i, v.view());
      }
  }
}

void mf6_state_pumping(Run &run, int k, bool mi, double yf, bool pmp) {
  run.mf6mi[std::size_t(k)] = mi;
  run.mf6pmp[std::size_t(k)] = pmp;
  run.mf6yf = yf;
}

double mf6_state_rate(const Run &run, int k, int i) {
  // The same operations, in the same order, as the period's pumping sum, so
  // that a cell pumped by one state alone has its rate to the last bit.
  const std::size_t s = std::size_t(k);
  const double mi = run.mf6mi[s] ? run.mf6yf * run.migrid[s][i] + 0.0 : 0.0;
  return run.mf6pmp[s] ? 1.0 * run.mf6pump[s][i] + mi : mi;
}

} // namespace quon

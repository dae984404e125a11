// mf6grid.cpp - the layer grids of the MF6 options IRCH and WELLAYER: read
// when the MF6 line is, checked against IBOUND with the other settings.

#include <string_view>

#include "files.h"
#include "messages.h"
#include "mf6.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// The grid file and the cell: "file, at row r, column c" and the word
// when there is one.
void layer_place(Detail &t, std::string_view file, int n,
                 std::string_view word = {}) {
  t.text(file).text(", ").cell(n / NCOL + 1, n % NCOL + 1);
  if (!word.empty())
    t.text(": ").text(word);
}

// Ends the run naming the grid file and the cell.
[[noreturn]] void bad_layer(std::string_view msg, std::string_view file, int n,
                            std::string_view word = {}) {
  Detail t;
  layer_place(t, file, n, word);
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

bool mf6_low_layer(const Run &run, std::string_view file, const ZoneGrid &grid,
                   Detail &t) {
  for (int i = 0; i < NCELL; ++i)
    if (run.ibound[std::size_t(i)] != 0 && grid[std::size_t(i)] < 1) {
      Detail v;
      v.integer(grid[std::size_t(i)]);
      layer_place(t, file, i, v.view());
      return true;
    }
  return false;
}

} // namespace quon

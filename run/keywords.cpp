// keywords.cpp - the parameter file's keyword lines: cleaning a line, finding
// its keyword and storing what the keyword's words say in the run's tables
// (or handing the rest of the line to the reader the keyword names).

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "budget.h"
#include "inputs.h"
#include "messages.h"
#include "mf6.h"
#include "readreal.h"
#include "reporters.h"
#include "run.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

using Handler = void (*)(Run &, std::string_view);

// Reads the next word of the line at the line position. The word is all
// blank when there is none; returns false then.
bool next_word(Run &run, std::string_view line, Word &w) {
  int err = 0;
  charin(w, line, run.linepos, run.linepos, err);
  return err == 0;
}

// Store names keep only their first 16 characters.
Name first16(const Word &w) { return Name(w.full().substr(0, NAMELEN)); }

// Reads a folder word: kept whole, as every file of a state or of the store
// lies below it. A word longer than a file name ends the run: cut, it would
// name another folder, and every file looked for there would count as zeros.
bool next_folder(Run &run, std::string_view line, Word &w) {
  int start = run.linepos;
  eol(line, start); // the word's first character
  const bool ok = next_word(run, line, w);
  const bool quoted = ok && line[std::size_t(start) - 1] == '"';
  if (ok && run.linepos - start - (quoted ? 2 : 0) > WORDLEN)
    endrun(msg::FOLDER_TOO_LONG, line);
  return ok;
}

// Reads the name of an output: a name longer than the keep characters the
// run holds ends the run, since cut it would name another file.
bool next_output(Run &run, std::string_view line, Word &w, int keep) {
  const int start = run.linepos;
  const bool ok = next_word(run, line, w);
  if (ok)
    end_if_cut(line, start, keep);
  return ok;
}

void kw_file(Run &run, std::string_view line) {
  Word w;
  if (!next_folder(run, line, run.storedir))
    error(msg::FILE_DIRECTORY);
  for (int i = 1; i <= 3; ++i) {
    const bool ok = next_output(run, line, w, NAMELEN);
    run.storenames[i - 1] = first16(w);
    if (!ok)
      errorint(msg::FILE_EXTENTION, i);
  }
  run.nstore = 3;
}

void kw_dir(Run &run, std::string_view line) {
  for (int i = 0; i < NSTATE; ++i)
    if (!next_folder(run, line, run.statedir[i]))
      error(msg::DIR_READ, line);
}

void kw_append(Run &run, std::string_view) { run.append = 1; }

// Every remaining word is counted; only the first four have a place in the
// name table and are kept. The checks refuse a count above four before any
// model file is opened, so the extra names are never needed.
void kw_recharge(Run &run, std::string_view line) {
  int count = 0;
  Word w;
  while (!eol(line, run.linepos)) {
    ++count;
    const bool ok = next_output(run, line, w, WORDLEN);
    if (count <= MAXRCH)
      run.rchnames[count - 1] = w;
    if (!ok)
      error(msg::RECHARGE_READ, line);
  }
  if (count != 1 && count != 4)
    error(msg::RECHARGE_COUNT, line);
  run.nrch_named = count;
  run.nrch = std::min(count, MAXRCH);
}

void kw_irchcb(Run &run, std::string_view line) {
  int err = 0;
  run.irchcb = intin(line, run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::IRCHCB_BAD);
}

void kw_well(Run &run, std::string_view line) {
  if (!next_output(run, line, run.wellname, WORDLEN))
    error(msg::WELL_READ, line);
}

void kw_iwelcb(Run &run, std::string_view line) {
  int err = 0;
  run.iwelcb = intin(line, run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::IWELCB_BAD);
}

// The options after the MF6 base, any order, each at most once: DAYS,
// PREFIX p, IRCH file, WELLAYER file. A word that is none of them, one given
// twice or one without its value ends the run: without it the files would
// be in other units, names or layers than asked. A layer grid is read at
// once; it is checked against IBOUND once every setting is read.
void read_mf6_options(Run &run, std::string_view line) {
  Mf6Options &o = run.mf6opt;
  o = Mf6Options{};
  run.mf6irch.fill(1);
  run.mf6layer.fill(1);
  struct Option {
    std::string_view word;
    Word *value; // the word after it (none for DAYS)
  };
  Word &irch = run.usedname[USE_MF6_IRCH];
  Word &wellayer = run.usedname[USE_MF6_WELLAYER];
  irch.clear();
  wellayer.clear();
  const std::array<Option, 4> options{{{"DAYS", nullptr},
                                       {"PREFIX", &o.prefix},
                                       {"IRCH", &irch},
                                       {"WELLAYER", &wellayer}}};
  std::array<bool, options.size()> seen{};
  Word w;
  while (!eol(line, run.linepos)) {
    next_word(run, line, w);
    Word key = w;
    uppercase(std::span<char>(key.c, WORDLEN));
    std::size_t k = 0;
    while (k < options.size() && options[k].word != key.trimmed())
      ++k;
    if (k == options.size())
      endrun(msg::MF6_OPTION_UNKNOWN, w.trimmed());
    if (seen[k])
      endrun(msg::MF6_OPTION_TWICE, options[k].word);
    seen[k] = true;
    if (options[k].value == nullptr) {
      o.days = true;
      continue;
    }
    if (!next_output(run, line, *options[k].value, WORDLEN) ||
        options[k].value->blank())
      endrun(msg::MF6_OPTION_VALUE, options[k].word);
  }
  if (!irch.blank())
    mf6_read_layers(run, irch.trimmed(), run.mf6irch);
  if (!wellayer.blank())
    mf6_read_layers(run, wellayer.trimmed(), run.mf6layer);
}

// The MODFLOW 6 files' names start with the base word; a base that ends in
// a slash would name hidden files (".tdis") and is refused, one longer than
// a file name ends the run as a cut WELL name does.
void kw_mf6(Run &run, std::string_view line) {
  Word w;
  if (!next_output(run, line, w, WORDLEN) || w.blank() ||
      w.trimmed().back() == '/') {
    error(msg::MF6_READ, line);
    return;
  }
  run.mf6base = w;
  read_mf6_options(run, line);
}

void kw_annpump(Run &run, std::string_view) { run.annpump = 1; }
void kw_bin(Run &run, std::string_view) { run.binmode = 1; }

// Messages of one span keyword (STEADY or TRANSIENT).
struct SpanMessages {
  std::string_view keyword, start, end, period, start_range, end_range;
};

// Reads a start and an end year and checks them; the values are stored as
// read whatever the checks say (the driver decides later whether the span can
// be run).
void read_span(Run &run, std::string_view line, int &start, int &end,
               const SpanMessages &m) {
  int err = 0;
  // A year that is not a whole number is read as 0: reported here, and the
  // run is ended before its first period rather than run with year 0.
  start = intin(line, run.linepos, run.linepos, err);
  if (err != 0) {
    error(m.start);
    run.badyear.set(m.keyword);
  }
  end = intin(line, run.linepos, run.linepos, err);
  if (err != 0) {
    error(m.end);
    run.badyear.set(m.keyword);
  }
  if (start > end)
    error(m.period);
  if (start < FIRSTYEAR)
    error(m.start_range);
  if (end > LASTYEAR)
    error(m.end_range);
}

void kw_steady(Run &run, std::string_view line) {
  read_span(run, line, run.steady_start, run.steady_end,
            {"STEADY", msg::STEADY_START, msg::STEADY_END, msg::STEADY_PERIOD,
             msg::STEADY_START_RANGE, msg::STEADY_END_RANGE});
  int err = 0;
  run.steady_mult = realin(line, run.linepos, run.linepos, err);
  if (err != 0)
    error(msg::STEADY_MULT);
}

void kw_transient(Run &run, std::string_view line) {
  read_span(run, line, run.trans_start, run.trans_end,
            {"TRANSIENT", msg::TRANSIENT_START, msg::TRANSIENT_END,
             msg::TRANSIENT_PERIOD, msg::TRANSIENT_START_RANGE,
             msg::TRANSIENT_END_RANGE});
}

void kw_nopump(Run &run, std::string_view line) {
  int err = 0;
  const int k = instate(run, err);
  if (k < 1 || k > NSTATE) {
    error(msg::INVALID_STATE, line);
    return;
  }
  run.pumpflag[k - 1] = 0;
}

// A zone grid keyword: the file name word (reported when missing; the
// blank name then goes to the reader, which refuses it), then the grid.
void zone_keyword(Run &run, std::string_view line, std::string_view missing,
                  FileUse use, ZoneGrid &grid, std::span<Name> names,
                  int &count, int limit) {
  Word name;
  if (!next_word(run, line, name))
    error(missing, line);
  run.usedname[use] = name;
  readflags<NAMELEN>(run.data, name.full(), grid, NROW, NCOL, names, count,
                     limit);
  run.zoneshape[use] = last_zone_shape();
}

// Rows of a budget grid shorter than their fields make cells zone 0, whose
// amounts no budget row counts: reported once per file.
void short_rows(Run &run, FileUse use) {
  const ZoneShape &z = run.zoneshape[use];
  if (z.short_rows == 0)
    return;
  Detail t;
  t.text(run.usedname[use].trimmed()).text(", first short row ");
  t.integer(z.first_short).text(" (").integer(z.short_rows);
  t.text(z.short_rows == 1 ? " row)" : " rows)");
  warn(msg::SHORT_ZONE_ROWS, t.view());
}

void kw_mound(Run &run, std::string_view line) {
  zone_keyword(run, line, msg::MOUND_NAME, USE_MOUND, run.mound,
               run.scratchnames, run.nscratch, 1);
}

void kw_optmound(Run &run, std::string_view) { run.optmound = 1; }

void kw_ibound(Run &run, std::string_view line) {
  zone_keyword(run, line, msg::IBOUND_NAME, USE_IBOUND, run.ibound,
               run.scratchnames, run.nscratch, 0);
}

void kw_soil(Run &run, std::string_view line) {
  zone_keyword(run, line, msg::SOIL_NAME, USE_SOIL, run.soil, run.soilnames,
               run.nsoil, MAXSOIL);
}

void kw_terrain(Run &run, std::string_view) { readterrain(run); }

void kw_xfactor(Run &run, std::string_view line) {
  int err = 0;
  run.xfactor_year = intin(line, run.linepos, run.linepos, err);
  if (err != 0) {
    error(msg::XFACTOR_YEAR, line);
    run.badyear.set("XFACTOR");
  }
  Word name;
  if (!next_word(run, line, name))
    error(msg::XFACTOR_NAME, line);
  run.usedname[USE_XFACTOR] = name;
  readreal(run.data, name.full(), run.xfactor, NROW, NCOL, 0);
}

void kw_budget(Run &run, std::string_view line) {
  zone_keyword(run, line, msg::BUDGET_NAME, USE_BUDGET, run.budzone,
               run.budnames, run.nbud, MAXBUDZONE);
  short_rows(run, USE_BUDGET);
  budget_header(run);
  Word name;

  // The optional sub-area grid: its names go to entries 1..23, entry 0 is
  // the fixed name of the cells outside every named sub-area.
  if (!next_word(run, line, name))
    return;
  run.usedname[USE_SUBAREA] = name;
  readflags<SUBNAMELEN>(
      run.data, name.full(), run.subarea, NROW, NCOL,
      std::span<Text<SUBNAMELEN>>(run.subnames).subspan(1, MAXSUBAREA),
      run.nsub, MAXSUBAREA);
  run.zoneshape[USE_SUBAREA] = last_zone_shape();
  short_rows(run, USE_SUBAREA);
  run.subnames[0].set("nonOsken");
  run.has_subarea = true;
}

void kw_budgetcsv(Run &run, std::string_view line) {
  if (!next_output(run, line, run.usedname[USE_BUDGETCSV], WORDLEN))
    error(msg::BUDGETCSV_NAME, line);
}

void kw_stations(Run &run, std::string_view) { readstation(run); }

void kw_month(Run &run, std::string_view line) {
  for (double &m : run.month) {
    int err = 0;
    m = realin(line, run.linepos, run.linepos, err);
    if (err != 0 || m < 0.0)
      error(msg::MONTH_MULT, line);
  }
}

void kw_function(Run &run, std::string_view) { readfunction(run); }

struct Keyword {
  std::string_view name;
  Handler handle;
};

// Tried in this order; the first match wins.
constexpr std::array<Keyword, 24> keywords{{
    {"FILE", kw_file},
    {"DIR", kw_dir},
    {"APPEND", kw_append},
    {"RECHARGE", kw_recharge},
    {"IRCHCB", kw_irchcb},
    {"WELL", kw_well},
    {"IWELCB", kw_iwelcb},
    {"ANNPUMP", kw_annpump},
    {"BIN", kw_bin},
    {"STEADY", kw_steady},
    {"TRANSIENT", kw_transient},
    {"NOPUMP", kw_nopump},
    {"MOUND", kw_mound},
    {"OPTMOUND", kw_optmound},
    {"IBOUND", kw_ibound},
    {"SOIL", kw_soil},
    {"TERRAIN", kw_terrain},
    {"XFACTOR", kw_xfactor},
    {"BUDGET", kw_budget},
    {"BUDGETCSV", kw_budgetcsv},
    {"STATIONS", kw_stations},
    {"MONTH", kw_month},
    {"FUNCTION", kw_function},
    {"MF6", kw_mf6},
}};

} // namespace

// Cleans run.line (its first run.linelen characters), skips comment and
// empty lines, and runs the handler of the line's keyword. The keyword is the
// first word's first 16 characters, upper-cased; a keyword is matched only
// when those equal the name padded with blanks, so FILES or FILE1 match
// nothing. Handlers read their words from run.linepos on. Unknown keywords
// are reported and the line is ignored. Does not allocate (the readers a
// keyword calls read their files through the run's file objects).
void handle_line(Run &run) {
  const int kind = linefix(std::span<char>(run.line.c, run.linelen));
  if (kind != 0)
    return;
  const std::string_view line = run.pline();

  Word word;
  int err = 0;
  charin(word, line, 1, run.linepos, err);
  if (err != 0)
    error(msg::INVALID_COMMAND, line);

  Text<NAMELEN> key(word.full().substr(0, NAMELEN));
  uppercase(std::span<char>(key.c, NAMELEN));
  const std::string_view k = key.trimmed();
  for (const Keyword &kw : keywords) {
    if (kw.name == k) {
      kw.handle(run, line);
      return;
    }
  }
  error(msg::UNKNOWN_PARAMETER, key.full());
}

} // namespace quon

// mf6.cpp - the MODFLOW 6 files of a run: their names, their headers and
// options, the RCH blocks around the array rows period() formats once for
// both models, the WEL blocks with their layers and state names, the
// observation file, the package list, and their end.

#include "mf6.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

#include "fmt.h"
#include "messages.h"
#include "period.h"
#include "reporters.h"
#include "tables.h"
#include "writer.h"
#include "writers.h"

namespace quon {
namespace {

// A recharge package: the end of its file name and its package name in the
// model (unique, at most 16 characters).
struct Package {
  std::string_view ending, name;
};
// One RCH file: the sum of the components.
constexpr Package ONE_RCH{".rch", "RCH"};
// Several: the components in the order of the RECHARGE files.
constexpr std::array<Package, MAXRCH> COMPONENT{{{"-precip.rch", "PRECIP"},
                                                 {"-gwirr.rch", "GWIRR"},
                                                 {"-swirr.rch", "SWIRR"},
                                                 {"-coirr.rch", "COIRR"}}};

Package rch_package(const Run &run, int k) {
  return run.nrch == 1 ? ONE_RCH : COMPONENT[std::size_t(k)];
}
constexpr std::string_view WEL_NAME = "WEL";
// The boundnames of the states' wells, in state order, and their
// observations' names (after the PREFIX).
constexpr std::array<std::string_view, NSTATE> STATE_NAME{"co", "ks", "ne"};
constexpr std::array<std::string_view, NSTATE> STATE_OBS{"WEL_CO", "WEL_KS",
                                                         "WEL_NE"};

// A decimal number's text times 86400, exactly: the digits multiplied in
// decimal. Without an exponent as many decimals as before (-0.302748 ->
// -26157.427200); with one, one digit before the point and no trailing
// zeros (3.11131023E-08 -> 2.688172038720E-03). Leading blanks are dropped.
// The text has at most WELL_RATE_MAX characters.
char *per_day(char *out, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  const bool neg = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+'))
    ++i;
  std::array<char, WELL_RATE_MAX + 8> d; // digits, 5 left free for the carry
  std::size_t nd = 5, decimals = 0;
  bool point = false;
  for (; i < text.size() &&
         (text[i] == '.' || (text[i] >= '0' && text[i] <= '9'));
       ++i) {
    if (text[i] == '.') {
      point = true;
      continue;
    }
    d[nd++] = char(text[i] - '0');
    decimals += point;
  }
  for (std::size_t k = 0; k < 5; ++k)
    d[k] = 0;
  int carry = 0;
  for (std::size_t k = nd; k-- > 0;) {
    const int v = d[k] * 86400 + carry;
    d[k] = char(v % 10);
    carry = v / 10;
  }
  char *p = out;
  if (neg)
    *p++ = '-';
  if (i < text.size()) {
    // With an exponent: one digit before the point, no trailing zeros.
    int e = 0;
    const bool eneg = i + 1 < text.size() && text[i + 1] == '-';
    for (std::size_t k = i + 1; k < text.size(); ++k)
      if (text[k] >= '0' && text[k] <= '9')
        e = e * 10 + (text[k] - '0');
    std::size_t lead = 0, last = nd;
    while (lead + 1 < nd && d[lead] == 0)
      ++lead;
    while (last > lead + 2 && d[last - 1] == 0)
      --last;
    e = (eneg ? -e : e) + int(nd - 1 - lead) - int(decimals);
    *p++ = char('0' + d[lead]);
    *p++ = '.';
    for (std::size_t k = lead + 1; k < last; ++k)
      *p++ = char('0' + d[k]);
    if (last == lead + 1)
      *p++ = '0';
    *p++ = 'E';
    *p++ = e < 0 ? '-' : '+';
    e = e < 0 ? -e : e;
    if (e >= 100)
      *p++ = char('0' + e / 100);
    *p++ = char('0' + e / 10 % 10);
    *p++ = char('0' + e % 10);
    return p;
  }
  const std::size_t whole = nd - decimals;
  std::size_t first = 0;
  while (first + 1 < whole && d[first] == 0)
    ++first;
  for (std::size_t k = first; k < nd; ++k) {
    if (k == whole)
      *p++ = '.';
    *p++ = char('0' + d[k]);
  }
  return p;
}

// The integer in as many columns as it needs.
char *num(char *out, long long v) {
  int w = v < 0 ? 2 : 1;
  for (long long a = v < 0 ? -(v / 10) : v / 10; a != 0; a /= 10)
    ++w;
  return fmt::i(out, v, w);
}

// One line: the texts one after the other and a line end. Short header
// lines only (at most 4 KiB).
void line(OutFile &f, std::initializer_list<std::string_view> parts) {
  std::size_t n = 1;
  for (std::string_view s : parts)
    n += s.size();
  char *out = f.reserve(n);
  char *p = out;
  for (std::string_view s : parts)
    p = fmt::a(p, s);
  *p++ = '\n';
  f.commit(p);
}

// The period label without its blanks (" 1/1950" -> "1/1950"), for the
// comments.
std::string_view bare(std::string_view label) {
  const std::size_t a = label.find_first_not_of(' ');
  if (a == std::string_view::npos)
    return {};
  return label.substr(a, label.find_last_not_of(' ') + 1 - a);
}

// "BEGIN PERIOD k".
void begin_period(OutFile &f, int kper) {
  char *out = f.reserve(32);
  char *p = fmt::a(out, "BEGIN PERIOD ");
  p = num(p, kper);
  *p++ = '\n';
  f.commit(p);
}

// The last component of a name: the package list names the files relative
// to their own folder, where the model's name files belong.
std::string_view last_part(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// Writes the package list whole and closes it.
void write_packages(Run &run, int nper) {
  OutFile &f = run.mf6[MF6_PACKAGES];
  line(f, {"# MODFLOW 6 lines for the files quon wrote with MF6 ",
           run.mf6base.trimmed(),
           "; file names are relative to their "
           "folder."});
  line(f, {"# In mfsim.nam, TIMING block:"});
  line(f, {"  TDIS6  ", last_part(run.mf6names[MF6_TDIS].trimmed())});
  line(f, {"# In the GWF model name file, PACKAGES block:"});
  for (int k = 0; k < run.nrch; ++k)
    line(f, {"  RCH6  ", last_part(run.mf6names[MF6_RCH + k].trimmed()), "  ",
             Mf6PackageName(run, rch_package(run, k).name).view()});
  line(f, {"  WEL6  ", last_part(run.mf6names[MF6_WEL].trimmed()), "  ",
           Mf6PackageName(run, WEL_NAME).view()});
  line(f, {"# Observations of the WEL package, named in its OPTIONS block "
           "(every time step the WEL flow of each state's wells to ",
           last_part(run.mf6names[MF6_OBS].trimmed()), ".csv):"});
  line(f, {"  OBS6  ", last_part(run.mf6names[MF6_OBS].trimmed())});
  line(f, {"# In the STO package, after its GRIDDATA block (a setting holds "
           "until the next):"});
  const bool steady = run.steady_start > 0;
  if (steady)
    line(f, {"BEGIN PERIOD 1\n  STEADY-STATE\nEND PERIOD"});
  if (nper > (steady ? 1 : 0)) {
    begin_period(f, steady ? 2 : 1);
    line(f, {"  TRANSIENT\nEND PERIOD"});
  }
  close_checked(f);
}

// The IRCH array of the first RCH block: the layer of each cell's
// recharge, 1 where the grid has less (cells with IBOUND 0, which get no
// recharge in quon's model), 20 values a line, row 1 first.
void write_irch(const Run &run, OutFile &f) {
  line(f, {"  IRCH\n    INTERNAL FACTOR 1 IPRN -1"});
  for (int r = 0; r < NROW; ++r)
    for (int c = 0; c < NCOL; c += 20) {
      char *out = f.reserve(20 * 12 + 1);
      char *p = out;
      for (int k = c; k < std::min(c + 20, NCOL); ++k) {
        *p++ = ' ';
        p = num(p, std::max(run.mf6irch[std::size_t(r * NCOL + k)], 1));
      }
      *p++ = '\n';
      f.commit(p);
    }
}

} // namespace

Mf6PackageName::Mf6PackageName(const Run &run, std::string_view name) {
  char *p = fmt::a(c, run.mf6opt.prefix.trimmed());
  p = fmt::a(p, name);
  n = std::size_t(p - c);
}

void mf6_names(Run &run) {
  for (Mf6Name &n : run.mf6names)
    n.clear();
  const std::string_view base = run.mf6base.trimmed();
  if (base.empty())
    return;
  const auto set = [&](int i, std::string_view ending) {
    char c[WORDLEN + 16];
    char *p = fmt::a(c, base);
    p = fmt::a(p, ending);
    run.mf6names[std::size_t(i)].set({c, std::size_t(p - c)});
  };
  set(MF6_TDIS, ".tdis");
  set(MF6_WEL, ".wel");
  set(MF6_PACKAGES, ".packages");
  set(MF6_OBS, ".wel.obs");
  for (int k = 0; k < run.nrch; ++k)
    set(MF6_RCH + k, rch_package(run, k).ending);
}

Mf6PackageName mf6_longest_name(const Run &run) {
  Mf6PackageName longest;
  const auto take = [&](std::string_view name) {
    const Mf6PackageName p(run, name);
    if (p.n > longest.n)
      longest = p;
  };
  for (int k = 0; k < run.nrch; ++k)
    take(rch_package(run, k).name);
  take(WEL_NAME);
  return longest;
}

Mf6Entry mf6_entry(const Run &run, int i) {
  Mf6Entry e;
  e.use = msg::USE_MF6[std::min(i, int(MF6_RCH))];
  if (i >= MF6_RCH && run.nrch > 1)
    e.number = i - MF6_RCH + 1;
  e.name = run.mf6names[std::size_t(i)].trimmed();
  return e;
}

void mf6_open(Run &run, int nper) {
  if (run.mf6base.blank())
    return;
  for (int i = 0; i < MF6FILES; ++i) {
    const std::string_view name = run.mf6names[std::size_t(i)].trimmed();
    if (!name.empty() && !run.mf6[std::size_t(i)].open(name))
      endrun(msg::CANNOT_OPEN, name);
  }
  run.mf6period = 0;
  char buf[32];

  OutFile &tdis = run.mf6[MF6_TDIS];
  line(tdis, {"# MODFLOW 6 time discretisation from quon: one stress period "
              "per period of the run"});
  line(tdis, {"BEGIN OPTIONS\n  TIME_UNITS ",
              run.mf6opt.days ? "days" : "seconds", "\nEND OPTIONS\n"});
  line(tdis, {"BEGIN DIMENSIONS"});
  line(tdis, {"  NPER ", {buf, std::size_t(num(buf, nper) - buf)}});
  line(tdis, {"END DIMENSIONS\n"});
  line(tdis, {"BEGIN PERIODDATA"});

  int active = 0;
  for (std::int32_t b : run.ibound)
    active += b != 0;
  const int maxbound = std::clamp(NSTATE * active, 1, NSTATE * MAXWEL);
  const std::string_view unit = run.mf6opt.days ? "day" : "second";
  OutFile &wel = run.mf6[MF6_WEL];
  line(wel, {"# MODFLOW 6 wells from quon: rates in cubic feet per ", unit,
             ", named by state (co, ks, ne); wells on cells with IBOUND 0 "
             "are left out"});
  line(wel, {"BEGIN OPTIONS\n  BOUNDNAMES"});
  if (run.iwelcb != 0)
    line(wel, {"  SAVE_FLOWS"});
  line(wel, {"  OBS6 FILEIN ", last_part(run.mf6names[MF6_OBS].trimmed())});
  line(wel, {"END OPTIONS\n"});
  line(wel, {"BEGIN DIMENSIONS"});
  line(wel, {"  MAXBOUND ", {buf, std::size_t(num(buf, maxbound) - buf)}});
  line(wel, {"END DIMENSIONS\n"});

  OutFile &obs = run.mf6[MF6_OBS];
  line(obs, {"# MODFLOW 6 observations from quon: the WEL flow of each "
             "state's wells (boundnames co, ks, ne) every time step"});
  line(obs, {"BEGIN OPTIONS\nEND OPTIONS\n"});
  line(obs, {"BEGIN CONTINUOUS FILEOUT ",
             last_part(run.mf6names[MF6_OBS].trimmed()), ".csv"});
  for (int k = 0; k < NSTATE; ++k)
    line(obs, {"  ", Mf6PackageName(run, STATE_OBS[std::size_t(k)]).view(),
               "  WEL  ", STATE_NAME[std::size_t(k)]});
  line(obs, {"END CONTINUOUS"});
  close_checked(obs);

  for (int k = 0; k < run.nrch; ++k) {
    OutFile &f = run.mf6[std::size_t(MF6_RCH + k)];
    line(f, {"# MODFLOW 6 recharge from quon, package ",
             Mf6PackageName(run, rch_package(run, k).name).view(),
             ": inches per period over each cell times FACTOR, in feet per ",
             unit});
    line(f, {"BEGIN OPTIONS\n  READASARRAYS"});
    if (run.irchcb != 0)
      line(f, {"  SAVE_FLOWS"});
    line(f, {"END OPTIONS\n"});
  }

  write_packages(run, nper);
}

void mf6_period(Run &run, int periodlen) {
  ++run.mf6period;
  OutFile &f = run.mf6[MF6_TDIS];
  char *out = f.reserve(64);
  char *p = out;
  if (run.mf6opt.days) {
    // Whole days, or the decimals of the day's part (365.25).
    constexpr int DAY = 86400;
    p = fmt::i(p, periodlen / DAY, 8);
    if (int rest = periodlen % DAY; rest != 0) {
      *p++ = '.';
      for (int k = 0; k < 12 && rest != 0; ++k) {
        rest *= 10;
        *p++ = char('0' + rest / DAY);
        rest %= DAY;
      }
    }
  } else {
    p = fmt::i(p, periodlen, 12);
  }
  p = fmt::a(p, " 1 1.0\n");
  f.commit(p);
}

void mf6_rch_begin(const Run &run, OutFile &f, std::string_view label,
                   double s1) {
  line(f, {"# ", bare(label)});
  begin_period(f, run.mf6period);
  if (run.mf6period == 1 && !run.usedname[USE_MF6_IRCH].blank())
    write_irch(run, f);
  char *out = f.reserve(96);
  char *p = fmt::a(out, "  RECHARGE\n    INTERNAL FACTOR");
  if (run.mf6opt.days) {
    char s[32];
    *p++ = ' ';
    p = per_day(p, {s, std::size_t(fmt::e1p(s, s1, 15, 8) - s)});
  } else {
    p = fmt::e1p(p, s1, 15, 8);
  }
  p = fmt::a(p, " IPRN -1\n");
  f.commit(p);
}

void mf6_rch_row(OutFile &f, std::string_view text) {
  // Every field gains one character: at most 10/9 of the text.
  char *out = f.reserve(text.size() + text.size() / 9 + 1);
  char *p = out;
  const char *s = text.data(), *end = s + text.size();
  while (s < end) {
    if (*s == '\n') {
      *p++ = *s++;
      continue;
    }
    *p++ = ' ';
    std::memcpy(p, s, 9);
    p += 9;
    s += 9;
  }
  f.commit(p);
}

void mf6_end_block(OutFile &f) { line(f, {"END PERIOD\n"}); }

void mf6_wel_begin(Run &run) { begin_period(run.mf6[MF6_WEL], run.mf6period); }

void mf6_wel_line(Run &run, const PeriodInfo &pi, const WellLine &l) {
  OutFile &f = run.mf6[MF6_WEL];
  // The MODFLOW-2005 line: layer (one column), row and column (4 each),
  // rate, line end.
  const std::string_view rowcol = l.text.substr(1, 8);
  // One line: layer, row, column, rate, state name.
  const auto put = [&](std::string_view rate, int state) {
    char *out = f.reserve(48 + 2 * WELL_RATE_MAX);
    char *p = num(out, run.mf6layer[std::size_t(l.cell)]);
    p = fmt::a(p, rowcol);
    if (run.mf6opt.days) {
      *p++ = ' ';
      p = per_day(p, rate);
    } else {
      p = fmt::a(p, rate);
    }
    *p++ = ' ';
    p = fmt::a(p, STATE_NAME[std::size_t(state)]);
    *p++ = '\n';
    f.commit(p);
  };
  // Each state's pumping of the cell: the same operations, in the same
  // order, as the period's sum, so that a cell pumped by one state alone
  // has its rate to the last bit.
  std::array<double, NSTATE> w{};
  int states = 0, last = 0;
  for (std::size_t k = 0; k < std::size_t(NSTATE); ++k) {
    const double mi = pi.mi[k] ? pi.yf * (*pi.mi[k])[l.cell] + 0.0 : 0.0;
    w[k] = pi.pmp[k] ? 1.0 * (*pi.pmp[k])[l.cell] + mi : mi;
    if (w[k] != 0.0) {
      ++states;
      last = int(k);
    }
  }
  if (states <= 1) {
    put(l.text.substr(9, l.text.size() - 10), last);
    return;
  }
  char rate[WELL_RATE_MAX];
  for (int k = 0; k < NSTATE; ++k)
    if (w[std::size_t(k)] != 0.0)
      put({rate,
           std::size_t(put_rate(rate, -w[std::size_t(k)] * pi.s2) - rate)},
          k);
}

void mf6_wel_end(Run &run, std::string_view label, int left, double rate) {
  OutFile &f = run.mf6[MF6_WEL];
  char *out = f.reserve(512);
  char *p = fmt::a(out, "  # ");
  p = fmt::a(p, bare(label));
  p = fmt::a(p, ": ");
  p = num(p, left);
  p = fmt::a(p, " wells on cells with IBOUND 0 left out, total rate");
  p = put_rate(p, rate);
  p = fmt::a(p, "\nEND PERIOD\n\n");
  f.commit(p);
}

void mf6_finish(Run &run) {
  if (!run.mf6[MF6_TDIS].is_open())
    return;
  line(run.mf6[MF6_TDIS], {"END PERIODDATA"});
  for (OutFile &f : run.mf6)
    close_checked(f);
}

} // namespace quon

// mf6.cpp - the MODFLOW 6 files of a run: their names, their headers, the
// period blocks around the records period() formats once for both models,
// and their end.

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
  for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k)
    line(f, {"  RCH6  ", last_part(run.mf6names[MF6_RCH + k].trimmed()), "  ",
             rch_package(run, k).name});
  line(f, {"  WEL6  ", last_part(run.mf6names[MF6_WEL].trimmed()), "  WEL"});
  line(f, {"# In the STO package, after its GRIDDATA block (a setting holds "
           "until the next):"});
  const bool steady = run.steady_start > 0;
  if (steady)
    line(f, {"BEGIN PERIOD 1\n  STEADY-STATE\nEND PERIOD"});
  if (nper > (steady ? 1 : 0)) {
    begin_period(f, steady ? 2 : 1);
    line(f, {"  TRANSIENT\nEND PERIOD"});
  }
  const Mf6Name name(f.name());
  if (!f.close())
    endrun(msg::CANNOT_WRITE_TO, name.trimmed());
}

} // namespace

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
  for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k)
    set(MF6_RCH + k, rch_package(run, k).ending);
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
  line(tdis, {"BEGIN OPTIONS\n  TIME_UNITS seconds\nEND OPTIONS\n"});
  line(tdis, {"BEGIN DIMENSIONS"});
  line(tdis, {"  NPER ", {buf, std::size_t(num(buf, nper) - buf)}});
  line(tdis, {"END DIMENSIONS\n"});
  line(tdis, {"BEGIN PERIODDATA"});

  int active = 0;
  for (std::int32_t b : run.ibound)
    active += b != 0;
  const int maxbound = std::clamp(active, 1, MAXWEL);
  OutFile &wel = run.mf6[MF6_WEL];
  line(wel, {"# MODFLOW 6 wells from quon: rates in cubic feet per second; "
             "wells on cells with IBOUND 0 are left out"});
  line(wel, {"BEGIN OPTIONS\nEND OPTIONS\n"});
  line(wel, {"BEGIN DIMENSIONS"});
  line(wel, {"  MAXBOUND ", {buf, std::size_t(num(buf, maxbound) - buf)}});
  line(wel, {"END DIMENSIONS\n"});

  for (int k = 0; k < std::min(run.nrch, MAXRCH); ++k) {
    OutFile &f = run.mf6[std::size_t(MF6_RCH + k)];
    line(f,
         {"# MODFLOW 6 recharge from quon, package ", rch_package(run, k).name,
          ": inches per period over each cell times FACTOR, in feet per "
          "second"});
    line(f, {"BEGIN OPTIONS\n  READASARRAYS\nEND OPTIONS\n"});
  }

  write_packages(run, nper);
}

void mf6_period(Run &run, int periodlen) {
  ++run.mf6period;
  OutFile &f = run.mf6[MF6_TDIS];
  char *out = f.reserve(32);
  char *p = fmt::i(out, periodlen, 12);
  p = fmt::a(p, " 1 1.0\n");
  f.commit(p);
}

void mf6_rch_begin(const Run &run, OutFile &f, std::string_view label,
                   double s1) {
  line(f, {"# ", bare(label)});
  begin_period(f, run.mf6period);
  char *out = f.reserve(64);
  char *p = fmt::a(out, "  RECHARGE\n    INTERNAL FACTOR");
  p = fmt::e1p(p, s1, 15, 8);
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

void mf6_end_block(OutFile &f) { line(f, {"END PERIOD"}); }

void mf6_wel_begin(Run &run) { begin_period(run.mf6[MF6_WEL], run.mf6period); }

void mf6_wel_end(Run &run, std::string_view label, int left, double rate) {
  OutFile &f = run.mf6[MF6_WEL];
  char *out = f.reserve(512);
  char *p = fmt::a(out, "  # ");
  p = fmt::a(p, bare(label));
  p = fmt::a(p, ": ");
  p = num(p, left);
  p = fmt::a(p, " wells on cells with IBOUND 0 left out, total rate");
  p = put_rate(p, rate);
  p = fmt::a(p, "\nEND PERIOD\n");
  f.commit(p);
}

void mf6_finish(Run &run) {
  if (!run.mf6[MF6_TDIS].is_open())
    return;
  line(run.mf6[MF6_TDIS], {"END PERIODDATA"});
  for (OutFile &f : run.mf6) {
    if (!f.is_open())
      continue;
    const Mf6Name name(f.name());
    if (!f.close())
      endrun(msg::CANNOT_WRITE_TO, name.trimmed());
  }
}

} // namespace quon

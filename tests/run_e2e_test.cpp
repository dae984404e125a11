// End-to-end runs of the whole program on a small model built here: every
// keyword, stations and recharge functions, per-state files in text and in
// unformatted form. The outputs of two runs must match byte for byte, and so
// must the outputs of the text and the unformatted inputs.

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quon.h"
#include "run.h"
#include "testutil.h"

namespace quon {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

// Active block of the model and the steady and transient years.
constexpr int R0 = 40, R1 = 80, C0 = 100, C1 = 200;

bool active(int c, int r) { return r >= R0 && r <= R1 && c >= C0 && c <= C1; }

// A small deterministic generator; values are multiples of 1/8 so that
// their shortest decimal text is exact.
struct Lcg {
  std::uint64_t s;
  std::uint32_t next() {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return std::uint32_t(s >> 33);
  }
  double eighths(int max) { return double(next() % (8 * max)) / 8.0; }
};

// A whole-grid file of a state, text (shortest round-trip decimals, rows
// broken over two lines) or one unformatted record.
void write_cells(const fs::path &name, const std::vector<double> &v, bool bin) {
  fs::create_directories(name.parent_path());
  std::string out;
  if (bin) {
    const std::int32_t n = NCELL * 8;
    out.resize(4 + NCELL * 8 + 4);
    std::memcpy(out.data(), &n, 4);
    std::memcpy(out.data() + 4, v.data(), NCELL * 8);
    std::memcpy(out.data() + 4 + NCELL * 8, &n, 4);
  } else {
    char buf[32];
    for (int r = 1; r <= NROW; ++r) {
      for (int c = 1; c <= NCOL; ++c) {
        auto res = std::to_chars(buf, buf + sizeof buf, v[cell(c, r)]);
        out.append(buf, res.ptr);
        out += (c == NCOL || c == 163) ? '\n' : ' ';
      }
    }
  }
  write_file(name.string(), out);
}

// Sparse values at some cells of the active block (and a few outside it:
// wells need no active cell).
std::vector<double> sparse(Lcg &g, int every, int max) {
  std::vector<double> v(NCELL, 0.0);
  for (int r = R0 - 5; r <= R1; ++r)
    for (int c = C0; c <= C1 + 10; ++c)
      if (g.next() % every == 0)
        v[cell(c, r)] = 0.125 + g.eighths(max);
  return v;
}

std::string zone_rows(char (*code)(int c, int r), int width) {
  std::string t;
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c) {
      const char ch = code(c, r);
      if (width == 2)
        t += (ch == '-') ? "-1" : std::string(" ") + ch;
      else
        t += ch;
    }
    t += '\n';
  }
  return t;
}

// Writes the whole model into dir. first_year..first_year+2 are transient,
// the steady period is the middle year alone, which has no irrigated area.
void write_model(const fs::path &dir, bool bin) {
  const auto p = [&](const std::string &n) { return (dir / n).string(); };
  fs::create_directories(dir / "quon");
  fs::create_directories(dir / "store");

  write_file(p("ibound.txt"), zone_rows(
                                  [](int c, int r) {
                                    if (!active(c, r))
                                      return '0';
                                    return c == C0 ? '-' : '1';
                                  },
                                  2));
  write_file(p("soil.txt"), "sand \"clay loam\"\n" + zone_rows(
                                                         [](int c, int r) {
                                                           if (!active(c, r))
                                                             return '0';
                                                           return c < 150 ? '1'
                                                                          : '2';
                                                         },
                                                         1));
  write_file(
      p("mound.txt"),
      "mound\n" +
          zone_rows(
              [](int c, int r) { return (r > 70 && c > 180) ? '1' : '0'; }, 1));
  write_file(p("zones.txt"),
             "CO KS NE\n" + zone_rows(
                                [](int c, int r) {
                                  if (!active(c, r))
                                    return '0';
                                  return c < 130 ? '1' : c < 170 ? '2' : '3';
                                },
                                1));
  write_file(p("sub.txt"), "north south\n" + zone_rows(
                                                 [](int c, int r) {
                                                   (void)c;
                                                   return r < 60 ? '1' : '2';
                                                 },
                                                 1));
  write_file(p("terrain_mult.txt"), "x y m\n"
                                    "700000 14500000 0.9\n"
                                    "1400000 14800000 1.1\n"
                                    "1000000 14650000 1.0\n");
  write_file(p("loc.txt"), "name x y\n"
                           "S1 700000 14500000\n"
                           "S2 1000000 14500000\n"
                           "S3 1400000 14500000\n"
                           "# a comment line\n"
                           "S4 700000 14800000\n"
                           "S5 1000000 14800000\n"
                           "S6 1400000 14800000\n");
  write_file(p("ppt.txt"), "Year S1 S2 S3 S4 S5 S6\n"
                           "1950 15 17.5 20 16 18 22.25\n"
                           "1951 12 14 16.5 13 15 18\n"
                           "1952 21 23 25 22 24 27.5\n");
  std::string xf;
  for (int i = 0; i < NCELL; ++i)
    xf += (i % 7 == 0) ? "0.5\n" : "1\n";
  write_file(p("xf.txt"), xf);

  write_file(p("quon.par"),
             std::string("# model run\n"
                         "FILE store ppt area rch\n"
                         "DIR co ks ne\n"
                         "RECHARGE p.rch g.rch s.rch c.rch\n"
                         "IRCHCB 50\n"
                         "WELL model.wel\n"
                         "IWELCB 51\n"
                         "ANNPUMP\n") +
                 (bin ? "BIN\n" : "") +
                 "STEADY 1951 1951 1.0\n"
                 "TRANSIENT 1950 1952\n"
                 "MOUND mound.txt\n"
                 "IBOUND ibound.txt\n"
                 "SOIL soil.txt\n"
                 "TERRAIN * terrain_mult.txt terrain.plt LIMIT 0.5 1.5\n"
                 "XFACTOR 1951 xf.txt\n"
                 "BUDGET zones.txt sub.txt\n"
                 "STATIONS loc.txt ppt.txt 1\n"
                 "MONTH 0.05 0.05 0.06 0.08 0.10 0.12 0.14 0.12 0.09 0.07 "
                 "0.07 0.05\n"
                 "FUNCTION funtable.txt 2\n"
                 "0 0 0 0 0\n"
                 "10 0.5 1.0 0.7 1.4\n"
                 "# dry years\n"
                 "30 3.0 4.5 3.5 5.0\n"
                 "60 6.0 9.0 7.0 10.0\n"
                 "OPTMOUND\n");

  Lcg g{12345};
  const char *states[] = {"co", "ks", "ne"};
  for (const char *st : states) {
    const fs::path sd = dir / st;
    for (const char *q : {"mi", "pmp", "rcg", "rcs", "rcc"})
      write_cells(sd / (std::string("steady.") + q), sparse(g, 40, 20), bin);
    for (int y : {1950, 1951, 1952}) {
      const std::string ys = std::to_string(y);
      write_cells(sd / (ys + ".mi"), sparse(g, 200, 400), bin);
      if (y != 1951)
        for (const char *q : {"agw", "asw", "aco"})
          write_cells(sd / (ys + "." + q), sparse(g, 5, 400), bin);
      for (int m = 6; m <= 8; ++m) {
        char part[16];
        std::snprintf(part, sizeof part, "%d.%02d.", y, m);
        for (const char *q : {"pmp", "rcg", "rcs", "rcc"})
          write_cells(sd / (part + std::string(q)), sparse(g, 12, 60), bin);
      }
    }
  }
}

using Files = std::map<std::string, std::string>;

Files files_under(const fs::path &dir) {
  Files f;
  for (const auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      f[fs::relative(e.path(), dir).string()] = read_file(e.path().string());
  return f;
}

// Runs quon in dir; returns the files the run made (name -> contents).
Files run_in(const fs::path &dir, std::string &err, int &status) {
  const Files before = files_under(dir);
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  std::string a0 = "quon", a1 = "quon.par";
  char *argv[] = {a0.data(), a1.data(), nullptr};
  testing::internal::CaptureStderr();
  status = quon_main(2, argv);
  err = testing::internal::GetCapturedStderr();
  fs::current_path(old);
  Files made;
  for (auto &[name, text] : files_under(dir))
    if (!before.count(name))
      made[name] = std::move(text);
  return made;
}

using test::lines_of;
class EndToEnd : public test::InTempDir {};

TEST_F(EndToEnd, RunsAreRepeatableAndTextAndUnformattedInputsAgree) {
  write_model("a", false);
  write_model("b", false);
  write_model("c", true);
  std::string err;
  int status = -1;

  const Files a = run_in("a", err, status);
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(test::reports_of(err), "");
  const Files b = run_in("b", err, status);
  ASSERT_EQ(status, 0) << err;
  const Files c = run_in("c", err, status);
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(test::reports_of(err), "");

  const std::set<std::string> expected{
      "model.wel",      "p.rch",          "g.rch",           "s.rch",
      "c.rch",          "fort.2",         "quon/pump.bsn",   "quon/rech.bsn",
      "1950.csv",       "1951.csv",       "1952.csv",        "terrain.plt",
      "funtable.txt",   "store/1950.ppt", "store/1950.area", "store/1950.rch",
      "store/1951.ppt", "store/1951.rch", "store/1952.ppt",  "store/1952.area",
      "store/1952.rch"};
  std::set<std::string> names;
  for (const auto &f : a)
    names.insert(f.first);
  EXPECT_EQ(names, expected);

  // Two runs of the same model in one process: identical to the byte.
  ASSERT_EQ(a.size(), b.size());
  for (const auto &[name, text] : a)
    EXPECT_TRUE(b.at(name) == text) << name << " differs between two runs";

  // Text and unformatted inputs: identical outputs; the yearly store files
  // follow the input form (one record of 53,790 reals when unformatted).
  ASSERT_EQ(a.size(), c.size());
  for (const auto &[name, text] : a) {
    if (name.rfind("store/", 0) == 0) {
      EXPECT_EQ(c.at(name).size(), 4u + NCELL * 8 + 4) << name;
      EXPECT_EQ(lines_of(text).size(), std::size_t(NROW)) << name;
      continue;
    }
    EXPECT_TRUE(c.at(name) == text) << name << " differs with BIN inputs";
  }

  // The shapes of the outputs: one steady period and 36 months.
  const std::vector<std::string> wel = lines_of(a.at("model.wel"));
  EXPECT_EQ(wel[0], "     14000        51 NOPRINT");
  int periods = 0;
  for (const std::string &l : wel)
    periods += l.size() == 16;
  EXPECT_EQ(periods, 37);
  for (const char *f : {"p.rch", "g.rch", "s.rch", "c.rch"}) {
    const std::vector<std::string> rch = lines_of(a.at(f));
    EXPECT_EQ(rch.size(), 1u + 37u * 2807u) << f;
    EXPECT_EQ(rch[0], "         1        50") << f;
  }
  const std::vector<std::string> report = lines_of(a.at("fort.2"));
  ASSERT_EQ(report.size(), 5u) << a.at("fort.2");
  EXPECT_EQ(report[1].rfind(" SS  ", 0), 0u);
  EXPECT_EQ(report[2].rfind(" 1950", 0), 0u);
  EXPECT_EQ(report[4].rfind(" 1952", 0), 0u);
  EXPECT_EQ(lines_of(a.at("quon/pump.bsn")).size(), 4u);

  // The steady period is the middle year alone, which has no irrigated
  // area: its recharge by zone equals that year's (group 6 of the row).
  const std::string ss = report[1].substr(5);
  ASSERT_EQ(ss.size(), 40u);
  EXPECT_NE(ss, std::string(40, ' '));
  EXPECT_EQ(report[3].substr(5 + 20 * 10, 40), ss);

  // The pumping tables hold the totals over the states.
  const std::vector<std::string> csv = lines_of(a.at("1950.csv"));
  ASSERT_EQ(csv.size(), 1u + NCELL);
  int pumping = 0;
  for (std::size_t i = 1; i < csv.size(); ++i)
    pumping += csv[i].substr(18, 12) != "        0.00";
  EXPECT_GT(pumping, 100);
}

// The same checks on a scenario of the project's generator, run through the
// program itself as a modeller starts it.
TEST_F(EndToEnd, GeneratedScenarioThroughTheProgram) {
  const std::string gen = QUON_BINARY_DIR "/tools/gen_scenario";
  const std::string prog = QUON_BINARY_DIR "/quon";
  ASSERT_TRUE(fs::exists(gen));
  ASSERT_TRUE(fs::exists(prog));
  const std::string opts = " --years 1 --steady-years 1 --seed 3 > /dev/null";
  ASSERT_EQ(std::system((gen + " --out t1" + opts).c_str()), 0);
  ASSERT_EQ(std::system((gen + " --out t2" + opts).c_str()), 0);
  ASSERT_EQ(std::system((gen + " --out b1 --bin" + opts).c_str()), 0);

  std::map<std::string, Files> made;
  for (const char *d : {"t1", "t2", "b1"}) {
    const Files before = files_under(d);
    const std::string cmd =
        std::string("cd ") + d + " && " + prog + " quon.par 2> stderr.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << d;
    EXPECT_EQ(test::reports_of(read_file(std::string(d) + "/stderr.txt")), "")
        << d;
    for (auto &[name, text] : files_under(d))
      if (!before.count(name) && name != "stderr.txt")
        made[d][name] = std::move(text);
  }
  const Files &t1 = made["t1"];
  EXPECT_TRUE(t1.count("quon.wel") && t1.count("fort.2") &&
              t1.count("1950.csv"));
  ASSERT_EQ(t1.size(), made["t2"].size());
  ASSERT_EQ(t1.size(), made["b1"].size());
  for (const auto &[name, text] : t1) {
    EXPECT_TRUE(made["t2"].at(name) == text) << name << " differs";
    if (name.rfind("store/", 0) != 0) {
      EXPECT_TRUE(made["b1"].at(name) == text) << name << " differs with BIN";
    }
  }
  // The scenario pumps: thousands of well lines over its periods.
  EXPECT_GT(lines_of(t1.at("quon.wel")).size(), 1000u);
}

// Inputs a modeller may well have, through the program: a UTF-8 zone name
// and a long data folder work; one damaged unformatted July file ends the
// run naming the file, where it once counted as zeros.
TEST_F(EndToEnd, NamesFoldersAndADamagedUnformattedFile) {
  const std::string gen = QUON_BINARY_DIR "/tools/gen_scenario";
  const std::string prog = QUON_BINARY_DIR "/quon";
  const std::string opts =
      " --years 1 --steady-years 0 --bin --seed 5 > /dev/null";
  for (const char *d : {"plain", "names", "damaged"})
    ASSERT_EQ(std::system((gen + " --out " + d + opts).c_str()), 0);

  // "names": the CO folder renamed beyond 16 characters, with a UTF-8
  // letter, and the first budget zone named "Río Platte".
  const std::string folder = "datos_del_r\xC3\xADo_colorado_1950_a_1950";
  fs::rename("names/co", "names/" + folder);
  std::string par = read_file("names/quon.par");
  par.replace(par.find("DIR co ks ne"), 12, "DIR " + folder + " ks ne");
  write_file("names/quon.par", par);
  const std::string zones = read_file("names/budget.zon");
  ASSERT_EQ(zones.rfind("CO KS NE\n", 0), 0u);
  write_file("names/budget.zon",
             "\"R\xC3\xADo Platte\" KS NE\n" + zones.substr(9));

  // "damaged": July's CO pumping file cut short.
  const std::string july = read_file("damaged/co/1950.07.pmp");
  ASSERT_GT(july.size(), 1000u);
  write_file("damaged/co/1950.07.pmp", july.substr(0, 1000));

  std::map<std::string, Files> made;
  std::map<std::string, int> status;
  for (const char *d : {"plain", "names", "damaged"}) {
    const Files before = files_under(d);
    const std::string cmd =
        std::string("cd ") + d + " && " + prog + " quon.par 2> stderr.txt";
    const int st = std::system(cmd.c_str());
    status[d] = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    for (auto &[name, text] : files_under(d))
      if (!before.count(name))
        made[d][name] = std::move(text);
  }
  EXPECT_EQ(status["plain"], 0);
  EXPECT_EQ(status["names"], 0) << made["names"]["stderr.txt"];
  EXPECT_EQ(test::reports_of(made["names"]["stderr.txt"]), "");
  // The same budget rows (CO's files were all found); only the header
  // names the zone differently.
  EXPECT_TRUE(made["names"].at("quon.wel") == made["plain"].at("quon.wel"));
  const std::vector<std::string> plain = lines_of(made["plain"].at("fort.2"));
  const std::vector<std::string> named = lines_of(made["names"].at("fort.2"));
  ASSERT_EQ(named.size(), plain.size());
  EXPECT_EQ(named[0].substr(0, 15), " YearR\xC3\xADo Platt"); // ten bytes
  EXPECT_EQ(named[1], plain[1]);

  EXPECT_EQ(status["damaged"], 1);
  EXPECT_EQ(made["damaged"]["stderr.txt"].rfind(
                "Cannot read file co/1950.07.pmp\n  the file ends before", 0),
            0u)
      << made["damaged"]["stderr.txt"];
  const std::vector<std::string> report =
      lines_of(made["damaged"].at("fort.2"));
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[report.size() - 2], " Cannot read file co/1950.07.pmp");
  EXPECT_EQ(report.back(), " The RCH and WEL files hold periods 1 to 6 of "
                           "12; they are incomplete");
}

} // namespace
} // namespace quon

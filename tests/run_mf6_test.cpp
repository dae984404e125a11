// The MODFLOW 6 files of generated runs (MF6 base): their layouts against the
// MODFLOW-2005 files of the same run, which stay as they are without MF6;
// the settings MF6 refuses. With QUON_MF6 naming an mf6 binary, a model is
// built around the files and its budget checked (tools/quon-mf6).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "quon.h"
#include "testutil.h"

namespace quon {
namespace {

namespace fs = std::filesystem;
using test::count_of;
using test::lines_of;
using test::read_file;
using test::shell;
using test::write_file;

class Mf6 : public test::InTempDir {};

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";
const std::string PROG = QUON_BINARY_DIR "/quon";

std::map<std::string, std::string> files_under(const fs::path &dir) {
  std::map<std::string, std::string> f;
  for (const auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      f[fs::relative(e.path(), dir).string()] = read_file(e.path().string());
  return f;
}

// The lines of a file between each "BEGIN PERIOD k" and its "END PERIOD".
std::vector<std::vector<std::string>> blocks(const std::string &text) {
  std::vector<std::vector<std::string>> out;
  bool in = false;
  for (const std::string &l : lines_of(text)) {
    if (l.rfind("BEGIN PERIOD ", 0) == 0) {
      EXPECT_EQ(l, "BEGIN PERIOD " + std::to_string(out.size() + 1));
      out.emplace_back();
      in = true;
    } else if (l == "END PERIOD") {
      in = false;
    } else if (in) {
      out.back().push_back(l);
    }
  }
  return out;
}

// A MODFLOW-2005 array line with a blank before every 9-column field.
std::string spread(const std::string &l) {
  std::string s;
  for (std::size_t k = 0; k < l.size(); k += 9)
    s += " " + l.substr(k, 9);
  return s;
}

struct Case {
  const char *name, *gen;
  const char *extra; // parameter lines added
  std::vector<std::string> rch;
  int nper;
  bool steady;
};

// Two generated runs: text, four RCH files and a steady period, with the
// IBOUND of three pumping cells set to 0; BIN, one RCH file, no steady
// period and no pumping at all (empty WEL blocks).
TEST_F(Mf6, Mf6FilesFollowTheModflow2005Files) {
  const std::vector<Case> cases{
      {"text",
       " --years 1 --steady-years 1 --seed 3",
       "",
       {"precip.rch", "gwirr.rch", "swirr.rch", "coirr.rch"},
       13,
       true},
      {"bin",
       " --years 1 --steady-years 0 --seed 4 --rch 1 --bin",
       "NOPUMP CO\nNOPUMP KS\nNOPUMP NE\n",
       {"quon.rch"},
       12,
       false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string d = c.name, plain = d + "-plain";
    ASSERT_EQ(shell(GEN + " --out " + d + c.gen + " > /dev/null"), 0);
    write_file(d + "/quon.par", read_file(d + "/quon.par") + c.extra);
    ASSERT_EQ(shell("cd " + d + " && " + PROG + " quon.par 2>/dev/null"), 0);

    // Three cells that pump in the first period leave the model.
    std::vector<std::string> ib = lines_of(read_file(d + "/ibound.zon"));
    std::set<std::pair<int, int>> off;
    for (const std::string &w : lines_of(read_file(d + "/quon.wel")))
      if (w.size() == 20 && off.size() < 3)
        off.insert({std::stoi(w.substr(1, 4)), std::stoi(w.substr(5, 4))});
    std::string zon;
    for (auto [r, col] : off)
      ib[std::size_t(r - 1)].replace(std::size_t(2 * (col - 1)), 2, " 0");
    for (const std::string &l : ib)
      zon += l + "\n";
    write_file(d + "/ibound.zon", zon);

    fs::copy(d, plain, fs::copy_options::recursive);
    write_file(d + "/quon.par", read_file(d + "/quon.par") + "MF6 mf6/m\n");
    fs::create_directory(d + "/mf6");
    const std::string summary = d + ".err"; // beside the run folder
    ASSERT_EQ(shell("cd " + d + " && " + PROG + " quon.par 2>../" + summary),
              0);
    // The closing line names the MODFLOW 6 files beside the others.
    EXPECT_NE(read_file(summary).find(", MODFLOW 6 input mf6/m.*\n"),
              std::string::npos)
        << read_file(summary);
    ASSERT_EQ(shell("cd " + plain + " && " + PROG + " quon.par 2>/dev/null"),
              0);

    // The MODFLOW-2005 files and every other output stay byte for byte.
    auto made = files_under(d), before = files_under(plain);
    made.erase("quon.par");
    before.erase("quon.par");
    std::set<std::string> mf6;
    for (auto it = made.begin(); it != made.end();)
      if (it->first.rfind("mf6/", 0) == 0) {
        mf6.insert(it->first);
        it = made.erase(it);
      } else {
        ++it;
      }
    EXPECT_TRUE(made == before);
    std::set<std::string> want{"mf6/m.tdis", "mf6/m.wel", "mf6/m.packages"};
    for (const std::string &r : c.rch)
      want.insert(c.rch.size() == 1
                      ? "mf6/m.rch"
                      : "mf6/m-" + r.substr(0, r.find('.')) + ".rch");
    EXPECT_EQ(mf6, want);

    // TDIS: one line per period, the lengths quon's periods have.
    const auto tdis = lines_of(read_file(d + "/mf6/m.tdis"));
    EXPECT_EQ(count_of(read_file(d + "/mf6/m.tdis"), "TIME_UNITS seconds\n"),
              1);
    EXPECT_EQ(count_of(read_file(d + "/mf6/m.tdis"),
                       "  NPER " + std::to_string(c.nper) + "\n"),
              1);
    std::vector<std::string> periods;
    for (std::size_t k = 0; k < tdis.size(); ++k)
      if (tdis[k] == "BEGIN PERIODDATA")
        periods.assign(tdis.begin() + long(k) + 1, tdis.end() - 1);
    ASSERT_EQ(int(periods.size()), c.nper);
    EXPECT_EQ(tdis.back(), "END PERIODDATA");
    const std::vector<std::string> months{
        "     2678400 1 1.0", "     2419200 1 1.0", "     2678400 1 1.0"};
    EXPECT_EQ(periods[0], c.steady ? "    31557600 1 1.0" : months[0]);
    EXPECT_EQ(periods[c.steady ? 2 : 1], months[1]); // February 1950

    // RCH: the FACTOR of the MODFLOW-2005 control record, the same fields
    // with a blank before each.
    for (std::size_t k = 0; k < c.rch.size(); ++k) {
      const auto mf05 = lines_of(read_file(d + "/" + c.rch[k]));
      const std::string name =
          c.rch.size() == 1
              ? "m.rch"
              : "m-" + c.rch[k].substr(0, c.rch[k].find('.')) + ".rch";
      const auto b = blocks(read_file(d + "/mf6/" + name));
      ASSERT_EQ(int(b.size()), c.nper) << name;
      for (int p = 0; p < c.nper; ++p) {
        const std::size_t at = 1 + std::size_t(p) * 2807;
        ASSERT_EQ(b[std::size_t(p)].size(), 2u + 165 * 17);
        EXPECT_EQ(b[std::size_t(p)][0], "  RECHARGE");
        EXPECT_EQ(b[std::size_t(p)][1], "    INTERNAL FACTOR" +
                                            mf05[at + 1].substr(9, 15) +
                                            " IPRN -1");
        for (std::size_t l = 0; l < 165 * 17; ++l)
          ASSERT_EQ(b[std::size_t(p)][2 + l], spread(mf05[at + 2 + l]))
              << name << " period " << p + 1;
      }
    }

    // WEL: the MODFLOW-2005 well lines less those on IBOUND 0, counted in
    // the block's comment.
    const std::string wel6 = read_file(d + "/mf6/m.wel");
    const auto b = blocks(wel6);
    ASSERT_EQ(int(b.size()), c.nper);
    const auto w05 = lines_of(read_file(d + "/quon.wel"));
    std::size_t at = 1, most = 0;
    for (int p = 0; p < c.nper; ++p) {
      const int nw = std::stoi(w05[at].substr(0, 5));
      std::vector<std::string> kept;
      int left = 0;
      for (int k = 1; k <= nw; ++k) {
        const std::string &w = w05[at + std::size_t(k)];
        if (off.count({std::stoi(w.substr(1, 4)), std::stoi(w.substr(5, 4))}))
          ++left;
        else
          kept.push_back(w);
      }
      at += 1 + std::size_t(nw);
      ASSERT_FALSE(b[std::size_t(p)].empty());
      const std::string note = b[std::size_t(p)].back();
      EXPECT_EQ(note.find(": " + std::to_string(left) +
                          " wells on cells with IBOUND 0 left out"),
                note.find(':'))
          << note;
      EXPECT_EQ(std::vector<std::string>(b[std::size_t(p)].begin(),
                                         b[std::size_t(p)].end() - 1),
                kept);
      if (p == 0 && c.steady) {
        EXPECT_GT(left, 0);
      }
      most = std::max(most, kept.size());
    }
    EXPECT_EQ(at, w05.size());
    const std::size_t mb = wel6.find("MAXBOUND ");
    ASSERT_NE(mb, std::string::npos);
    EXPECT_GE(std::stoul(wel6.substr(mb + 9)), std::max<std::size_t>(most, 1));

    // The package list: the names the model file needs and the STO periods.
    const std::string pk = read_file(d + "/mf6/m.packages");
    EXPECT_EQ(count_of(pk, "  TDIS6  m.tdis\n"), 1);
    EXPECT_EQ(count_of(pk, "  WEL6  m.wel  WEL\n"), 1);
    if (c.rch.size() == 1)
      EXPECT_EQ(count_of(pk, "  RCH6  m.rch  RCH\n"), 1);
    else
      EXPECT_EQ(count_of(pk, "  RCH6  m-precip.rch  PRECIP\n  RCH6  "
                             "m-gwirr.rch  GWIRR\n  RCH6  m-swirr.rch  SWIRR"
                             "\n  RCH6  m-coirr.rch  COIRR\n"),
                1);
    EXPECT_EQ(count_of(pk, c.steady ? "BEGIN PERIOD 1\n  STEADY-STATE\nEND "
                                      "PERIOD\nBEGIN PERIOD 2\n  TRANSIENT\n"
                                    : "BEGIN PERIOD 1\n  TRANSIENT\n"),
              1);

    // With QUON_MF6 naming the binary: a model around the files, run, and
    // its budget against the MODFLOW-2005 files.
    if (const char *bin = std::getenv("QUON_MF6")) {
      EXPECT_EQ(shell("/usr/bin/python3 " QUON_SOURCE_DIR "/tools/quon-mf6 " +
                      d + " --mf6 " + bin + " > " + d + "/mf6.txt"),
                0)
          << read_file(d + "/mf6.txt");
    }
  }
}

// Settings MF6 cannot go with end the run before its first period; --check
// lists the MF6 files with the other outputs.
TEST_F(Mf6, Mf6SettingsThatEndTheRun) {
  ASSERT_EQ(shell(GEN + " --out g --years 1 --steady-years 0 > /dev/null"), 0);
  const std::string par = read_file("g/quon.par");
  struct Row {
    const char *lines, *check; // added lines; what --check says
    int status;                // of the run
  } rows[] = {
      {"MF6 out/m\n", "  MF6 TDIS file out/m.tdis: can be created", 0},
      {"MF6 out/m\nAPPEND\n",
       "would end the run: MF6 cannot be used with APPEND", 1},
      {"MF6 quon\n",
       "would end the run: One file named for two uses, one would overwrite "
       "the other: quon.wel (WELL file and MF6 WEL file)",
       1},
      {"MF6 nowhere/m\n",
       "  MF6 RCH file 4 nowhere/m-coirr.rch: its folder "
       "does not exist",
       1},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.lines);
    fs::remove_all("g/out");
    fs::create_directory("g/out");
    write_file("g/quon.par", par + r.lines);
    EXPECT_EQ(shell("cd g && " + PROG + " --check quon.par > check.txt"),
              r.status);
    EXPECT_EQ(count_of(read_file("g/check.txt"), r.check), 1)
        << read_file("g/check.txt");
    EXPECT_EQ(shell("cd g && " + PROG + " quon.par > /dev/null 2>&1"),
              r.status);
    EXPECT_EQ(fs::exists("g/out/m.tdis"), r.status == 0);
  }
  write_file("g/quon.par", par + "MF6 out/\n");
  EXPECT_EQ(shell("cd g && " + PROG + " quon.par 2> err.txt > /dev/null"), 0);
  EXPECT_EQ(count_of(test::reports_of(read_file("g/err.txt")),
                     "Invalid MF6 base name MF6 out/"),
            1);
}

} // namespace
} // namespace quon

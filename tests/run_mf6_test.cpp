// The MODFLOW 6 files of generated runs (MF6 base and its options): their
// layouts against the MODFLOW-2005 files of the same run, which stay byte
// for byte as they are without MF6; the settings and option words MF6
// refuses. Runs through mf6 and FloPy are in tests/mf6 (pytest).

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
  const char *mf6;   // the MF6 line
  std::vector<std::string> rch;
  int nper;
  bool steady;
};

// Two generated runs: text, four RCH files and a steady period, with the
// IBOUND of three pumping cells set to 0; BIN, one RCH file, no steady
// period and no pumping at all (empty WEL blocks), no saved flows, and the
// options PREFIX, IRCH and WELLAYER (grids of 2, 0 at a cell with IBOUND 0).
TEST_F(Mf6, Mf6FilesFollowTheModflow2005Files) {
  const std::vector<Case> cases{
      {"text",
       " --years 1 --steady-years 1 --seed 3",
       "",
       "MF6 mf6/m\n",
       {"precip.rch", "gwirr.rch", "swirr.rch", "coirr.rch"},
       13,
       true},
      {"bin",
       " --years 1 --steady-years 0 --seed 4 --rch 1 --bin",
       "NOPUMP CO\nNOPUMP KS\nNOPUMP NE\nIRCHCB 0\nIWELCB 0\n",
       "MF6 mf6/m prefix P_ IRCH layers.txt WELLAYER layers.txt\n",
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

    // Layer grids of 2, 0 where IBOUND is 0.
    std::string layers;
    int inactive = 0;
    for (int r = 1; r <= 165; ++r) {
      for (int col = 1; col <= 326; ++col) {
        const bool zero = std::stoi(ib[std::size_t(r - 1)].substr(
                              std::size_t(2 * (col - 1)), 2)) == 0;
        inactive += zero;
        layers += zero ? " 0" : " 2";
      }
      layers += "\n";
    }
    write_file(d + "/layers.txt", layers);
    fs::copy(d, plain, fs::copy_options::recursive);
    write_file(d + "/quon.par", read_file(d + "/quon.par") + c.mf6);
    const bool options = std::string(c.mf6).find("IRCH") != std::string::npos;
    const bool saved =
        std::string(c.extra).find("IRCHCB 0") == std::string::npos;
    const std::string layer = options ? "2" : "1";
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
    std::set<std::string> want{"mf6/m.tdis", "mf6/m.wel", "mf6/m.packages",
                               "mf6/m.wel.obs"};
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
      const std::string text = read_file(d + "/mf6/" + name);
      // FloPy reads a block only after a blank line.
      EXPECT_EQ(count_of(text, "END PERIOD\n\n"), c.nper);
      EXPECT_EQ(count_of(text, "READASARRAYS\n  SAVE_FLOWS\n"), saved)
          << "IRCHCB";
      auto b = blocks(text);
      ASSERT_EQ(int(b.size()), c.nper) << name;
      if (options) {
        // The IRCH array before the first RECHARGE: 17 lines a row, 1
        // where the grid has 0.
        auto &first = b[0];
        ASSERT_GT(first.size(), 2u + 165 * 17);
        EXPECT_EQ(first[0], "  IRCH");
        EXPECT_EQ(first[1], "    INTERNAL FACTOR 1 IPRN -1");
        std::string irch;
        for (std::size_t l = 2; l < 2 + 165 * 17; ++l)
          irch += first[l] + "\n";
        EXPECT_EQ(count_of(irch, " 2"), 165 * 326 - inactive);
        EXPECT_EQ(count_of(irch, " 1"), inactive);
        first.erase(first.begin(), first.begin() + 2 + 165 * 17);
      }
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
    // the block's comment, each with its layer and state name.
    const std::string wel6 = read_file(d + "/mf6/m.wel");
    EXPECT_EQ(count_of(wel6, "END PERIOD\n\n"), c.nper);
    EXPECT_EQ(count_of(wel6, "BEGIN OPTIONS\n  BOUNDNAMES\n" +
                                 std::string(saved ? "  SAVE_FLOWS\n" : "") +
                                 "  OBS6 FILEIN m.wel.obs\nEND OPTIONS\n"),
              1);
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
          kept.push_back(layer + w.substr(1));
      }
      at += 1 + std::size_t(nw);
      ASSERT_FALSE(b[std::size_t(p)].empty());
      const std::string note = b[std::size_t(p)].back();
      EXPECT_EQ(note.find(": " + std::to_string(left) +
                          " wells on cells with IBOUND 0 left out"),
                note.find(':'))
          << note;
      std::vector<std::string> got;
      for (auto l = b[std::size_t(p)].begin(); l + 1 != b[std::size_t(p)].end();
           ++l) {
        const std::string state = l->substr(l->size() - 3);
        EXPECT_TRUE(state == " co" || state == " ks" || state == " ne") << *l;
        got.push_back(l->substr(0, l->size() - 3));
      }
      EXPECT_EQ(got, kept);
      if (p == 0 && c.steady) {
        EXPECT_GT(left, 0);
      }
      most = std::max(most, kept.size());
    }
    EXPECT_EQ(at, w05.size());
    const std::size_t mb = wel6.find("MAXBOUND ");
    ASSERT_NE(mb, std::string::npos);
    EXPECT_GE(std::stoul(wel6.substr(mb + 9)), std::max<std::size_t>(most, 1));

    // The observations: each state's wells by their boundname.
    const std::string prefix = options ? "P_" : "";
    EXPECT_EQ(count_of(read_file(d + "/mf6/m.wel.obs"),
                       "BEGIN CONTINUOUS FILEOUT m.wel.obs.csv\n  " + prefix +
                           "WEL_CO  WEL  co\n  " + prefix +
                           "WEL_KS  WEL  ks\n  " + prefix +
                           "WEL_NE  WEL  ne\nEND CONTINUOUS\n"),
              1);

    // The package list: the names the model file needs and the STO periods.
    const std::string pk = read_file(d + "/mf6/m.packages");
    EXPECT_EQ(count_of(pk, "  TDIS6  m.tdis\n"), 1);
    EXPECT_EQ(count_of(pk, "  WEL6  m.wel  " + prefix + "WEL\n"), 1);
    EXPECT_EQ(count_of(pk, "  OBS6  m.wel.obs\n"), 1);
    if (c.rch.size() == 1)
      EXPECT_EQ(count_of(pk, "  RCH6  m.rch  " + prefix + "RCH\n"), 1);
    else
      EXPECT_EQ(count_of(pk, "  RCH6  m-precip.rch  PRECIP\n  RCH6  "
                             "m-gwirr.rch  GWIRR\n  RCH6  m-swirr.rch  SWIRR"
                             "\n  RCH6  m-coirr.rch  COIRR\n"),
                1);
    EXPECT_EQ(count_of(pk, c.steady ? "BEGIN PERIOD 1\n  STEADY-STATE\nEND "
                                      "PERIOD\nBEGIN PERIOD 2\n  TRANSIENT\n"
                                    : "BEGIN PERIOD 1\n  TRANSIENT\n"),
              1);
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
      {"MF6 out/m\n", "  MF6 OBS file out/m.wel.obs: can be created", 0},
      {"MF6 out/m PREFIX ABCDEFGHIJK\n",
       "would end the run: MF6 PREFIX makes a package name longer than the 16 "
       "characters MODFLOW 6 takes: ABCDEFGHIJKPRECIP",
       1},
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

// The words of the MF6 line and its layer grids: each fault ends the run
// before any MF6 file is written, with a message naming the word, or the
// file, row and column; the good lines run.
TEST_F(Mf6, Mf6OptionsAndLayerGrids) {
  ASSERT_EQ(shell(GEN + " --out g --years 1 --steady-years 0 > /dev/null"), 0);
  const std::string par = read_file("g/quon.par");
  std::string ones, bad, low;
  for (int r = 1; r <= 165; ++r) {
    std::string row;
    for (int col = 1; col <= 326; ++col)
      row += col == 1 ? "1" : " 1";
    ones += row + "\n";
    bad += (r == 2 ? row.replace(4, 1, "x") : row) + "\n";
  }
  // A 0 at the first active cell.
  const std::string ib = read_file("g/ibound.zon");
  const std::size_t at = ib.find_first_not_of(" 0\n");
  const int arow = count_of(ib.substr(0, at), "\n") + 1;
  const int acol = int((at - ib.rfind('\n', at) - 1) / 2) + 1;
  low = ones;
  low[std::size_t((arow - 1) * (326 * 2)) + std::size_t(2 * (acol - 1))] = '0';
  write_file("g/ones.txt", ones);
  write_file("g/short.txt", ones.substr(0, ones.size() - 4));
  write_file("g/long.txt", ones + "1\n");
  write_file("g/bad.txt", bad);
  write_file("g/low.txt", low);
  const std::string where = "low.txt, at row " + std::to_string(arow) +
                            ", column " + std::to_string(acol) + ": 0";
  const std::string longname(300, 'm');
  struct Row {
    std::string words, message; // after "MF6 out/m"; on stderr
    int status;
  } rows[] = {
      {" DAYS PREFIX ABCDEFGHIJ IRCH ones.txt WELLAYER ones.txt", "", 0},
      {" days", "", 0},
      {" DAYS DAYS", "MF6 option given twice: DAYS", 1},
      {" LAYERS x",
       "(the options are DAYS, PREFIX p, IRCH file and "
       "WELLAYER file): LAYERS",
       1},
      {" PREFIX", "MF6 option without its value: PREFIX", 1},
      {" PREFIX ABCDEFGHIJK",
       "16 characters MODFLOW 6 takes: ABCDEFGHIJKPRECIP", 1},
      {" IRCH nofile.txt", "Error opening file nofile.txt", 1},
      {" IRCH short.txt",
       "ends before its 165 rows of 326 values: short.txt, "
       "at row 165, column 325",
       1},
      {" WELLAYER long.txt", "has more than 165 rows of 326 values: long.txt",
       1},
      {" IRCH bad.txt", "not a whole number: bad.txt, at row 2, column 3: x",
       1},
      {" WELLAYER low.txt", "below 1 at a cell with IBOUND not 0: " + where, 1},
      {"/" + longname, "Output file name longer than the name quon keeps", 1},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.words.substr(0, 40));
    fs::remove_all("g/out");
    fs::create_directory("g/out");
    write_file("g/quon.par", par + "MF6 out/m" + r.words + "\n");
    EXPECT_EQ(shell("cd g && " + PROG + " quon.par > /dev/null 2> err.txt"),
              r.status);
    const std::string err = read_file("g/err.txt");
    if (!r.message.empty()) {
      EXPECT_EQ(count_of(err, r.message), 1) << err;
    }
    EXPECT_EQ(fs::exists("g/out/m.tdis"), r.status == 0);
  }
  // A layer grid is an input: an MF6 file of the same name would destroy it.
  write_file("g/out/m.tdis", ones);
  write_file("g/quon.par", par + "MF6 out/m IRCH out/m.tdis\n");
  EXPECT_EQ(shell("cd g && " + PROG + " quon.par > /dev/null 2> err.txt"), 1);
  EXPECT_EQ(count_of(read_file("g/err.txt"),
                     "out/m.tdis (MF6 IRCH grid and MF6 TDIS file)"),
            1)
      << read_file("g/err.txt");
  EXPECT_EQ(read_file("g/out/m.tdis"), ones);
  // DAYS: 31 days a period, FACTOR and rates the seconds' digits x 86400.
  write_file("g/quon.par", par + "MF6 out/m DAYS\n");
  ASSERT_EQ(shell("cd g && " + PROG + " quon.par 2>/dev/null"), 0);
  const std::string tdis = read_file("g/out/m.tdis"),
                    rch = read_file("g/out/m-precip.rch");
  EXPECT_EQ(count_of(tdis, "      31 1 1.0\n"), 7);
  EXPECT_EQ(count_of(tdis, "      28 1 1.0\n"), 1);
  // 31 days: 3.11131023E-08 x 86400 exactly.
  EXPECT_EQ(count_of(rch, "INTERNAL FACTOR 2.68817203872E-03 IPRN"), 7);
}

} // namespace
} // namespace quon

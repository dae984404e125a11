// run_writer_list_test.cpp - every output's place is proven before any
// output is emptied: for each writer of the list, a run whose output place
// is bad (a missing folder, a pipe, a folder in the way) ends before it
// touches the files of the complete run before it, or, for an output the
// run can do without, goes on without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>

#include "messages.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using quon::test::read_file;
using quon::test::shell;
using quon::test::write_file;

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";
const std::string QUON = QUON_BINARY_DIR "/quon";

// Every file of a folder (fort.2 aside: a run that ends writes its record
// there) by name, with a hash of its bytes.
std::map<std::string, std::size_t> contents(const fs::path &dir) {
  std::map<std::string, std::size_t> out;
  for (const auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && e.path().filename() != "fort.2")
      out[fs::relative(e.path(), dir).string()] =
          std::hash<std::string>{}(read_file(e.path().string()));
  return out;
}

// The first line of a text.
std::string first_line(const std::string &s) {
  return s.substr(0, s.find('\n'));
}

class ProvenPlaces : public quon::test::InTempDir {};

TEST_F(ProvenPlaces, ABadOutputPlaceLeavesTheLastGoodRunAsItWas) {
  ASSERT_EQ(shell(GEN + " --out good --years 1 >/dev/null"), 0);
  ASSERT_EQ(shell("cd good && " + QUON + " quon.par >/dev/null 2>&1"), 0);

  // One row per writer: how its place is made bad (a line added to the
  // parameter file, a name in it replaced, or a file of the folder made a
  // pipe or a folder), then whether the run ends (status 1, nothing touched)
  // or goes on without that output (status 0), with the first console line.
  enum Make { ADD, RENAME, FIFO, FOLDER };
  struct Case {
    const char *writer;
    Make make;
    std::string what, to;
    int status;
    std::string first;
  };
  const Case cases[] = {
      {"WEL", ADD, "WELL nodir/quon.wel", "", 1,
       "Cannot open file nodir/quon.wel"},
      {"WEL pipe", FIFO, "quon.wel", "", 1, "Cannot open file quon.wel"},
      {"RCH", ADD, "RECHARGE precip.rch gwirr.rch swirr.rch nodir/coirr.rch",
       "", 1, "Cannot open file nodir/coirr.rch"},
      {"MF6", ADD, "MF6 nosuchdir/quon", "", 1,
       "Cannot open file nosuchdir/quon.tdis"},
      {"fort.2 budget table", FOLDER, "fort.2", "", 1,
       "Cannot open file fort.2"},
      {"sub-area files", FIFO, "quon/rech.bsn", "", 1,
       "Cannot open file quon/rech.bsn"},
      {"BUDGETCSV", ADD, "BUDGETCSV nodir/budget.csv", "", 1,
       "Cannot open file nodir/budget.csv"},
      {"ANNPUMP", FOLDER, "1950.csv", "", 1, "Cannot open file 1950.csv"},
      {"FILE store", RENAME, "FILE store ", "FILE nodir ", 0,
       "Cannot open file nodir/1950.ppt"},
      {"FUNCTION table", RENAME, "funtable.txt", "nodir/funtable.txt", 0,
       "Error opening file nodir/funtable.txt"},
      {"TERRAIN plot", RENAME, "terrain.plt", "nodir/terrain.plt", 0,
       "Error opening file nodir/terrain.plt"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.writer);
    fs::remove_all("run");
    fs::copy("good", "run", fs::copy_options::recursive);
    std::string par = read_file("run/quon.par");
    if (c.make == ADD) {
      par += c.what + "\n";
    } else if (c.make == RENAME) {
      const std::size_t at = par.find(c.what);
      ASSERT_NE(at, std::string::npos);
      par.replace(at, c.what.size(), c.to);
    } else {
      fs::remove("run/" + c.what);
      if (c.make == FIFO)
        ASSERT_EQ(mkfifo(("run/" + c.what).c_str(), 0644), 0);
      else
        fs::create_directory("run/" + c.what);
    }
    write_file("run/quon.par", par);
    // The dry run names the same place as the run: a required one as a
    // condition that would end the run, the others in the list of outputs.
    const int checked = shell("cd run && timeout 60 " + QUON +
                              " --check quon.par >../inv 2>&1");
    const std::string inv = read_file("inv");
    if (c.status == 1) {
      EXPECT_EQ(checked, 1) << inv;
      EXPECT_NE(inv.find("would end the run: " + c.first), std::string::npos)
          << inv;
    } else {
      // Listed as an output that cannot be written (the run goes on).
      const std::string name = c.first.substr(c.first.rfind(' ') + 1);
      EXPECT_EQ(checked, 0) << inv;
      EXPECT_NE(
          inv.find(name + ": " + std::string(quon::msg::OUTPUT_NO_FOLDER)),
          std::string::npos)
          << inv;
    }
    const auto before = contents("run");

    const int status =
        shell("cd run && timeout 60 " + QUON + " quon.par >out 2>err");
    const std::string err = read_file("run/err");
    fs::remove("run/out");
    fs::remove("run/err");
    EXPECT_EQ(status, c.status) << err;
    EXPECT_EQ(first_line(err), c.first) << err;
    if (c.status == 1) {
      EXPECT_EQ(contents("run"), before) << "an output of the last run changed";
      // The record of why the run ended is in fort.2 (unless fort.2 is what
      // cannot be written).
      if (c.make != FOLDER || c.what != "fort.2") {
        EXPECT_NE(read_file("run/fort.2").find(c.first), std::string::npos);
      }
    } else {
      // The run went on and wrote its model files without that output.
      EXPECT_NE(err.find("quon: run completed"), std::string::npos) << err;
      EXPECT_FALSE(fs::exists("run/nodir"));
    }
  }
}

// Every file a run writes belongs to a writer of the list: each is named in
// the outputs --check lists (a yearly family by its first and last file).
TEST_F(ProvenPlaces, EveryFileARunWritesIsAnOutputOfTheList) {
  ASSERT_EQ(shell(GEN + " --out run --years 2 >/dev/null"), 0);
  write_file("run/quon.par",
             read_file("run/quon.par") + "MF6 mf6/quon\nBUDGETCSV b.csv\n");
  fs::create_directory("run/mf6");
  ASSERT_EQ(shell("cd run && " + QUON + " --check quon.par >../inv 2>&1"), 0);
  const std::string inv = read_file("inv");
  const std::string outputs = inv.substr(inv.find("\nOutputs:"));
  const auto inputs = contents("run");
  ASSERT_EQ(shell("cd run && " + QUON + " quon.par >/dev/null 2>&1"), 0);

  int written = 0;
  for (const auto &e : fs::recursive_directory_iterator("run")) {
    if (!e.is_regular_file())
      continue;
    const std::string name = fs::relative(e.path(), "run").string();
    if (inputs.count(name) != 0 && name != "fort.2")
      continue; // an input the generator wrote
    ++written;
    // A yearly file: the family's line names its folder and year.
    const std::string year = name.substr(0, name.rfind('.') + 1);
    EXPECT_TRUE(outputs.find(" " + name + ":") != std::string::npos ||
                outputs.find(" " + name + " ") != std::string::npos ||
                outputs.find(" " + year) != std::string::npos)
        << name << " is written but listed by no writer:\n"
        << outputs;
  }
  // WEL, 4 RCH, 8 MF6 (TDIS, WEL, package list, observations, 4 RCH),
  // fort.2, 2 sub-area, BUDGETCSV, 2 side, 2 x 3 store, 2 tables.
  EXPECT_EQ(written, 1 + 4 + 8 + 1 + 2 + 1 + 2 + 6 + 2);
}

} // namespace

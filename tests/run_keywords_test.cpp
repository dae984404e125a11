// Tests of the parameter file's keyword lines: matching, the values each
// keyword stores and the messages it gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "reporters.h"
#include "run.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

class Keywords : public test::InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }

  // Handles one parameter line and returns what it wrote on stderr.
  std::string handle(const std::string &text) {
    const std::size_t n = std::min<std::size_t>(text.size(), LINELEN);
    run->line.set(std::string_view(text).substr(0, n));
    run->linelen = int(n);
    run->linepos = 1;
    testing::internal::CaptureStderr();
    try {
      handle_line(*run);
    } catch (...) {
      last_err = testing::internal::GetCapturedStderr();
      throw;
    }
    return testing::internal::GetCapturedStderr();
  }

  // Handles a line that must end the run; returns the exit status it asks.
  int handle_ending(const std::string &text) {
    try {
      handle(text);
    } catch (const RunEnd &e) {
      return e.status;
    }
    ADD_FAILURE() << "the run did not end: " << text;
    return 0;
  }

  std::unique_ptr<quon::Run> run = make_run();
  std::string last_err;
};

TEST_F(Keywords, KeywordMatchesWithoutRegardToCaseButOnlyWhole) {
  for (const char *k : {"file", "File", "FILE"}) {
    run = make_run();
    EXPECT_EQ(handle(std::string(k) + " out a b c"), "") << k;
    EXPECT_EQ(run->storedir.trimmed(), "out") << k;
    EXPECT_EQ(run->nstore, 3) << k;
  }
  run = make_run();
  EXPECT_EQ(handle("FILES out a b c").rfind("Unknown parameter FILES", 0), 0u);
  EXPECT_EQ(handle("file1 out a b c").rfind("Unknown parameter FILE1", 0), 0u);
  EXPECT_EQ(run->nstore, 0);
  // The reported keyword is the first 16 characters, upper-cased.
  const std::string e = handle("averyveryverylongkeyword 1");
  EXPECT_EQ(e.rfind("Unknown parameter AVERYVERYVERYLO", 0), 0u) << e;
  EXPECT_EQ(e.find("NGKEY"), std::string::npos) << e;
}

TEST_F(Keywords, CommentsEmptyLinesTabsAndBadFirstWords) {
  EXPECT_EQ(handle("# WELL x.wel"), "");
  EXPECT_EQ(handle(""), "");
  EXPECT_EQ(handle(" \t \r"), "");
  EXPECT_TRUE(run->wellname.blank());
  // Only a '#' in the first character makes a comment.
  EXPECT_EQ(handle(" # WELL x.wel").rfind("Unknown parameter #", 0), 0u);
  EXPECT_EQ(handle("\t# WELL x.wel").rfind("Unknown parameter #", 0), 0u);
  EXPECT_TRUE(run->wellname.blank());
  // Tabs and carriage returns separate words like blanks.
  EXPECT_EQ(handle("\tWELL\tmodel.wel\r"), "");
  EXPECT_EQ(run->wellname.trimmed(), "model.wel");
  // Letters outside ASCII belong to the word.
  EXPECT_EQ(handle("WELL qu\xC3\xB6n.wel"), "");
  EXPECT_EQ(run->wellname.trimmed(), "qu\xC3\xB6n.wel");
  EXPECT_EQ(handle("WELL model.wel"), "");
  // An unclosed quote leaves no keyword at all.
  const std::string e = handle("\"WELL x.wel");
  EXPECT_NE(e.find("Invalid command \"WELL x.wel"), std::string::npos) << e;
  EXPECT_NE(e.find("Unknown parameter "), std::string::npos) << e;
  EXPECT_EQ(run->wellname.trimmed(), "model.wel");
}

TEST_F(Keywords, FlagKeywords) {
  EXPECT_EQ(handle("APPEND"), "");
  EXPECT_EQ(handle("annpump extra words"), "");
  EXPECT_EQ(handle("Bin"), "");
  EXPECT_EQ(handle("OPTMOUND"), "");
  EXPECT_EQ(run->append, 1);
  EXPECT_EQ(run->annpump, 1);
  EXPECT_EQ(run->binmode, 1);
  EXPECT_EQ(run->optmound, 1);
}

// Store names are kept up to 16 characters: a longer one, cut, would name
// other files, so it ends the run.
TEST_F(Keywords, FileKeepsItsFolderWholeAndNamesUpTo16) {
  EXPECT_EQ(handle("FILE store_directory_long ppt area_name_longer rch"), "");
  EXPECT_EQ(run->storedir.trimmed(), "store_directory_long");
  EXPECT_EQ(run->storenames[0].trimmed(), "ppt");
  EXPECT_EQ(run->storenames[1].full(), "area_name_longer");
  EXPECT_EQ(run->storenames[2].trimmed(), "rch");
  EXPECT_EQ(run->nstore, 3);
  EXPECT_THROW(handle("FILE store ppt area_name_longer_x rch"), RunEnd);
}

// Folders are kept whole up to the length of a file name (quotes do not
// count); a longer one would name another folder, so it ends the run.
TEST_F(Keywords, FoldersUpTo256CharactersLongerOnesEndTheRun) {
  const std::string f256 = "d/" + std::string(254, 'x');
  const std::string q256 = "\"d " + std::string(254, 'y') + "\"";
  const struct {
    std::string line;
    bool ends;
  } cases[] = {
      {"DIR " + f256 + " ks ne", false},  {"DIR co ks " + q256, false},
      {"FILE " + f256 + " a b c", false}, {"FILE " + q256 + " a b c", false},
      {"DIR co " + f256 + "z ne", true},  {"DIR co ks \"" + f256 + " \"", true},
      {"FILE " + f256 + "z a b c", true},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(k.line);
    run = make_run();
    std::filesystem::remove("fort.2");
    if (!k.ends) {
      EXPECT_EQ(handle(k.line), "");
      const Word &folder =
          k.line[0] == 'D'
              ? (k.line[4] == 'd' ? run->statedir[0] : run->statedir[2])
              : run->storedir;
      EXPECT_EQ(folder.trimmed().size(), 256u);
      EXPECT_EQ(folder.c[0], 'd');
      continue;
    }
    EXPECT_EQ(handle_ending(k.line), 1);
    EXPECT_EQ(last_err,
              "Folder name longer than 256 characters in " + k.line + "\n");
  }
}

TEST_F(Keywords, FileWithAMissingStoreNameEndsTheRun) {
  EXPECT_EQ(handle_ending("FILE out ppt area"), 1);
  EXPECT_EQ(test::read_file("fort.2"),
            " Invalid FILE extention            3\n");
  EXPECT_EQ(run->nstore, 0);
}

TEST_F(Keywords, FileWithoutWordsReportsTheDirectoryThenEnds) {
  EXPECT_EQ(handle_ending("FILE"), 1);
  EXPECT_NE(last_err.find("Invalid FILE directory"), std::string::npos);
  EXPECT_EQ(test::read_file("fort.2"),
            " Invalid FILE directory\n"
            " Invalid FILE extention            1\n");
}

TEST_F(Keywords, DirTakesThreeDirectoriesQuotedOnesMayHoldBlanks) {
  EXPECT_EQ(handle("DIR \"data co\" KS/dir ne_directory_longer"), "");
  EXPECT_EQ(run->statedir[0].trimmed(), "data co");
  EXPECT_EQ(run->statedir[1].trimmed(), "KS/dir");
  EXPECT_EQ(run->statedir[2].trimmed(), "ne_directory_longer");

  const std::string e = handle("DIR a b");
  EXPECT_EQ(e.rfind("Error reading DIR DIR a b", 0), 0u) << e;
  EXPECT_EQ(run->statedir[0].trimmed(), "a");
  EXPECT_EQ(run->statedir[1].trimmed(), "b");
  EXPECT_TRUE(run->statedir[2].blank());
}

TEST_F(Keywords, RechargeCountsEveryName) {
  EXPECT_EQ(handle("RECHARGE model.rch"), "");
  EXPECT_EQ(run->nrch, 1);
  EXPECT_EQ(run->rchnames[0].trimmed(), "model.rch");

  EXPECT_EQ(handle("RECHARGE p.rch g.rch s.rch c.rch"), "");
  EXPECT_EQ(run->nrch, 4);
  EXPECT_EQ(run->rchnames[3].trimmed(), "c.rch");

  std::string e = handle("RECHARGE a.rch b.rch");
  EXPECT_EQ(
      e.rfind("RECHARGE must specify 1 or 4 files RECHARGE a.rch b.rch", 0), 0u)
      << e;
  EXPECT_EQ(run->nrch, 2);

  e = handle("recharge");
  EXPECT_EQ(e.rfind("RECHARGE must specify 1 or 4 files recharge", 0), 0u) << e;
  EXPECT_EQ(run->nrch, 0);

  // Names past the fourth are counted (for the message that ends the run)
  // but have no place in the table: the files kept are four.
  e = handle("RECHARGE 1.rch 2.rch 3.rch 4.rch 5.rch 6.rch");
  EXPECT_NE(e.find("RECHARGE must specify 1 or 4 files "), std::string::npos);
  EXPECT_EQ(run->nrch_named, 6);
  EXPECT_EQ(run->nrch, 4);
  EXPECT_EQ(run->rchnames[3].trimmed(), "4.rch");

  // A name that cannot be read is counted and left blank.
  e = handle("RECHARGE a.rch \"b.rch");
  EXPECT_NE(e.find("Error reading RECHARGE file RECHARGE a.rch \"b.rch"),
            std::string::npos)
      << e;
  EXPECT_EQ(run->nrch, 2);
  EXPECT_TRUE(run->rchnames[1].blank());
}

TEST_F(Keywords, IntegerKeywordsKeepTheValueRead) {
  EXPECT_EQ(handle("IRCHCB 50"), "");
  EXPECT_EQ(handle("IWELCB -7"), "");
  EXPECT_EQ(run->irchcb, 50);
  EXPECT_EQ(run->iwelcb, -7);
  EXPECT_EQ(
      handle("IRCHCB 1.5").rfind("Invalid Recharge cbc file number IRCHCB", 0),
      0u);
  EXPECT_EQ(handle("IWELCB").rfind("Invalid Well cbc file number IWELCB", 0),
            0u);
  EXPECT_EQ(run->irchcb, 0);
  EXPECT_EQ(run->iwelcb, 0);
}

TEST_F(Keywords, WellName) {
  EXPECT_EQ(handle("WELL \"my model.wel\" ignored"), "");
  EXPECT_EQ(run->wellname.trimmed(), "my model.wel");
  EXPECT_EQ(handle("WELL").rfind("Error reading WELL file name WELL", 0), 0u);
  EXPECT_TRUE(run->wellname.blank());
}

TEST_F(Keywords, SteadyChecksAndStoresAsRead) {
  EXPECT_EQ(handle("STEADY 1940 1949 0.95"), "");
  EXPECT_EQ(run->steady_start, 1940);
  EXPECT_EQ(run->steady_end, 1949);
  EXPECT_EQ(run->steady_mult, 0.95);

  EXPECT_EQ(handle("STEADY 1900 1950 1.0"), "STEADY period start error\n");
  EXPECT_EQ(run->steady_start, 1900);
  EXPECT_EQ(run->steady_end, 1950);
  EXPECT_EQ(run->steady_mult, 1.0);

  EXPECT_EQ(handle("STEADY 1960 1950 1.0"), "Invalid STEADY period\n");
  EXPECT_EQ(run->steady_start, 1960);

  EXPECT_EQ(handle("STEADY 1950 2151 1.0"), "STEADY period end error\n");
  EXPECT_EQ(run->steady_end, 2151);

  EXPECT_EQ(handle("STEADY 1950 1960"), "Invalid STEADY precip multiplier\n");
  EXPECT_EQ(run->steady_mult, 0.0);

  // A bad start year is 0: also before the first year of the tables.
  EXPECT_EQ(handle("STEADY x 1960 2"),
            "Invalid STEADY start year\nSTEADY period start error\n");
  EXPECT_EQ(run->steady_start, 0);
  EXPECT_EQ(run->steady_mult, 2.0);
  EXPECT_EQ(handle("STEADY 1950"), "Invalid STEADY end year\n"
                                   "Invalid STEADY period\n"
                                   "Invalid STEADY precip multiplier\n");
  EXPECT_EQ(run->steady_end, 0);
}

TEST_F(Keywords, TransientChecksAndStoresAsRead) {
  EXPECT_EQ(handle("TRANSIENT 1950 1999 junk"), "");
  EXPECT_EQ(run->trans_start, 1950);
  EXPECT_EQ(run->trans_end, 1999);
  EXPECT_EQ(handle("TRANSIENT 1909 2151"),
            "TRANSIENT period start error\nTRANSIENT period end error\n");
  EXPECT_EQ(handle("TRANSIENT 2000 1999"), "Invalid TRANSIENT period\n");
  EXPECT_EQ(run->trans_start, 2000);
  EXPECT_EQ(run->trans_end, 1999);
  EXPECT_EQ(handle("TRANSIENT 1950 1e3"),
            "Invalid TRANSIENT end year\nInvalid TRANSIENT period\n");
}

TEST_F(Keywords, NopumpClearsOneStateAtATime) {
  EXPECT_EQ(handle("NOPUMP ks"), "");
  EXPECT_EQ(run->pumpflag, (std::array<int, 3>{1, 0, 1}));
  EXPECT_EQ(handle("NOPUMP XX").rfind("Invalid state NOPUMP XX", 0), 0u);
  EXPECT_EQ(handle("NOPUMP").rfind("Invalid state NOPUMP", 0), 0u);
  EXPECT_EQ(run->pumpflag, (std::array<int, 3>{1, 0, 1}));
  EXPECT_EQ(handle("nopump Ne"), "");
  EXPECT_EQ(run->pumpflag, (std::array<int, 3>{1, 0, 0}));
}

TEST_F(Keywords, MonthMultipliers) {
  EXPECT_EQ(handle("MONTH .05 .05 .06 .08 .1 .12 .14 .12 .09 .07 .07 .05"), "");
  EXPECT_EQ(run->month[0], 0.05);
  EXPECT_EQ(run->month[6], 0.14);
  EXPECT_EQ(run->month[11], 0.05);

  // Eleven values: one report, for the twelfth, which is 0.
  std::string e = handle("MONTH 1 1 1 1 1 1 1 1 1 1 1");
  EXPECT_EQ(e.rfind("Invalid MONTH multiplier MONTH 1 1 1 1 1 1 1 1 1 1 1", 0),
            0u)
      << e;
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1);
  EXPECT_EQ(run->month[10], 1.0);
  EXPECT_EQ(run->month[11], 0.0);

  // A negative value is reported and kept; a bad one is reported and 0.
  e = handle("MONTH -0.5 x 1 1 1 1 1 1 1 1 1 1");
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 2);
  EXPECT_EQ(run->month[0], -0.5);
  EXPECT_EQ(run->month[1], 0.0);
}

TEST_F(Keywords, ZoneGridKeywordsReadTheirGrids) {
  EXPECT_EQ(handle("SOIL *"), "");
  EXPECT_EQ(run->nsoil, 1);
  EXPECT_EQ(run->soilnames[0].trimmed(), "*");
  EXPECT_EQ(run->soil[cell(326, 165)], 1);

  std::string rows;
  for (int r = 1; r <= NROW; ++r)
    rows += (r == 2 ? " 0-1 2\n" : "\n");
  test::write_file("ibound.txt", rows);
  EXPECT_EQ(handle("IBOUND ibound.txt"), "");
  EXPECT_EQ(run->ibound[cell(1, 1)], 0);
  EXPECT_EQ(run->ibound[cell(2, 2)], -1);
  EXPECT_EQ(run->ibound[cell(3, 2)], 2);

  test::write_file("mound.txt", "mound\n" + std::string(NROW, '\n'));
  EXPECT_EQ(handle("MOUND mound.txt"), "");
  EXPECT_EQ(run->nscratch, 1);
  EXPECT_EQ(run->scratchnames[0].trimmed(), "mound");
}

TEST_F(Keywords, MissingFileNameIsReportedAndTheReaderRefusesIt) {
  EXPECT_EQ(handle_ending("SOIL"), 1);
  EXPECT_EQ(last_err.rfind("Invalid SOIL file name SOIL", 0), 0u) << last_err;
  EXPECT_EQ(test::read_file("fort.2").rfind(
                " Invalid SOIL file name SOIL\n Error opening file", 0),
            0u);
}

TEST_F(Keywords, XfactorReadsAGridOfReals) {
  std::string text;
  for (int r = 1; r <= NROW; ++r) {
    for (int c = 1; c <= NCOL; ++c)
      text += (r == 3 && c == 4) ? "0.25 " : "1 ";
    text += "\n";
  }
  test::write_file("xf.txt", text);
  EXPECT_EQ(handle("XFACTOR 1975 xf.txt"), "");
  EXPECT_EQ(run->xfactor_year, 1975);
  EXPECT_EQ(run->xfactor[cell(4, 3)], 0.25);
  EXPECT_EQ(run->xfactor[cell(5, 3)], 1.0);

  EXPECT_EQ(handle_ending("XFACTOR x"), 1);
  EXPECT_NE(last_err.find("Invalid XFACTOR year XFACTOR x"), std::string::npos);
  EXPECT_NE(last_err.find("Invalid XFACTOR file name XFACTOR x"),
            std::string::npos);
}

TEST_F(Keywords, BudgetWritesAHeaderLineEachTimeAndSubAreaFiles) {
  std::string zones = "CO KS NE\n";
  for (int r = 1; r <= NROW; ++r)
    zones += "123\n";
  test::write_file("zones.txt", zones);
  // Rows shorter than their fields leave cells in zone 0: reported once.
  const std::string shorter = "Rows shorter than their fields in a zone grid, "
                              "the missing cells are zone 0: ";
  const std::string zshort = shorter + "zones.txt, first short row 1 (165 "
                                       "rows)\n";
  EXPECT_EQ(handle("BUDGET zones.txt"), zshort);
  EXPECT_EQ(run->nbud, 3);
  EXPECT_EQ(run->budnames[2].trimmed(), "NE");
  EXPECT_EQ(run->budzone[cell(3, 7)], 3);
  EXPECT_FALSE(run->has_subarea);

  std::string sub = "North South\n";
  for (int r = 1; r <= NROW; ++r)
    sub += r < 80 ? "1\n" : "2\n";
  test::write_file("sub.txt", sub);
  std::filesystem::create_directory("quon");
  EXPECT_EQ(handle("BUDGET zones.txt sub.txt"),
            zshort + shorter + "sub.txt, first short row 1 (165 rows)\n");
  EXPECT_TRUE(run->has_subarea);
  EXPECT_EQ(run->nsub, 2);
  EXPECT_EQ(run->subnames[0].trimmed(), "nonOsken");
  EXPECT_EQ(run->subnames[1].trimmed(), "North");
  EXPECT_EQ(run->subnames[2].trimmed(), "South");
  EXPECT_EQ(run->subarea[cell(1, 80)], 2);
  // The sub-area files are written once the settings are checked.
  EXPECT_FALSE(std::filesystem::exists("quon/pump.bsn"));
  EXPECT_FALSE(std::filesystem::exists("quon/rech.bsn"));

  close_report();
  const std::string report = test::read_file("fort.2");
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 5) << report;
  EXPECT_EQ(report.find("\n Year        CO        KS        NE  gwIrr_af"),
            report.find('\n'))
      << report;
  EXPECT_EQ(report.rfind(" WARNING: " + shorter, 0), 0u) << report;
}

} // namespace
} // namespace quon

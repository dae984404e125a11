// run_catalogue_test.cpp - a catalogue of input mistakes run end to end: each
// row copies one small generated run folder, applies a mistake with a shell
// command, runs the real program on it and checks what must come out (exit
// status, a message naming the file, no model period written when the run
// ends before its first one, or outputs unchanged when the mistake is
// harmless).
//
// Rows marked "needs:" ask for behaviour that a fix being made on another
// branch brings; they fail until it is merged.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "messages.h"
#include "testutil.h"

namespace {
namespace fs = std::filesystem;
using quon::test::read_file;
using quon::test::shell;

const std::string QUON = QUON_BINARY_DIR "/quon";
const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";
const std::vector<std::string> MODEL_FILES = {
    "quon.wel", "precip.rch", "gwirr.rch", "swirr.rch", "coirr.rch"};

enum Outcome {
  Same,  // exit 0, every output as the unmutated run's, no report but `said`
  Goes,  // exit 0, `said` on the console and `record` (or `said`) in fort.2
  Ends,  // exit 1 before the first period: `said` on the console and
         // `record` (or `said`) in fort.2; no model file holds a period
  Stops, // exit 1 during the periods: `said` on the console, `record` (or
         // `said`) in fort.2
  NoRun, // exit 2, `said` on the console
  Keeps, // exit 1 before the first period, `said` on the console, and
         // every file there before the run (fort.2 aside) as it was
};

struct Row {
  const char *what;
  std::string mistake; // run with the shell in the copied folder
  Outcome outcome;
  std::string said = "";
  std::string record = "";
};

// Shell commands that make the mistakes.
std::string sed(const std::string &file, const std::string &expr) {
  return "sed -i '" + expr + "' " + file;
}
std::string par(const std::string &expr) { return sed("quon.par", expr); }
std::string link(const std::string &target, const std::string &name) {
  return "rm -rf " + name + " && ln -s " + target + " " + name;
}
std::string folder(const std::string &name) {
  return "rm -f " + name + " && mkdir " + name;
}
// Puts a byte-order mark before the first line of file.
std::string bom(const std::string &file) {
  return "printf '\\357\\273\\277' | cat - " + file + " > t && mv t " + file;
}
// Takes the line end off the last line of file.
std::string unterminated(const std::string &file) {
  return "printf %s \"$(cat " + file + ")\" > t && mv t " + file;
}
// Replaces count bytes of file at offset by those of a printf format.
std::string poke(const std::string &file, int offset, int count,
                 const std::string &bytes) {
  return "{ head -c " + std::to_string(offset) + " " + file + "; printf '" +
         bytes + "'; tail -c +" + std::to_string(offset + count + 1) + " " +
         file + "; } > t && mv t " + file;
}
// Keeps the first size bytes of file.
std::string cut(const std::string &file, int size) {
  return "head -c " + std::to_string(size) + " " + file + " > t && mv t " +
         file;
}

// Number of lines of a file after its header line (0 when it is missing).
long records_after_header(const std::string &path) {
  const std::string s = read_file(path);
  const long n = long(std::count(s.begin(), s.end(), '\n'));
  return n > 0 ? n - 1 : 0;
}

class Catalogue : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    std::string tmpl =
        (fs::temp_directory_path() / "quon-catalogue-XXXXXX").string();
    top_ = mkdtemp(tmpl.data());
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(top_, ec);
  }

  // Generates the run folder (text or unformatted cell arrays) and the
  // outputs of its unmutated run, once per test program.
  static void make_base(bool bin) {
    base_ = top_ + (bin ? "/bin" : "/text");
    ref_ = base_ + ".ref";
    if (fs::exists(ref_))
      return;
    ASSERT_EQ(shell(GEN + " --out " + base_ +
                    " --seed 5 --start-year 1950 --years 1 --steady-years 1"
                    " --stations 6 --drift 1 --rch 4" +
                    (bin ? " --bin" : "") + " > /dev/null"),
              0);
    ASSERT_EQ(shell("cp -r " + base_ + " " + ref_ + " && cd " + ref_ + " && " +
                    QUON + " quon.par 2> /dev/null"),
              0);
    outputs_.clear();
    for (const auto &e : fs::recursive_directory_iterator(ref_))
      if (e.is_regular_file() &&
          !fs::exists(fs::path(base_) / fs::relative(e.path(), ref_)))
        outputs_.push_back(fs::relative(e.path(), ref_).string());
    ASSERT_GE(outputs_.size(), 13u);
    // A case folder links the files of the base's folders (copying the
    // per-state files would take longer than the runs) and copies the
    // files at its top.
    folders_.clear();
    files_.clear();
    for (const auto &e : fs::directory_iterator(base_))
      (e.is_directory() ? folders_ : files_) += " " + e.path().string();
  }

  static void check(const Row &row) {
    SCOPED_TRACE(row.what);
    static int n = 0;
    const std::string dir = top_ + "/case" + std::to_string(++n);
    // Files in folders are links to the base's: a mistake there replaces
    // the file, never writes into it.
    ASSERT_EQ(shell("mkdir " + dir + " && cp -al" + folders_ + " " + dir +
                    " && cp" + files_ + " " + dir + " && cd " + dir + " && " +
                    row.mistake),
              0)
        << row.mistake;
    // The mistake took: a harmless row must not pass on an unchanged folder.
    EXPECT_EQ(shell("diff -rq --no-dereference " + base_ + " " + dir +
                    " > /dev/null"),
              1)
        << row.mistake;
    // What every file held before the run (links followed).
    if (row.outcome == Keeps)
      shell("cd " + dir +
            " && find . -path ./fort.2 -prune -o \\( -type f "
            "-o -type l \\) -exec md5sum {} + > ../sums.txt 2> /dev/null");
    // A run that hangs fails the row instead of the whole test program.
    const int st = shell("cd " + dir + " && timeout 60 " + QUON +
                         " quon.par > /dev/null 2> ../err.txt");
    const std::string err = read_file(top_ + "/err.txt");
    const std::string fort2 = read_file(dir + "/fort.2");
    const std::string &record = row.record.empty() ? row.said : row.record;
    const auto holds = [](std::string_view s, std::string_view text) {
      return s.find(text) != std::string::npos;
    };
    constexpr int status[] = {0, 0, 1, 1, 2, 1};
    EXPECT_EQ(st, status[row.outcome]) << err.substr(0, 2000);
    EXPECT_TRUE(holds(err, row.said)) << err.substr(0, 2000);
    switch (row.outcome) {
    case Same:
      EXPECT_EQ(quon::test::reports_of(err).empty(), row.said.empty()) << err;
      for (const std::string &f : outputs_)
        EXPECT_TRUE(read_file(dir + "/" + f) == read_file(ref_ + "/" + f))
            << f << " differs from the unmutated run's";
      break;
    case Goes:
      // Every report is a record of fort.2 too, and the run says at its end
      // that it made reports.
      EXPECT_TRUE(holds(fort2, record)) << fort2.substr(0, 600);
      EXPECT_TRUE(row.said.empty() || holds(err, quon::msg::SUMMARY_REPORTS))
          << err;
      break;
    case Ends:
      for (const std::string &f : MODEL_FILES)
        EXPECT_EQ(records_after_header(dir + "/" + f), 0) << f;
      [[fallthrough]];
    case Stops:
      // fort.2 made a folder cannot hold the record; the console has it.
      if (!fs::is_directory(dir + "/fort.2")) {
        EXPECT_TRUE(holds(fort2, record))
            << fort2.substr(fort2.size() > 300 ? fort2.size() - 300 : 0);
      }
      break;
    case NoRun:
      break;
    case Keeps:
      EXPECT_EQ(shell("cd " + dir + " && md5sum --quiet -c ../sums.txt"), 0)
          << "an input or an earlier output was changed";
      for (const std::string &f : MODEL_FILES)
        EXPECT_EQ(records_after_header(dir + "/" + f), 0) << f;
      break;
    }
    fs::remove_all(dir);
  }

  static inline std::string top_, base_, ref_, folders_, files_;
  static inline std::vector<std::string> outputs_;
};

TEST_F(Catalogue, TextRunFolder) {
  ASSERT_NO_FATAL_FAILURE(make_base(false));
  const std::string long_blanks(9000, ' ');
  const Row rows[] = {
      // ---- Parameter file
      {"empty parameter file", ": > quon.par", Ends, "No well file specified",
       "No well file specified"},
      {"parameter file is /dev/null", link("/dev/null", "quon.par"), Ends,
       "No SOILs specified", "No well file specified"},
      {"parameter file is a folder", folder("quon.par"), NoRun,
       "Error opening parameter file"},
      {"binary garbage", "gzip -nc stations.loc > quon.par", Ends,
       "Unknown parameter ", "No well file specified"},
      {"CRLF line ends", par(R"(s/$/\r/)"), Same},
      {"no final line end", unterminated("quon.par"), Same},
      {"comment line of 100,000 characters",
       "(printf '#'; printf '%100000s' | tr ' ' x; echo) >> quon.par", Same},
      {"words after the 8192nd character are cut",
       par("s/^RECHARGE .*/&" + long_blanks + "extra.rch/"), Same},
      {"NUL byte between words", par(R"(s/^WELL /WELL\x00/)"), Same},
      {"UTF-8 in a comment", par("1s/$/ — Río Platte/"), Same},
      // needs: UTF-8 names (the link makes quön.wel compare as quon.wel)
      {"UTF-8 WEL file name",
       par("s/^WELL .*/WELL quön.wel/") + " && ln -s quön.wel quon.wel", Same},
      {"byte-order mark before a keyword",
       "sed -i 1,4d quon.par && " + bom("quon.par"), Same},
      {"byte-order mark before a comment", bom("quon.par"), Same},
      {"unclosed quote in a file name", par(R"(s/^WELL .*/WELL "quon.wel/)"),
       Ends, "Error reading WELL file name ", "No well file specified"},
      {"huge integer", par("s/^IRCHCB .*/IRCHCB 99999999999999999999/"), Goes,
       "Invalid Recharge cbc file number IRCHCB"},
      {"largest integers as years",
       par("s/^TRANSIENT .*/TRANSIENT 2147483647 2147483647/"), Ends,
       "TRANSIENT period cannot be run"},
      // The span never starts; counting its years overflowed an int.
      {"integer range ends as years",
       par("s/^TRANSIENT .*/TRANSIENT 2147483647 -2147483648/"), Goes,
       "Invalid TRANSIENT period"},
      {"1e400", par("s/^STEADY .*/STEADY 1949 1949 1e400/"), Goes,
       "Invalid STEADY precip multiplier"},
      {"NaN", par("s/^MONTH 0.05/MONTH NaN/"), Goes,
       "Invalid MONTH multiplier MONTH NaN"},
      {"lone sign as a year", par("s/^XFACTOR 1950/XFACTOR -/"), Ends,
       "Invalid XFACTOR year XFACTOR -", "A year is not a whole number"},
      // needs: hang fix
      {"parameter file is /dev/zero", link("/dev/zero", "quon.par"), Ends,
       "in file quon.par"},

      // ---- Zone grids
      {"zone grid missing", "rm soil.zon", Ends, "Error opening file soil.zon"},
      {"zone grid is a folder", folder("mound.zon"), Ends,
       "Error opening file mound.zon"},
      // Running as root, chmod 000 does not stop reading: a dangling link is
      // the file that cannot be opened.
      {"zone grid unreadable", link("nowhere", "soil.zon"), Ends,
       "Error opening file soil.zon"},
      {"zone grid is /dev/null", link("/dev/null", "ibound.zon"), Ends,
       "Error reading file ibound.zon"},
      // needs: hang fix
      {"zone grid is /dev/zero", link("/dev/zero", "soil.zon"), Ends,
       "in file soil.zon"},
      {"short row in the budget zone grid", sed("budget.zon", "51s/.$//"), Goes,
       "Rows shorter than their fields in a zone grid, the missing cells are "
       "zone 0: budget.zon, first short row 50 (1 row)"},
      {"short rows in the sub-area grid", sed("subarea.zon", "71,72s/.$//"),
       Goes, "zone 0: subarea.zon, first short row 70 (2 rows)"},
      {"state folder is a file", "rm -r ks && touch ks", Ends,
       "State data folder is a file, its data cannot be read: ks ks"},
      {"zone grid is a pipe", "rm soil.zon && mkfifo soil.zon", Ends,
       "Not a regular file, quon reads only files (a pipe or device would hang "
       "the run): soil.zon"},
      {"zone grid one row short", sed("ibound.zon", "$d"), Ends,
       "Error reading file ibound.zon"},
      {"letter in a zone field", sed("soil.zon", "5s/^./x/"), Ends,
       "Error reading file soil.zon"},
      {"zone beyond the names", sed("soil.zon", R"(80s/^\(.\{100\}\)./\19/)"),
       Ends, "Zone out of range in file soil.zon"},
      {"too many zone names", sed("soil.zon", "1s/$/ a b c d e f/"), Ends,
       "Too many zones in soil.zon"},
      {"binary zone grid", "gzip -nc budget.zon > t && mv t soil.zon", Ends,
       "soil.zon"},
      {"CRLF zone grids",
       sed("soil.zon ibound.zon budget.zon subarea.zon", R"(s/$/\r/)"), Same},
      {"zone grid without final line end, lines after its rows",
       unterminated("soil.zon") + " && echo junk >> mound.zon", Same},
      {"byte-order mark before zone names", bom("budget.zon"), Same},
      // needs: UTF-8 names
      {"UTF-8 budget zone name", sed("budget.zon", "1s/.*/CO KS Río/"), Goes,
       "", "KS      Río"},

      // ---- Stations
      {"station file missing", "rm stations.loc", Ends,
       "Error opening file stations.loc", "Too few stations"},
      {"precipitation file missing", "rm stations.ppt", Ends,
       "Error opening file stations.ppt", "no data line for simulated years"},
      {"precipitation file is /dev/null", link("/dev/null", "stations.ppt"),
       Ends, "Error reading file header stations.ppt"},
      // needs: hang fix
      {"station file is /dev/zero", link("/dev/zero", "stations.loc"), Ends,
       "in file stations.loc"},
      {"station X not a number",
       sed("stations.loc", "s/^KS_005 927553/KS_005 92x553/"), Goes,
       "Invalid station X KS_005 92x553"},
      {"station list without END", sed("stations.loc", "/^END/d"), Goes,
       "Invalid station X stations placed"},
      {"NaN precipitation", sed("stations.ppt", "s/^1950 18.35/1950 NaN/"),
       Goes, "Invalid precip data 1950 NaN"},
      {"negative precipitation",
       sed("stations.ppt", "s/^1950 18.35/1950 -18.35/"), Goes,
       "Invalid precip data 1950 -18.35"},
      {"second line for a year in the precipitation file",
       sed("stations.ppt", "/^1950 /p"), Goes,
       "Two data lines for one year in the precipitation file, the later is "
       "used: stations.ppt, year 1950 on lines "},
      {"stations on one straight line",
       "awk '/^[A-Z][A-Z]_/{$3=\"14200000\"}1' stations.loc > t && "
       "mv t stations.loc",
       Ends,
       "The station layout cannot carry the drift order of the kriging, "
       "its system is singular: drift order 1 with these 6 stations"},
      {"station far from the grid",
       "awk '/^CO_001/{$2=\"100000000\"}1' stations.loc > t && "
       "mv t stations.loc",
       Goes,
       "A station lies more than 100 grid widths from the grid: CO_001 "
       "at 1e+08 "},
      {"precipitation years in reverse order",
       sed("stations.ppt", "/^1949/{h;d}; /^1950/G"), Same},
      {"CRLF station and terrain files",
       sed("stations.loc stations.ppt terrain.dat", R"(s/$/\r/)"), Same},

      // ---- Terrain
      {"terrain class grid missing", "rm terrain.zon", Ends,
       "Error opening file terrain.zon"},
      {"terrain multiplier file missing", "rm terrain.dat", Ends,
       "Error opening file terrain.dat",
       "No terrain multiplier locations for the TERRAIN classes: terrain.dat"},
      {"terrain multiplier file is /dev/null", link("/dev/null", "terrain.dat"),
       Ends, "Error reading file header terrain.dat"},
      // needs: hang fix
      {"terrain multiplier file is /dev/zero", link("/dev/zero", "terrain.dat"),
       Ends, "in file terrain.dat"},
      {"NaN terrain multiplier", sed("terrain.dat", "3s/1.04/NaN/"), Goes,
       "Invalid terrain multiplier 578165 14249317 NaN"},
      // Kriged multipliers below 0 become 0 without LIMIT: a warning a cell.
      {"negative terrain multiplier",
       sed("terrain.dat", "3s/1.04/-50/") + " && " + par("s/ LIMIT.*//"), Goes,
       "the first: WARNING: Terrain multiplier error",
       "WARNING: Terrain multiplier error           91          44"},
      {"two terrain locations at one place",
       sed("terrain.dat", "3s/^578165 14249317/417928 14254381/"), Ends,
       "Two terrain multiplier locations at the same place"},

      // ---- FUNCTION
      {"function not starting at zero",
       par("s/^  0.0   0.0000/  1.0   0.0000/"), Goes,
       "FUNCTION data must start at zero"},
      {"function not increasing", par("s/^ 10.0 /  4.0 /"), Goes,
       "FUNCTION data not monotone increasing"},
      {"NaN in the function table", par("s/^ 10.0   0.1280/ 10.0   NaN/"), Goes,
       "Invalid FUNCTION data  10.0   NaN"},
      {"function row one value short",
       par("s/^ 10.0   0.1280 0.5760/ 10.0   0.1280/"), Goes,
       "Invalid FUNCTION data  10.0   0.1280   0.0800"},
      {"function table below the precipitation",
       par("/^ [234]5.0 /d; /^ [34]0.0 /d"), Ends,
       "Value out of range in BINFIND"},
      {"FUNCTION before SOIL",
       par("/^SOIL /d; s/^FUNCTION .*/&\\nSOIL soil.zon/"), Ends,
       "No SOILs specified before FUNCTION", "Value out of range in BINFIND"},

      // ---- Text cell array files
      {"letter in a cell array", sed("co/steady.pmp", "3s/^0 /x /"), Ends,
       "Error reading file co/steady.pmp"},
      {"NaN in a cell array", sed("co/steady.pmp", "3s/^0 /NaN /"), Ends,
       "Error reading file co/steady.pmp"},
      {"cell array is a folder", folder("co/steady.pmp"), Ends,
       "Error opening file co/steady.pmp"},
      {"cell array is /dev/null", link("/dev/null", "ks/steady.pmp"), Ends,
       "Error reading file ks/steady.pmp"},
      {"cell array is /dev/zero", link("/dev/zero", "ne/steady.mi"), Ends,
       "Error reading file ne/steady.mi"},
      {"July cell array cut short", sed("co/1950.07.pmp", "100,$d"), Stops,
       "Error reading file co/1950.07.pmp"},
      // The row where reading failed, and the periods the model files hold.
      {"an early end says which periods the model files hold",
       sed("co/1950.07.pmp", "100,$d"), Stops, "  at row 100",
       "The RCH and WEL files hold periods 1 to 7 of 13; they are incomplete"},
      {"cell array is a pipe", "rm co/steady.pmp && mkfifo co/steady.pmp", Ends,
       "Not a regular file, quon reads only files (a pipe or device would hang "
       "the run): co/steady.pmp"},
      {"CRLF cell arrays, one without final line end",
       sed("co/1950.07.pmp ks/1950.agw xfactor.dat", R"(s/$/\r/)") + " && " +
           unterminated("ne/1950.07.pmp"),
       Same},
      {"letter in the XFACTOR grid", sed("xfactor.dat", "3s/^1 /x /"), Ends,
       "Error reading file xfactor.dat"},
      // No cell holds such an amount: the run ends before it fills the
      // tables with asterisks.
      {"huge finite well rate",
       "awk 'NR==34{$51=\"1e300\"}1' co/steady.pmp > t && mv t co/steady.pmp",
       Ends,
       "A value no cell can hold (magnitude above 1e15), the file is "
       "damaged or of the other byte order: co/steady.pmp"},
      {"well rate not finite",
       "awk 'NR==34{$51=\"1.7e308\"}1' co/steady.pmp > t && "
       "cp t t2 && mv t co/steady.pmp && mv t2 ks/steady.pmp",
       Ends,
       "magnitude above 1e15), the file is damaged or of the other byte "
       "order: co/steady.pmp"},
      {"extra value in a row of a cell array",
       "awk 'NR==34{$0=$0\" 7\"}1' co/steady.pmp > t && mv t co/steady.pmp",
       Goes,
       "Values left over in a cell array file, every later value would "
       "be shifted: co/steady.pmp, row 34, 1 value",
       "WARNING: Values left over in a cell array file"},
      {"header line in a cell array", sed("co/1950.07.pmp", "1i 165 326"), Goes,
       "shifted: co/1950.07.pmp, row 1, 2 values"},
      {"decimal comma in a cell array", sed("ks/steady.pmp", "3s/^0 /53,04 /"),
       Goes, "shifted: ks/steady.pmp, row 1, 1 value"},
      {"values after the last row",
       "cp ne/steady.mi t && echo 1 2 3 >> t && mv t ne/steady.mi", Goes,
       "shifted: ne/steady.mi, after row 165, 3 values"},

      // ---- Outputs
      {"WEL file in a missing folder", par("s/^WELL .*/WELL nodir\\/quon.wel/"),
       Ends, "Cannot open file nodir/quon.wel"},
      {"WEL file is a folder", folder("quon.wel"), Ends,
       "Cannot open file quon.wel"},
      // The failed writes are found once the first period's RCH records are
      // out.
      {"WEL file is /dev/full", par("s/^WELL .*/WELL \\/dev\\/full/"), Stops,
       "Cannot write to file /dev/full"},
      {"RCH file in a missing folder",
       par("s/^RECHARGE precip.rch/RECHARGE nodir\\/p.rch/"), Ends,
       "Cannot open file nodir/p.rch"},
      {"RCH file is /dev/full",
       par("s/^RECHARGE precip.rch/RECHARGE \\/dev\\/full/"), Stops,
       "Cannot write to file /dev/full"},
      {"fort.2 is a folder", "mkdir fort.2", Ends, "Cannot open file fort.2"},
      {"sub-area folder missing", "rm -r quon", Ends,
       "Cannot open file quon/pump.bsn"},
      {"store folder missing", par("s/^FILE store/FILE nostore/"), Goes,
       "Cannot open file nostore/1950.ppt"},
      {"a folder where a store file goes", "mkdir store/1950.ppt", Goes,
       "Cannot open file store/1950.ppt"},
      {"pumping table is a folder", "mkdir 1950.csv", Stops,
       "Cannot open file 1950.csv"},
      {"pumping table is /dev/full", link("/dev/full", "1950.csv"), Stops,
       "Cannot write to file 1950.csv"},
      {"function table file is /dev/full", link("/dev/full", "funtable.txt"),
       Goes, "Cannot write file funtable.txt"},
      {"APPEND to model files that do not exist", par("s/^WELL .*/&\\nAPPEND/"),
       Goes,
       "APPEND to a file that is new or empty: its header line is written: "
       "quon.wel"},
      {"WEL file name longer than the name kept",
       par("s/^WELL .*/WELL " + std::string(300, 'w') + "/"), Ends,
       "Output file name longer than the name quon keeps, the file would land "
       "elsewhere: WELL www"},
      {"store name longer than the name kept",
       par("s/^FILE store ppt/FILE store precipitation_grids/"), Ends,
       "Output file name longer than the name quon keeps, the file would land "
       "elsewhere: FILE store precipitation_grids"},

      // ---- No output lands on a file the run reads
      {"fort.2 a link to the parameter file", link("quon.par", "fort.2"), Keeps,
       "quon.par (parameter file) and fort.2 (report file)"},
      {"fort.2 a link to the station file", link("stations.loc", "fort.2"),
       Keeps, "stations.loc (STATIONS location file) and fort.2 (report file)"},
      {"parameter file named fort.2",
       "mv quon.par fort.2 && ln -s fort.2 quon.par", Keeps,
       "(parameter file) and fort.2 (report file)"},
      {"IBOUND grid named fort.2",
       "cp ibound.zon fort.2 && " + par("s/^IBOUND .*/IBOUND fort.2/"), Keeps,
       "fort.2 (IBOUND grid and report file)"},
      {"terrain plot on the station file of a later line",
       par("s/terrain.plt/stations.loc/"), Keeps,
       "stations.loc (STATIONS location file and TERRAIN plot file)"},
      {"function table on the grid of a later line",
       par("/^IBOUND /{h;d}; $G; s/^FUNCTION funtable.txt/FUNCTION "
           "ibound.zon/"),
       Keeps, "ibound.zon (IBOUND grid and FUNCTION table file)"},
      {"sub-area file a link to an input",
       link("../stations.ppt", "quon/pump.bsn"), Keeps,
       "quon/pump.bsn (sub-area pumping file)"},
      {"pumping table a link to an input", link("stations.loc", "1950.csv"),
       Keeps, "1950.csv (ANNPUMP table)"},
      {"store file a link to a state file",
       link("../co/1950.asw", "store/1950.ppt"), Keeps,
       "store/1950.ppt (FILE store file 1)"},
      {"WEL file a link to a state file",
       "ln -s co/1950.asw w.wel && " + par("s/^WELL .*/WELL w.wel/"), Keeps,
       "co/1950.asw (a file the run reads) and w.wel (WELL file)"},
      {"WEL file a dangling link to an RCH file",
       "ln -s precip.rch w.wel && " + par("s/^WELL .*/WELL w.wel/"), Keeps,
       "w.wel (WELL file) and precip.rch (RECHARGE file 1)"},
      {"IBOUND given twice, the first grid named as WEL file",
       "cp ibound.zon ib2.zon && " +
           par("s/^IBOUND .*/&\\nIBOUND ib2.zon/; s/^WELL .*/WELL ibound.zon/"),
       Keeps, "ibound.zon (a file the run reads and WELL file)"},
      {"an early end replaces no side file",
       "echo old | tee funtable.txt terrain.plt quon/pump.bsn quon/rech.bsn "
       "&& " +
           sed("stations.ppt", "/^1950 /d"),
       Keeps, "no data line for simulated years: 1950"},
  };
  for (const Row &row : rows)
    check(row);
}

// Each unformatted file holds one record of 53,790 8-byte reals between
// two 4-byte length words (430,320 = F0 90 06 00).
TEST_F(Catalogue, UnformattedRunFolder) {
  ASSERT_NO_FATAL_FAILURE(make_base(true));
  const Row rows[] = {
      // needs: BIN (every row of this table)
      {"wrong length words", poke("co/steady.pmp", 0, 4, R"(\0\0\0\1)"), Ends,
       "Cannot read file co/steady.pmp"},
      {"short record", cut("co/steady.pmp", 1000), Ends,
       "Cannot read file co/steady.pmp"},
      {"NaN value", poke("co/steady.pmp", 1004, 8, R"(\0\0\0\0\0\0\370\177)"),
       Ends, "Cannot read file co/steady.pmp"},
      {"text file under BIN", "rm co/steady.pmp && seq 53790 > co/steady.pmp",
       Ends, "Cannot read file co/steady.pmp"},
      {"empty file", "rm co/steady.pmp && touch co/steady.pmp", Ends,
       "Cannot read file co/steady.pmp"},
      {"cell array is a folder", folder("co/steady.pmp"), Ends,
       "Cannot open file co/steady.pmp"},
      {"cell array is /dev/zero", link("/dev/zero", "co/steady.pmp"), Ends,
       "Cannot read file co/steady.pmp"},
      // 1e284 where a value of the other byte order lands.
      {"value of the other byte order",
       poke("co/steady.pmp", 804, 8, R"(\177\107\054\033\004\205\345\172)"),
       Ends,
       "A value no cell can hold (magnitude above 1e15), the file is "
       "damaged or of the other byte order: co/steady.pmp"},
      // Accepted as the Fortran runtime accepts them: the first 53,790
      // values of a longer record, and a record without its trailing word.
      {"record longer than the grid",
       poke("co/1950.07.pmp", 0, 4, R"(\370\220\6\0)") + " && " +
           poke("co/1950.07.pmp", 430324, 4,
                R"(\0\0\0\0\0\0\360\77\370\220\6\0)"),
       Same},
      {"trailing length word missing", cut("co/1950.07.pmp", 430324), Same},
  };
  for (const Row &row : rows)
    check(row);
}

} // namespace

// inputs_stations_test.cpp - the STATIONS line, the station location file
// and the station precipitation file: what is stored, what is reported and
// where reading stops.

#include <gtest/gtest.h>

#include "inputs.h"
#include "tables.h"
#include "testutil.h"

namespace quon {
namespace {

using test::read_file;
using test::write_file;

class ReadStation : public test::InTempDir {
protected:
  std::unique_ptr<quon::Run> run = make_run();
  std::string reports; // what went to standard error

  // Sets the parameter line as the keyword handler leaves it (just past
  // the keyword) and reads the stations.
  void stations(const std::string &rest) {
    const std::string line = "STATIONS " + rest;
    run->line.set(line);
    run->linelen = int(line.size());
    run->linepos = 9;
    testing::internal::CaptureStderr();
    readstation(*run);
    reports = testing::internal::GetCapturedStderr();
  }
  double ppt(int year, int i) const {
    return run->stations.ppt[year - FIRSTYEAR][i];
  }
  int count(const std::string &text) const {
    int n = 0;
    for (std::size_t p = reports.find(text); p != std::string::npos;
         p = reports.find(text, p + 1))
      ++n;
    return n;
  }
};

TEST_F(ReadStation, ReadsStationsAndYearsUpToEnd) {
  write_file("loc.txt", "name x y\n"
                        "# a comment\n"
                        "\n"
                        "Alpha 100.5 200 extra words\n"
                        "Beta\t-3e2 4.5\n"
                        "G\xC3\xA1mma 1 2\n" // UTF-8 letters stay
                        "END\n"
                        "Delta 5 6\n");
  write_file("ppt.txt", "year Alpha Beta G\xC3\xA1mma\n"
                        "1950 10.5 11 12\n"
                        "#1951 1 1 1\n"
                        "1910 1 2 3 99\n"
                        "2150 4 5 6\n"
                        "1909 7 7 7\n"
                        "2151 8 8 8\n"
                        "1950 20 21 22\n"
                        "END   \n"
                        "1960 9 9 9\n");
  stations("loc.txt ppt.txt 2");
  EXPECT_EQ(reports,
            "Two data lines for one year in the precipitation file, "
            "the later is used: ppt.txt, year 1950 on lines 2 and 8\n");
  EXPECT_EQ(run->linepos, int(run->pline().size()) + 1);
  const StationTable &st = run->stations;
  EXPECT_EQ(st.count, 3);
  EXPECT_EQ(st.drift, 2);
  EXPECT_EQ(st.name[0].trimmed(), "Alpha");
  EXPECT_EQ(st.name[1].trimmed(), "Beta");
  EXPECT_EQ(st.name[2].trimmed(), "G\xC3\xA1mma");
  EXPECT_EQ(st.x[0], 100.5);
  EXPECT_EQ(st.y[0], 200.0);
  EXPECT_EQ(st.x[1], -300.0);
  EXPECT_EQ(st.y[1], 4.5);
  EXPECT_EQ(st.x[2], 1.0);
  // The later line for a year stands; the table ends are kept.
  EXPECT_EQ(ppt(1950, 0), 20.0);
  EXPECT_EQ(ppt(1950, 2), 22.0);
  EXPECT_EQ(ppt(1910, 0), 1.0);
  EXPECT_EQ(ppt(1910, 2), 3.0);
  EXPECT_EQ(ppt(2150, 1), 5.0);
  EXPECT_EQ(ppt(1951, 0), 0.0); // comment line
  EXPECT_EQ(ppt(1960, 0), 0.0); // after END
  EXPECT_EQ(st.ppt[0][3], 0.0); // nothing stored past the count
}

TEST_F(ReadStation, EndMustBeUpperCaseFromTheFirstCharacter) {
  write_file("loc.txt", "h\nA 1 2\nend 3 4\n END 5 6\nEND\n");
  write_file("ppt.txt", "y A end END\n");
  stations("loc.txt ppt.txt 0");
  EXPECT_EQ(run->stations.count, 3);
  EXPECT_EQ(run->stations.name[1].trimmed(), "end");
  EXPECT_EQ(run->stations.name[2].trimmed(), "END");
  EXPECT_EQ(run->stations.x[2], 5.0);
  EXPECT_EQ(reports, "");
}

TEST_F(ReadStation, HeaderOrderIsCheckedWordByWord) {
  // A 20-character name is stored as its first 16 characters; the header
  // word is compared in full and so differs.
  write_file("loc.txt", "h\nABCDEFGHIJKLMNOPQRST 1 2\nB 3 4\nC 5 6\n");
  write_file("ppt.txt", "yr ABCDEFGHIJKLMNOPQRST C B\n"
                        "2000 1 2 3\n");
  stations("loc.txt ppt.txt 1");
  EXPECT_EQ(run->stations.name[0].full(), "ABCDEFGHIJKLMNOP");
  // Each report names the file and line it is about.
  EXPECT_EQ(reports,
            "Precip data out of order ABCDEFGHIJKLMNOPQRST (ppt.txt line 1)\n"
            "Precip data out of order C (ppt.txt line 1)\n"
            "Precip data out of order B (ppt.txt line 1)\n");
  // Values go by position, not by name.
  EXPECT_EQ(ppt(2000, 1), 2.0);
  EXPECT_EQ(ppt(2000, 2), 3.0);

  // A header with too few names compares the missing ones as blank.
  write_file("ppt.txt", "yr ABCDEFGHIJKLMNOP\n");
  stations("loc.txt ppt.txt 1");
  EXPECT_EQ(count("Precip data out of order"), 2);
}

TEST_F(ReadStation, BadValuesAreReportedAndReadingGoesOn) {
  write_file("loc.txt", "h\nA 1 2\nB x 4\nC 5\n\"\n");
  write_file("ppt.txt", "y A B C \"\"\n"
                        "1995 1 2\n"
                        "19x5 1 2 3 4\n"
                        "1996 1 q 3 4\n"
                        "1997 1.5e1 2d1 1 1\n");
  stations("loc.txt ppt.txt 0");
  EXPECT_EQ(run->stations.count, 4);
  EXPECT_EQ(count("Invalid station X B x 4 (loc.txt line 3)\n"), 1);
  EXPECT_EQ(count("Invalid station Y C 5 (loc.txt line 4)\n"), 1);
  // An unclosed quote is no name, and then no coordinates either.
  EXPECT_EQ(count("Invalid station name \" (loc.txt line 5)\n"), 1);
  EXPECT_EQ(count("Invalid station X \" (loc.txt line 5)\n"), 1);
  EXPECT_EQ(run->stations.x[1], 0.0);
  EXPECT_EQ(run->stations.y[1], 4.0);
  // Two of four values for 1995: two reports with the line.
  EXPECT_EQ(count("Invalid precip data 1995 1 2 (ppt.txt line 2)\n"), 2);
  EXPECT_EQ(ppt(1995, 1), 2.0);
  EXPECT_EQ(ppt(1995, 2), 0.0);
  EXPECT_EQ(count("Invalid precip year 19x5 1 2 3 4 (ppt.txt line 3)\n"), 1);
  EXPECT_EQ(count("Invalid precip data 1996 1 q 3 4 (ppt.txt line 4)\n"), 1);
  EXPECT_EQ(ppt(1996, 2), 3.0);
  EXPECT_EQ(ppt(1997, 0), 15.0);
  EXPECT_EQ(ppt(1997, 1), 20.0);
  EXPECT_EQ(count("Precip data out of order"), 0);
}

TEST_F(ReadStation, ParameterLineFaults) {
  write_file("loc.txt", "h\nA 1 2\n");
  write_file("ppt.txt", "y A\n2000 7\n");
  stations("loc.txt ppt.txt 4");
  EXPECT_EQ(reports,
            "Invalid STATION drift order STATIONS loc.txt ppt.txt 4\n");
  EXPECT_EQ(run->stations.drift, 4); // kept as read
  EXPECT_EQ(ppt(2000, 0), 7.0);

  stations("loc.txt ppt.txt");
  EXPECT_EQ(reports, "Invalid STATION drift order STATIONS loc.txt ppt.txt\n");
  stations("loc.txt ppt.txt 1.5");
  EXPECT_EQ(count("Invalid STATION drift order "), 1);
  stations("loc.txt ppt.txt -1");
  EXPECT_EQ(count("Invalid STATION drift order "), 1);

  // Nothing after the keyword: both names missing, no file can be opened;
  // the run goes on with no stations.
  run->stations.count = 5;
  stations("");
  EXPECT_EQ(count("Invalid STATION location file name STATIONS"), 1);
  EXPECT_EQ(count("Invalid STATION precipitation file name STATIONS"), 1);
  EXPECT_EQ(count("Invalid STATION drift order STATIONS"), 1);
  EXPECT_EQ(count("Error opening file"), 2);
  EXPECT_EQ(run->stations.count, 0);
}

TEST_F(ReadStation, MissingFiles) {
  write_file("loc.txt", "h\nA 1 2\nB 3 4\n");
  run->stations.ppt[0][0] = 9.0;
  stations("loc.txt nothere.txt 0");
  EXPECT_EQ(reports, "Error opening file nothere.txt\n");
  EXPECT_EQ(run->stations.count, 2);
  EXPECT_EQ(ppt(FIRSTYEAR, 0), 0.0); // the stations' table is reset

  write_file("ppt.txt", "y\n2000 1\n");
  stations("gone.txt ppt.txt 0");
  EXPECT_EQ(reports, "Error opening file gone.txt\n");
  EXPECT_EQ(run->stations.count, 0);
}

TEST_F(ReadStation, FileWithoutHeaderEndsTheRun) {
  write_file("loc.txt", "");
  write_file("ppt.txt", "y\n");
  try {
    stations("loc.txt ppt.txt 0");
    ADD_FAILURE() << "the run did not end";
  } catch (const RunEnd &e) {
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(e.status, 1);
  }
  close_report();
  EXPECT_EQ(read_file("fort.2"), " Error reading file header loc.txt\n");
}

TEST_F(ReadStation, SecondCallReplacesTheFirst) {
  write_file("loc1.txt", "h\nA 1 2\nB 3 4\nC 5 6\n");
  write_file("ppt1.txt", "y A B C\n2000 1 2 3\n");
  stations("loc1.txt ppt1.txt 0");
  write_file("loc2.txt", "h\nD 7 8\n");
  write_file("ppt2.txt", "y D\n2001 4\n");
  stations("loc2.txt ppt2.txt 3");
  EXPECT_EQ(run->stations.count, 1);
  EXPECT_EQ(run->stations.name[0].trimmed(), "D");
  EXPECT_EQ(ppt(2000, 0), 0.0); // only the new stations are reset
  EXPECT_EQ(ppt(2000, 1), 2.0);
  EXPECT_EQ(ppt(2001, 0), 4.0);
}

TEST_F(ReadStation, StationsPastTheTableAreDropped) {
  std::string loc = "h\n", head = "y", data = "2000";
  for (int i = 1; i <= MAXSTATION + 2; ++i) {
    loc += "S" + std::to_string(i) + " " + std::to_string(i) + " 0\n";
    head += " S" + std::to_string(i);
    data += " " + std::to_string(i);
  }
  write_file("loc.txt", loc);
  write_file("ppt.txt", head + "\n" + data + "\n");
  stations("loc.txt ppt.txt 0");
  EXPECT_EQ(count("Too many stations (loc.txt line 13"), 2);
  EXPECT_EQ(count("Precip data"), 0);
  const StationTable &st = run->stations;
  EXPECT_EQ(st.count, MAXSTATION);
  EXPECT_EQ(st.name[MAXSTATION - 1].trimmed(), "S128");
  EXPECT_EQ(st.x[MAXSTATION - 1], 128.0);
  EXPECT_EQ(ppt(2000, MAXSTATION - 1), 128.0);
}

TEST_F(ReadStation, LongLinesAreCutAtTheLineLength) {
  // A value that begins past the line length is not there.
  const std::string pad(LINELEN - 6, ' ');
  write_file("loc.txt", "h\nA 1 2\nB 3 4\n");
  write_file("ppt.txt", "y A B\n2000 1" + pad + " 2\n");
  stations("loc.txt ppt.txt 0");
  EXPECT_EQ(ppt(2000, 0), 1.0);
  EXPECT_EQ(ppt(2000, 1), 0.0);
  EXPECT_EQ(count("Invalid precip data 2000 1 (ppt.txt line 2)\n"), 1);
}

} // namespace
} // namespace quon

// testutil.h - helpers shared by the tests: a fresh working folder per test
// (quon writes fort.2 and its outputs in the working directory), and small
// file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "files.h"
#include "quon.h"
#include "reporters.h"

namespace quon::test {

// Makes a new empty folder and enters it; leaves and removes it at the end.
class InTempDir : public ::testing::Test {
protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::string tmpl =
        (std::filesystem::temp_directory_path() / "quon-test-XXXXXX").string();
    char *d = mkdtemp(tmpl.data());
    ASSERT_NE(d, nullptr);
    dir_ = d;
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_, old_;
};

// A fresh folder for tests of readers and reporters: the report file they
// write is closed at the end, and one input file object is at hand.
class ReportDir : public InTempDir {
protected:
  void TearDown() override {
    close_report();
    InTempDir::TearDown();
  }
  InFile in;
};

// The lines of a text, without their line ends.
inline std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    out.push_back(l);
  return out;
}

// Runs cmd with the shell; its exit status, or -1 when it did not exit.
inline int shell(const std::string &cmd) {
  const int st = std::system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

inline void write_file(const std::string &name, const std::string &text) {
  std::filesystem::path p(name);
  if (p.has_parent_path())
    std::filesystem::create_directories(p.parent_path());
  std::ofstream f(name, std::ios::binary);
  f << text;
}

inline std::string read_file(const std::string &name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The console text without the summary a run prints at its end (its lines
// start with "quon: "): what is left are the run's reports.
inline std::string reports_of(const std::string &console) {
  std::string out;
  std::istringstream in(console);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("quon: ", 0) != 0)
      out += line + "\n";
  return out;
}

// Number of times text occurs in s.
inline int count_of(const std::string &s, std::string_view text) {
  int n = 0;
  for (std::size_t p = s.find(text); p != std::string::npos;
       p = s.find(text, p + 1))
    ++n;
  return n;
}

// A whole grid as one unformatted record, as BIN mode reads it.
inline void write_bin(const std::string &path, const CellArray &a) {
  const std::int32_t m = 430320;
  std::string s(reinterpret_cast<const char *>(&m), 4);
  s.append(reinterpret_cast<const char *>(a.data()), sizeof a);
  s.append(reinterpret_cast<const char *>(&m), 4);
  write_file(path, s);
}

// A grid that is zero except at the given cells.
struct Sparse {
  std::unique_ptr<CellArray> a = std::make_unique<CellArray>();
  Sparse &at(int c, int r, double v) {
    (*a)[cell(c, r)] = v;
    return *this;
  }
  void write(const std::string &path) const { write_bin(path, *a); }
};

} // namespace quon::test

// testutil.h - helpers shared by the tests: a fresh working folder per test
// (quon writes fort.2 and its outputs in the working directory), and small
// file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

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

} // namespace quon::test

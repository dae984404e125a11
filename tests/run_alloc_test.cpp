// run_alloc_test.cpp - a run allocates its tables once: the number of heap
// allocations of a whole run must not grow with the number of periods.
//
// This test program replaces the global operator new to count allocations,
// then runs the program in-process on generated scenarios of one and of
// three transient years (13 and 37 periods, text and unformatted files, and
// with the MODFLOW 6 files).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "run.h"
#include "testutil.h"

namespace {
std::atomic<long> allocations{0};
std::atomic<bool> counting{false};
} // namespace

void *operator new(std::size_t n) {
  if (counting)
    ++allocations;
  if (void *p = std::malloc(n ? n : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace {

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";

class Allocations : public quon::test::InTempDir {};

// Allocations made by one in-process run of the scenario in folder dir.
long run_counted(const std::string &dir) {
  const std::string here = std::filesystem::current_path().string();
  std::filesystem::current_path(dir);
  char prog[] = "quon", par[] = "quon.par";
  char *argv[] = {prog, par, nullptr};
  allocations = 0;
  counting = true;
  const int status = quon::quon_main(2, argv);
  counting = false;
  std::filesystem::current_path(here);
  EXPECT_EQ(status, 0) << dir;
  return allocations;
}

void generate(const std::string &dir, const std::string &opts) {
  const std::string cmd = GEN + " --out " + dir +
                          " --seed 3 --stations 16 --drift 1 " + opts +
                          " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << cmd;
}

TEST_F(Allocations, DoNotGrowWithThePeriodsOfARun) {
  // "MF6": text files, and the MODFLOW 6 files written besides.
  for (const std::string mode : {"", "--bin", "MF6"}) {
    const bool mf6 = mode == "MF6";
    generate("short", "--years 1 " + (mf6 ? "" : mode));
    generate("long", "--years 3 " + (mf6 ? "" : mode));
    // Every MF6 option (the layer grids all 2), and the budget table as CSV
    // too: a row per value, none allocated.
    std::string row, layers;
    for (int c = 0; c < 326; ++c)
      row += "2 ";
    for (int r = 0; r < 165; ++r)
      layers += row + "\n";
    for (const char *d : {"short", "long"}) {
      const std::string par = std::string(d) + "/quon.par";
      if (mf6)
        quon::test::write_file(std::string(d) + "/layers.txt", layers);
      quon::test::write_file(
          par, quon::test::read_file(par) + "BUDGETCSV budget.csv\n" +
                   (mf6 ? "MF6 m DAYS PREFIX P_ IRCH layers.txt WELLAYER "
                          "layers.txt\n"
                        : ""));
    }
    // A first run may set up what the C++ library makes once per process.
    run_counted("short");
    const long a = run_counted("short");
    const long b = run_counted("long");
    EXPECT_GT(a, 0) << "the counter must see the run's own tables";
    EXPECT_EQ(a, b) << "allocations of a 1-year and a 3-year run " << mode;
    std::filesystem::remove_all("short");
    std::filesystem::remove_all("long");
  }
}

} // namespace

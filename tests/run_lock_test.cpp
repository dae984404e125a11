// run_lock_test.cpp - two real quon processes: a second run that would
// write an output the first one is writing, reached by another folder, an
// absolute path or a link, is refused naming the file, and leaves the first
// run's output as a run alone writes it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "messages.h"
#include "testutil.h"

namespace quon {
namespace {

namespace fs = std::filesystem;

const std::string GEN = QUON_BINARY_DIR "/tools/gen_scenario";
const std::string QUON = QUON_BINARY_DIR "/quon";

class Lock : public test::InTempDir {};

// Starts quon on quon.par in folder dir, its streams to files there.
pid_t start(const std::string &dir) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0)
      ::_exit(127);
    if (!std::freopen("out.txt", "w", stdout) ||
        !std::freopen("err.txt", "w", stderr))
      ::_exit(127);
    ::execl(QUON.c_str(), "quon", "quon.par", static_cast<char *>(nullptr));
    ::_exit(127);
  }
  return pid;
}

int wait_status(pid_t pid) {
  int st = 0;
  ::waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

TEST_F(Lock, ASecondRunWritingTheSameOutputIsRefused) {
  ASSERT_EQ(test::shell(GEN + " --out solo --years 4 --rch 1 >/dev/null"), 0);
  // The WEL file of a run alone, for comparison.
  ASSERT_EQ(test::shell("cp -a solo a && cd solo && " + QUON +
                        " quon.par >/dev/null 2>&1"),
            0);
  const std::string want = test::read_file("solo/quon.wel");
  fs::create_directory_symlink(fs::absolute("a"), "alink");

  // How the second run, in its own folder, names the first run's WEL file.
  const std::string here = fs::current_path().string();
  const std::string names[] = {here + "/a/quon.wel", "../alink/quon.wel"};
  for (const std::string &name : names) {
    fs::remove_all("b");
    fs::remove("a/quon.wel");
    ASSERT_EQ(test::shell("cp -a solo b"), 0);
    fs::remove("b/quon.wel");
    test::write_file("b/quon.par", [&] {
      std::string par = test::read_file("b/quon.par");
      const auto at = par.find("WELL quon.wel");
      EXPECT_NE(at, std::string::npos);
      return par.replace(at, 13, "WELL " + name);
    }());

    // The first run, stopped once it has begun its WEL file.
    const pid_t first = start("a");
    for (int i = 0; i < 4000 && !(fs::exists("a/quon.wel") &&
                                  fs::file_size("a/quon.wel") > 0);
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(::kill(first, SIGSTOP), 0);
    ASSERT_TRUE(fs::exists("a/quon.wel")) << "the first run never began";

    const pid_t second = start("b");
    EXPECT_EQ(wait_status(second), 1) << name;
    const std::string err = test::read_file("b/err.txt");
    EXPECT_NE(err.find(std::string(msg::OUTPUT_LOCKED) + name),
              std::string::npos)
        << name << ": " << err;
    EXPECT_NE(test::read_file("b/fort.2").find(msg::OUTPUT_LOCKED),
              std::string::npos);

    ASSERT_EQ(::kill(first, SIGCONT), 0);
    EXPECT_EQ(wait_status(first), 0) << test::read_file("a/err.txt");
    EXPECT_EQ(test::read_file("a/quon.wel"), want) << name;

    // The lock ends with the run that held it.
    EXPECT_EQ(wait_status(start("b")), 0) << test::read_file("b/err.txt");
  }
}

} // namespace
} // namespace quon

// lock.cpp - the run's lock on its working folder and on each of its output
// files.

#include "lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include "messages.h"
#include "reporters.h"

namespace quon {

namespace {

int lockfd = -1;

// Descriptors that keep the outputs' locks: a lock taken on the output's
// own open file lives as long as one descriptor of it does, so a copy is
// kept after the output is closed. Room for this many is made once.
constexpr std::size_t HELDLOCKS = 4096;
std::vector<int> &held() {
  static std::vector<int> h;
  return h;
}

} // namespace

bool lock_folder() noexcept {
  if (lockfd >= 0)
    return true;
  const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return true; // a folder that cannot be read: the outputs' locks hold
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return !busy;
  }
  lockfd = fd;
  return true;
}

void release_folder() noexcept {
  if (lockfd >= 0)
    ::close(lockfd);
  lockfd = -1;
}

void release_outputs() noexcept {
  for (const int fd : held())
    ::close(fd);
  held().clear();
}

void lock_output(int fd, std::string_view name) {
  std::vector<int> &h = held();
  if (h.capacity() < HELDLOCKS) {
    try {
      h.reserve(HELDLOCKS);
    } catch (...) { // grown as needed
    }
  }
  int r;
  do
    r = ::flock(fd, LOCK_EX | LOCK_NB);
  while (r != 0 && errno == EINTR);
  if (r != 0) {
    if (errno == EWOULDBLOCK)
      endrun(msg::OUTPUT_LOCKED, name);
    endrun(msg::OUTPUT_LOCK_FAILED, name);
  }
  // The copy keeps the lock once the output is closed; without one (no
  // descriptor left) the lock lasts while the output is open.
  const int keep = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (keep >= 0) {
    try {
      h.push_back(keep);
    } catch (...) {
      ::close(keep);
    }
  }
}

} // namespace quon

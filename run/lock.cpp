// lock.cpp - the run's lock on its working folder.

#include "lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quon {

namespace {
int lockfd = -1;
} // namespace

bool lock_folder() noexcept {
  if (lockfd >= 0)
    return true;
  const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return true; // no folder to lock: opening the outputs will say so
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

} // namespace quon

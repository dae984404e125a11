// floor.cpp - the cost of merely moving a run's bytes, the floor quon's own
// run time is measured against: every input file the run reads is read whole
// with read(), and as many bytes as the run wrote are written with write() in
// large chunks. No parsing, no arithmetic, no formatting.
//
// Usage: floor <list file> <output folder>
// The list holds one step a line:
//   r PATH         read the file PATH whole (a missing file is an error)
//   w SIZE NAME    write SIZE bytes to <output folder>/NAME (created or
//                  truncated), in chunks of 1 MiB
// Exit status 0, or 1 with a message on stderr when a step fails.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kChunk = std::size_t(1) << 20;

// Reads PATH whole into buf (grown to the file's size, kept between files so
// that only the first and the largest files pay for fresh pages). Returns the
// bytes read, or -1 with errno set.
long read_whole(const std::string &path, std::vector<char> &buf) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0)
    return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return -1;
  }
  if (buf.size() < std::size_t(st.st_size) + 1)
    buf.resize(std::size_t(st.st_size) + 1);
  long total = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buf.data() + total, buf.size() - total);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      ::close(fd);
      return -1;
    }
    if (n == 0)
      break;
    total += n;
    if (std::size_t(total) == buf.size())
      buf.resize(buf.size() * 2);
  }
  ::close(fd);
  return total;
}

// Writes size bytes of chunk (repeated) to path in chunks of kChunk.
// Returns false with errno set when a step fails.
bool write_size(const std::string &path, long size,
                const std::vector<char> &chunk) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    return false;
  long left = size;
  while (left > 0) {
    const std::size_t want = left < long(kChunk) ? std::size_t(left) : kChunk;
    const ssize_t n = ::write(fd, chunk.data(), want);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      ::close(fd);
      return false;
    }
    left -= n;
  }
  return ::close(fd) == 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: floor <list file> <output folder>\n");
    return 1;
  }
  std::ifstream list(argv[1]);
  if (!list) {
    std::fprintf(stderr, "floor: cannot open %s\n", argv[1]);
    return 1;
  }
  const std::string outdir = argv[2];
  // Text-like content, so that no layer below can treat the output as sparse.
  std::vector<char> chunk(kChunk);
  for (std::size_t i = 0; i < kChunk; ++i)
    chunk[i] = i % 81 == 80 ? '\n' : char('0' + i % 10);
  std::vector<char> buf;
  long nread = 0, nwritten = 0;
  std::string line;
  int lineno = 0;
  while (std::getline(list, line)) {
    ++lineno;
    std::istringstream in(line);
    std::string step;
    in >> step;
    if (step.empty())
      continue;
    if (step == "r") {
      std::string path;
      std::getline(in >> std::ws, path);
      const long n = read_whole(path, buf);
      if (n < 0) {
        std::fprintf(stderr, "floor: %s line %d: cannot read %s: %s\n", argv[1],
                     lineno, path.c_str(), std::strerror(errno));
        return 1;
      }
      nread += n;
    } else if (step == "w") {
      long size = -1;
      std::string name;
      in >> size;
      std::getline(in >> std::ws, name);
      if (size < 0 || name.empty()) {
        std::fprintf(stderr, "floor: %s line %d: expected w SIZE NAME\n",
                     argv[1], lineno);
        return 1;
      }
      const std::string path = outdir + "/" + name;
      if (!write_size(path, size, chunk)) {
        std::fprintf(stderr, "floor: %s line %d: cannot write %s: %s\n",
                     argv[1], lineno, path.c_str(), std::strerror(errno));
        return 1;
      }
      nwritten += size;
    } else {
      std::fprintf(stderr, "floor: %s line %d: unknown step '%s'\n", argv[1],
                   lineno, step.c_str());
      return 1;
    }
  }
  std::printf("%ld bytes read, %ld bytes written\n", nread, nwritten);
  return 0;
}

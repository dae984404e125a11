// files.cpp - the file classes: sequential input and output files over POSIX
// descriptors (what makes two names one file is in filekey.cpp).
//
// Input keeps one buffer per file and hands out records as views into it, so
// reading a grid file of millions of values copies nothing and allocates
// nothing. Records end at LF, CR LF or a bare CR, the way the Fortran runtime
// that wrote and reads the model's files splits them.

#include "files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "filenames.h"
#include "messages.h"
#include "quon.h"
#include "reporters.h"

namespace quon {

static_assert(MAXRECORD == std::size_t(64) << 20,
              "the message of an over-long line names its bound");
static_assert(MAXRECORD > InFile::BUFSIZE);

namespace {

// First LF or CR in [p, end), or end.
const char *find_eol(const char *p, const char *end) {
  const char *lf =
      static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
  const char *stop = lf ? lf : end;
  const char *cr =
      static_cast<const char *>(std::memchr(p, '\r', std::size_t(stop - p)));
  return cr ? cr : stop;
}

// The watch of the run's files, and the faults a test asks for.
const FileWatch *watch = nullptr;
struct Faults {
  bool on = false;
  long write_at = 0, open_at = 0; // the nth write / open fails; 0: none
  long writes = 0, opens = 0;     // counted since they were set
  long opens_then = 0;            // opens counted when the fault hit
  char name[NAMEMAX] = {};
  std::size_t namelen = 0;
} faults;

// Counts one write (or open) of the file named name; true when it is the one
// that is to fail.
bool fault_due(bool open, std::string_view name) {
  long &n = open ? faults.opens : faults.writes;
  const long at = open ? faults.open_at : faults.write_at;
  if (++n != at)
    return false;
  const std::size_t k = std::min(name.size(), NAMEMAX - 1);
  std::memcpy(faults.name, name.data(), k);
  faults.namelen = k;
  faults.opens_then = faults.opens;
  return true;
}

// Files that are not regular files and would hang a reader or writer: pipes,
// sockets, terminals and disks. The memory devices (/dev/null, /dev/zero
// and their kin) end or fail at once and are left to the readers.
bool hangs(const struct stat &st) {
  if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
    return false;
  if (S_ISCHR(st.st_mode) && major(st.st_rdev) == 1)
    return false;
  return true;
}

// Takes O_NONBLOCK off a descriptor opened with it (so that opening a pipe
// could not wait for its other end).
void blocking(int fd) {
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0)
    ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
}

} // namespace

// ---- InFile -----------------------------------------------------------------

struct InFile::Impl {
  int fd = -1;
  std::unique_ptr<char[]> buf{new char[BUFSIZE]};
  char *pos = nullptr; // next unread byte
  char *lim = nullptr; // end of the bytes read into buf
  bool eof = false;    // the descriptor has nothing more to give
  // A CR ended the last record at the end of the buffer: an LF that follows
  // belongs to the same line end.
  bool pending_cr = false;
  // The last record was cut at BUFSIZE: the rest of its line is still to be
  // skipped.
  bool skip_rest = false;
  // No record has been read yet (a byte-order mark may come first).
  bool at_start = true;
  // backspace() was called: next() returns the last record again.
  bool putback = false;
  bool last_ok = false;
  std::int64_t lines = 0; // records handed out, less the one put back
  std::string_view last;
  char name[NAMEMAX] = {};
  std::size_t namelen = 0;

  void reset() {
    pos = lim = buf.get();
    eof = pending_cr = skip_rest = putback = last_ok = false;
    at_start = true;
    lines = 0;
    last = {};
  }

  // Moves the unread bytes to the start of the buffer and reads more after
  // them. False when nothing more could be read.
  bool fill() {
    if (eof)
      return false;
    char *b = buf.get();
    const std::size_t keep = std::size_t(lim - pos);
    if (pos != b && keep > 0)
      std::memmove(b, pos, keep);
    pos = b;
    lim = b + keep;
    const std::size_t room = BUFSIZE - keep;
    if (room == 0)
      return false;
    for (;;) {
      const ssize_t got = ::read(fd, lim, room);
      if (got > 0) {
        lim += got;
        return true;
      }
      if (got < 0 && errno == EINTR)
        continue;
      // End of file, or a read error: either way no more records.
      eof = true;
      return false;
    }
  }

  // Steps past the line end at e (LF, CR or CR LF).
  void past_eol(const char *e) {
    pos = const_cast<char *>(e) + 1;
    if (*e != '\r')
      return;
    if (pos < lim) {
      if (*pos == '\n')
        ++pos;
    } else {
      pending_cr = true;
    }
  }

  // Drops an LF left over from a CR LF split across two reads.
  void settle_cr() {
    if (!pending_cr)
      return;
    if (pos == lim)
      fill();
    if (pos < lim && *pos == '\n')
      ++pos;
    pending_cr = false;
  }

  // Skips the rest of a line whose first BUFSIZE bytes were handed out as a
  // record. A line longer than MAXRECORD ends the run: a file without line
  // ends (/dev/zero) would otherwise be skipped for ever.
  void skip_line() {
    skip_rest = false;
    std::size_t seen = BUFSIZE;
    for (;;) {
      const char *e = find_eol(pos, lim);
      seen += std::size_t(e - pos);
      if (seen > MAXRECORD)
        error2(msg::LINE_TOO_LONG, {name, namelen});
      if (e < lim) {
        past_eol(e);
        return;
      }
      pos = lim;
      if (!fill())
        return;
    }
  }

  bool next(std::string_view &rec) {
    if (putback) {
      putback = false;
      rec = last;
      lines += last_ok;
      return last_ok;
    }
    last_ok = false;
    last = {};
    if (fd < 0) {
      rec = {};
      return false;
    }
    if (skip_rest)
      skip_line();
    settle_cr();
    if (at_start) {
      // A byte-order mark some editors put at the start of a UTF-8 text is
      // not part of its first record.
      at_start = false;
      while (lim - pos < 3 && fill()) {
      }
      if (lim - pos >= 3 && std::memcmp(pos, "\xEF\xBB\xBF", 3) == 0)
        pos += 3;
    }
    for (;;) {
      const char *e = find_eol(pos, lim);
      if (e < lim) {
        last = std::string_view(pos, std::size_t(e - pos));
        past_eol(e);
        break;
      }
      if (std::size_t(lim - pos) == BUFSIZE) {
        // A line longer than the buffer: hand out its first BUFSIZE bytes.
        last = std::string_view(pos, BUFSIZE);
        pos = lim;
        skip_rest = true;
        break;
      }
      if (!fill()) {
        if (pos == lim) {
          rec = {};
          return false;
        }
        // The last record has no line end.
        last = std::string_view(pos, std::size_t(lim - pos));
        pos = lim;
        break;
      }
    }
    last_ok = true;
    ++lines;
    rec = last;
    return true;
  }
};

InFile::InFile() : p_(std::make_unique<Impl>()) { p_->reset(); }

InFile::~InFile() { close(); }

bool InFile::open(std::string_view name) {
  close();
  char cname[NAMEMAX];
  if (!c_name(name, cname))
    return false;
  const int fd = ::open(cname, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (hangs(st)) {
    ::close(fd);
    endrun(msg::NOT_REGULAR, trim_name(name));
  }
  blocking(fd);
  if (watch && S_ISREG(st.st_mode)) {
    try {
      watch->input(std::uint64_t(st.st_dev), std::uint64_t(st.st_ino),
                   trim_name(name));
    } catch (...) {
      ::close(fd);
      throw;
    }
  }
  p_->fd = fd;
  p_->reset();
  const std::string_view t = trim_name(name);
  std::memcpy(p_->name, t.data(), t.size());
  p_->namelen = t.size();
  return true;
}

void InFile::close() {
  if (p_->fd >= 0)
    ::close(p_->fd);
  p_->fd = -1;
  p_->namelen = 0;
  p_->reset();
}

bool InFile::is_open() const { return p_->fd >= 0; }

bool InFile::next(std::string_view &rec) { return p_->next(rec); }

void InFile::backspace() {
  if (p_->fd < 0)
    return;
  if (!p_->putback && p_->last_ok)
    --p_->lines;
  p_->putback = true;
}

std::size_t InFile::read_raw(void *dst, std::size_t n) {
  Impl &f = *p_;
  if (f.fd < 0)
    return 0;
  f.putback = false;
  char *out = static_cast<char *>(dst);
  // Bytes already buffered come first.
  const std::size_t have = std::min(n, std::size_t(f.lim - f.pos));
  std::memcpy(out, f.pos, have);
  f.pos += have;
  std::size_t done = have;
  while (done < n && !f.eof) {
    const ssize_t got = ::read(f.fd, out + done, n - done);
    if (got > 0) {
      done += std::size_t(got);
      continue;
    }
    if (got < 0 && errno == EINTR)
      continue;
    f.eof = true;
  }
  return done;
}

std::size_t InFile::skip_raw(std::size_t n) {
  Impl &f = *p_;
  if (f.fd < 0)
    return 0;
  f.putback = false;
  std::size_t done = 0;
  for (;;) {
    const std::size_t k = std::min(n - done, std::size_t(f.lim - f.pos));
    f.pos += k;
    done += k;
    if (done == n || !f.fill())
      return done;
  }
}

std::string_view InFile::name() const { return {p_->name, p_->namelen}; }

std::int64_t InFile::line() const { return p_->lines; }

// ---- OutFile ----------------------------------------------------------------

struct OutFile::Impl {
  int fd = -1;
  std::size_t cap;
  std::unique_ptr<char[]> buf;
  std::size_t used = 0;
  bool failed = false;
  char name[NAMEMAX] = {};
  std::size_t namelen = 0;

  explicit Impl(std::size_t c) : cap(c ? c : 1), buf(new char[cap]) {}

  // Writes n bytes straight to the descriptor; marks the file failed on any
  // error (a short write that cannot be completed, a full disk).
  void put_out(const char *p, std::size_t n) {
    if (fd < 0) {
      if (n > 0)
        failed = true;
      return;
    }
    if (faults.on && n > 0 && fault_due(false, {name, namelen})) {
      failed = true; // as a full disk
      return;
    }
    while (n > 0 && !failed) {
      const ssize_t w = ::write(fd, p, n);
      if (w > 0) {
        p += w;
        n -= std::size_t(w);
        continue;
      }
      if (w < 0 && errno == EINTR)
        continue;
      failed = true;
    }
  }

  void drain() {
    if (used == 0)
      return;
    put_out(buf.get(), used);
    used = 0;
  }
};

OutFile::OutFile(std::size_t capacity) : p_(std::make_unique<Impl>(capacity)) {}

OutFile::~OutFile() { close(); }

bool OutFile::open(std::string_view name, bool append) {
  close();
  Impl &f = *p_;
  f.failed = false;
  f.used = 0;
  char cname[NAMEMAX];
  if (!c_name(name, cname))
    return false;
  if (faults.on && fault_due(true, trim_name(name)))
    return false; // as a folder that refuses a new file
  // Opened without truncating: the file is emptied only once it is known
  // not to be a file the run reads. Without waiting for a reader: a pipe
  // nobody reads cannot be opened.
  const int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : 0);
  const int fd = ::open(cname, flags, 0666);
  if (fd < 0)
    return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  blocking(fd);
  if (S_ISREG(st.st_mode)) {
    if (watch) {
      try {
        watch->output(fd, std::uint64_t(st.st_dev), std::uint64_t(st.st_ino),
                      trim_name(name));
      } catch (...) {
        ::close(fd);
        throw;
      }
    }
    if (!append && ::ftruncate(fd, 0) != 0) {
      ::close(fd);
      return false;
    }
  }
  f.fd = fd;
  const std::string_view t = trim_name(name);
  std::memcpy(f.name, t.data(), t.size());
  f.namelen = t.size();
  return true;
}

bool OutFile::is_open() const { return p_->fd >= 0; }

char *OutFile::reserve(std::size_t n) {
  Impl &f = *p_;
  if (f.used + n > f.cap)
    f.drain();
  return f.buf.get() + f.used;
}

void OutFile::commit(char *end) { p_->used = std::size_t(end - p_->buf.get()); }

void OutFile::write(std::string_view s) {
  if (s.empty())
    return;
  Impl &f = *p_;
  if (f.used + s.size() <= f.cap) {
    std::memcpy(f.buf.get() + f.used, s.data(), s.size());
    f.used += s.size();
    return;
  }
  f.drain();
  if (s.size() <= f.cap) {
    std::memcpy(f.buf.get(), s.data(), s.size());
    f.used = s.size();
    return;
  }
  f.put_out(s.data(), s.size());
}

void OutFile::put(char ch) {
  Impl &f = *p_;
  if (f.used == f.cap)
    f.drain();
  f.buf[f.used++] = ch;
}

bool OutFile::flush() {
  p_->drain();
  return !p_->failed;
}

bool OutFile::close() {
  Impl &f = *p_;
  if (f.fd < 0) {
    f.used = 0;
    return true;
  }
  f.drain();
  if (::close(f.fd) != 0 && errno != EINTR)
    f.failed = true;
  f.fd = -1;
  return !f.failed;
}

bool OutFile::failed() const { return p_->failed; }

std::string_view OutFile::name() const { return {p_->name, p_->namelen}; }

void watch_files(const FileWatch *w) noexcept { watch = w; }

void inject_output_faults(long nth_write, long nth_open) noexcept {
  faults.write_at = std::max(nth_write, 0L);
  faults.open_at = std::max(nth_open, 0L);
  faults.writes = faults.opens = 0;
  faults.namelen = 0;
  faults.opens_then = 0;
  faults.on = true;
}

void stop_output_faults() noexcept { faults = Faults{}; }

long output_writes_seen() noexcept { return faults.writes; }
long output_opens_seen() noexcept { return faults.opens; }
std::string_view faulted_file() noexcept {
  return {faults.name, faults.namelen};
}
long opens_at_fault() noexcept { return faults.opens_then; }

} // namespace quon

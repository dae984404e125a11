// io.cpp - sequential input and output files over POSIX descriptors, and the
// report file fort.2.
//
// Input keeps one buffer per file and hands out records as views into it, so
// reading a grid file of millions of values copies nothing and allocates
// nothing. Records end at LF, CR LF or a bare CR, the way the Fortran runtime
// that wrote and reads the model's files splits them.

#include "io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "messages.h"
#include "quon.h"
#include "utl.h"

namespace quon {

static_assert(MAXRECORD == std::size_t(64) << 20,
              "the message of an over-long line names its bound");
static_assert(MAXRECORD > InFile::BUFSIZE);

namespace {

// Longest file name we can hand to the system (with its terminating NUL).
constexpr std::size_t NAMEMAX = PATH_MAX;

// The name without its trailing blanks, as Fortran OPEN takes FILE=.
std::string_view trim_name(std::string_view name) {
  std::size_t n = name.size();
  while (n > 0 && name[n - 1] == ' ')
    --n;
  return name.substr(0, n);
}

// Copies a trimmed name into a NUL-terminated buffer; false when the name is
// empty or too long for the system.
bool c_name(std::string_view name, char (&out)[NAMEMAX]) {
  name = trim_name(name);
  if (name.empty() || name.size() >= NAMEMAX)
    return false;
  if (std::memchr(name.data(), '\0', name.size()) != nullptr)
    return false;
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '\0';
  return true;
}

// First LF or CR in [p, end), or end.
const char *find_eol(const char *p, const char *end) {
  const char *lf =
      static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
  const char *stop = lf ? lf : end;
  const char *cr =
      static_cast<const char *>(std::memchr(p, '\r', std::size_t(stop - p)));
  return cr ? cr : stop;
}

// ---- The files of one run ---------------------------------------------------

// A file the run reads or writes: its device and inode and the name it was
// met under (in the name pool).
struct Seen {
  std::uint64_t dev = 0, ino = 0;
  std::uint32_t off = 0, len = 0;
  bool operator<(const Seen &o) const {
    return dev != o.dev ? dev < o.dev : ino < o.ino;
  }
};

struct RunFiles {
  bool guarded = false, noting = false;
  std::vector<Seen> inputs, outputs;
  std::size_t nsorted = 0; // inputs[0, nsorted) are sorted
  std::vector<char> names;
  int lockfd = -1;

  void add(std::vector<Seen> &to, const struct stat &st, std::string_view n) {
    Seen e;
    e.dev = std::uint64_t(st.st_dev);
    e.ino = std::uint64_t(st.st_ino);
    e.off = std::uint32_t(names.size());
    e.len = std::uint32_t(n.size());
    names.insert(names.end(), n.begin(), n.end());
    to.push_back(e);
  }
  std::string_view name(const Seen &e) const {
    return {names.data() + e.off, e.len};
  }
  const Seen *input(std::uint64_t dev, std::uint64_t ino) const {
    const Seen key{dev, ino};
    const auto end = inputs.begin() + std::ptrdiff_t(nsorted);
    const auto it = std::lower_bound(inputs.begin(), end, key);
    if (it != end && it->dev == dev && it->ino == ino)
      return &*it;
    for (auto i = end; i != inputs.end(); ++i)
      if (i->dev == dev && i->ino == ino)
        return &*i;
    return nullptr;
  }
  const Seen *output(const struct stat &st) const {
    for (const Seen &e : outputs)
      if (e.dev == std::uint64_t(st.st_dev) &&
          e.ino == std::uint64_t(st.st_ino))
        return &e;
    return nullptr;
  }
};

RunFiles &run_files() {
  static RunFiles f;
  return f;
}

// "name (other)" for the messages that name two files.
[[noreturn]] void end_two(std::string_view msg, std::string_view name,
                          std::string_view other) {
  char buf[2 * NAMEMAX + 8];
  std::size_t n = std::min(name.size(), NAMEMAX);
  std::memcpy(buf, name.data(), n);
  const std::size_t k = std::min(other.size(), NAMEMAX);
  buf[n++] = ' ';
  buf[n++] = '(';
  std::memcpy(buf + n, other.data(), k);
  n += k;
  buf[n++] = ')';
  endrun(msg, {buf, n});
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
  RunFiles &rf = run_files();
  if (rf.guarded && S_ISREG(st.st_mode)) {
    if (const Seen *o = rf.output(st)) {
      ::close(fd);
      end_two(msg::INPUT_IS_OUTPUT, trim_name(name), rf.name(*o));
    }
    if (rf.noting &&
        !rf.input(std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)))
      rf.add(rf.inputs, st, trim_name(name));
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
    RunFiles &rf = run_files();
    const std::string_view t = trim_name(name);
    if (rf.guarded) {
      if (const Seen *in =
              rf.input(std::uint64_t(st.st_dev), std::uint64_t(st.st_ino))) {
        ::close(fd);
        end_two(msg::OUTPUT_IS_INPUT, t, rf.name(*in));
      }
      if (const Seen *o = rf.output(st)) {
        ::close(fd);
        end_two(msg::OUTPUT_TWICE, t, rf.name(*o));
      }
      rf.add(rf.outputs, st, t);
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

// ---- Existence and the report file -----------------------------------------

bool file_exists(std::string_view name) {
  char cname[NAMEMAX];
  if (!c_name(name, cname))
    return false;
  struct stat st;
  return ::stat(cname, &st) == 0;
}

namespace {

// Follows the links of a name that does not exist, in place: a dangling
// link names the file that opening it for writing creates. Stops at the
// first name that is not a link; false when the chain is too long or a name
// cannot be formed.
bool follow_links(char (&path)[NAMEMAX]) noexcept {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(path, &st) != 0 || !S_ISLNK(st.st_mode))
      return true;
    char target[NAMEMAX];
    const ssize_t n = ::readlink(path, target, sizeof target - 1);
    if (n <= 0)
      return false;
    target[n] = '\0';
    if (target[0] == '/') {
      std::memcpy(path, target, std::size_t(n) + 1);
      continue;
    }
    // Relative to the link's folder.
    const char *slash = std::strrchr(path, '/');
    const std::size_t d = slash ? std::size_t(slash - path) + 1 : 0;
    if (d + std::size_t(n) >= NAMEMAX)
      return false;
    std::memcpy(path + d, target, std::size_t(n) + 1);
  }
  return false;
}

} // namespace

bool file_key(std::string_view name, FileKey &key) noexcept {
  key = FileKey{};
  char cname[NAMEMAX];
  if (!c_name(name, cname))
    return false;
  struct stat st;
  if (::stat(cname, &st) == 0) {
    key.exists = true;
    key.dev = std::uint64_t(st.st_dev);
    key.ino = std::uint64_t(st.st_ino);
  } else if (!follow_links(cname)) {
    return false;
  }
  // The folder part: up to the last slash ("." when there is none).
  const std::string_view n = key.exists ? trim_name(name) : cname;
  const std::size_t slash = n.rfind('/');
  char dir[NAMEMAX];
  std::string_view base = n;
  if (slash == std::string_view::npos) {
    std::memcpy(dir, ".", 2);
  } else {
    const std::size_t d = slash == 0 ? 1 : slash;
    std::memcpy(dir, n.data(), d);
    dir[d] = '\0';
    base = n.substr(slash + 1);
  }
  if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) {
    key.folder = true;
    key.dirdev = std::uint64_t(st.st_dev);
    key.dirino = std::uint64_t(st.st_ino);
  } else {
    // No such folder: the whole name, without "./" parts and doubled
    // slashes, is all there is to compare.
    base = n;
  }
  std::size_t k = 0;
  for (std::size_t i = 0; i < base.size() && k < sizeof key.text; ++i) {
    if (!key.folder && base[i] == '/' && k > 0 && key.text[k - 1] == '/')
      continue;
    if (!key.folder && base[i] == '.' && (i == 0 || base[i - 1] == '/') &&
        i + 1 < base.size() && base[i + 1] == '/') {
      ++i;
      continue;
    }
    key.text[k++] = base[i];
  }
  key.len = k;
  return true;
}

bool same_folder(const FileKey &a, const FileKey &b) noexcept {
  return a.folder && b.folder && a.dirdev == b.dirdev && a.dirino == b.dirino;
}

bool same_file(const FileKey &a, const FileKey &b) noexcept {
  if (a.exists && b.exists)
    return a.dev == b.dev && a.ino == b.ino;
  if (a.exists != b.exists)
    return false;
  if (a.folder != b.folder)
    return false;
  if (a.folder && !same_folder(a, b))
    return false;
  return a.base() == b.base();
}

namespace {

// The report file is the Fortran runtime's file of channel 2.
constexpr std::string_view REPORT_NAME = "fort.2";

OutFile &report_file() {
  static OutFile f(std::size_t(1) << 16);
  return f;
}

// A dry run (quon --check) writes no report file.
bool report_dry = false;

// Records kept while the settings are read (see hold_report).
bool report_held = false;
std::string &held_records() {
  static std::string h;
  return h;
}

[[noreturn]] void report_lost(const char *what) {
  std::fputs(what, stderr);
  throw RunEnd{1};
}

} // namespace

void report_record(std::string_view rec) {
  if (report_dry)
    return;
  if (report_held) {
    held_records().append(rec).push_back('\n');
    return;
  }
  OutFile &f = report_file();
  // The report file holds the budget table and the records of every early
  // end: a run that cannot keep them must not end as if it had.
  if (!f.is_open() && !f.open(REPORT_NAME))
    report_lost("Cannot open file fort.2\n");
  f.write(rec);
  f.endl();
  if (!f.flush()) {
    f.close();
    report_lost("Cannot write to file fort.2\n");
  }
}

void hold_report() {
  report_held = true;
  held_records().clear();
  held_records().reserve(std::size_t(1) << 16);
}

bool release_report() {
  if (!report_held)
    return true;
  report_held = false;
  std::string &held = held_records();
  if (report_dry) {
    held.clear();
    return true;
  }
  static FileKey key; // a few KB: kept off the stack
  if (file_key(REPORT_NAME, key) && !input_named(key).empty()) {
    held.clear();
    std::fwrite(msg::REPORT_IS_INPUT.data(), 1, msg::REPORT_IS_INPUT.size(),
                stderr);
    std::fputc('\n', stderr);
    return false;
  }
  OutFile &f = report_file();
  if (!f.is_open() && !f.open(REPORT_NAME)) {
    held.clear();
    report_lost("Cannot open file fort.2\n");
  }
  f.write(held);
  held.clear();
  if (!f.flush()) {
    f.close();
    report_lost("Cannot write to file fort.2\n");
  }
  return true;
}

void guard_files() noexcept {
  RunFiles &rf = run_files();
  rf.inputs.clear();
  rf.outputs.clear();
  rf.names.clear();
  rf.nsorted = 0;
  try {
    rf.inputs.reserve(4096);
    rf.outputs.reserve(4096);
    rf.names.reserve(std::size_t(1) << 16);
  } catch (...) { // the run grows them as it needs
  }
  rf.guarded = rf.noting = true;
}

void unguard_files() noexcept {
  RunFiles &rf = run_files();
  rf.guarded = rf.noting = false;
  rf.inputs.clear();
  rf.outputs.clear();
  rf.names.clear();
  rf.nsorted = 0;
}

void seal_inputs() noexcept {
  RunFiles &rf = run_files();
  rf.noting = false;
  std::sort(rf.inputs.begin(), rf.inputs.end());
  rf.nsorted = rf.inputs.size();
  // Room for the names of the per-year outputs, so that the periods
  // allocate nothing (one allocation, whatever the span).
  try {
    std::vector<char> names;
    names.reserve(rf.names.size() + (std::size_t(1) << 16));
    names.assign(rf.names.begin(), rf.names.end());
    rf.names.swap(names);
  } catch (...) {
  }
}

bool note_input(std::string_view name) {
  char cname[NAMEMAX];
  struct stat st;
  if (!c_name(name, cname) || ::stat(cname, &st) != 0)
    return false;
  RunFiles &rf = run_files();
  if (rf.guarded && S_ISREG(st.st_mode) &&
      !rf.input(std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)))
    rf.add(rf.inputs, st, trim_name(name));
  return true;
}

std::string_view input_named(const FileKey &key) noexcept {
  if (!key.exists)
    return {};
  const RunFiles &rf = run_files();
  const Seen *e = rf.input(key.dev, key.ino);
  return e ? rf.name(*e) : std::string_view{};
}

std::size_t noted_inputs() noexcept { return run_files().inputs.size(); }

std::string_view noted_input(std::size_t i) noexcept {
  const RunFiles &rf = run_files();
  return rf.name(rf.inputs[i]);
}

bool lock_folder() noexcept {
  RunFiles &rf = run_files();
  if (rf.lockfd >= 0)
    return true;
  const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return true; // no folder to lock: opening the outputs will say so
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return !busy;
  }
  rf.lockfd = fd;
  return true;
}

void release_folder() noexcept {
  RunFiles &rf = run_files();
  if (rf.lockfd >= 0)
    ::close(rf.lockfd);
  rf.lockfd = -1;
}

void set_report_dry(bool dry) noexcept { report_dry = dry; }

void close_report() {
  report_held = false;
  held_records().clear();
  report_file().close();
}

} // namespace quon

// inputguard.cpp - the table of the files a run reads and writes, and the
// watch of the file classes that refuses an output on an input or on another
// output.

#include "inputguard.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lock.h"
#include "messages.h"
#include "reporters.h"

namespace quon {

namespace {

// Longest name a message gives in full.
constexpr std::size_t NAMEMAX = PATH_MAX;

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

  void add(std::vector<Seen> &to, std::uint64_t dev, std::uint64_t ino,
           std::string_view n) {
    Seen e;
    e.dev = dev;
    e.ino = ino;
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
  const Seen *output(std::uint64_t dev, std::uint64_t ino) const {
    for (const Seen &e : outputs)
      if (e.dev == dev && e.ino == ino)
        return &e;
    return nullptr;
  }
  void forget() {
    inputs.clear();
    outputs.clear();
    names.clear();
    nsorted = 0;
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

// An input must not be a file this run wrote; while the settings are read
// it is noted.
void input_opened(std::uint64_t dev, std::uint64_t ino, std::string_view name) {
  RunFiles &rf = run_files();
  if (const Seen *o = rf.output(dev, ino))
    end_two(msg::INPUT_IS_OUTPUT, name, rf.name(*o));
  if (rf.noting && !rf.input(dev, ino))
    rf.add(rf.inputs, dev, ino, name);
}

// An output must be neither an input nor an output opened before, nor one
// another run is writing (it is locked for this run).
void output_opened(int fd, std::uint64_t dev, std::uint64_t ino,
                   std::string_view name) {
  RunFiles &rf = run_files();
  if (const Seen *in = rf.input(dev, ino))
    end_two(msg::OUTPUT_IS_INPUT, name, rf.name(*in));
  if (const Seen *o = rf.output(dev, ino))
    end_two(msg::OUTPUT_TWICE, name, rf.name(*o));
  lock_output(fd, name);
  rf.add(rf.outputs, dev, ino, name);
}

constexpr FileWatch WATCH{input_opened, output_opened};

} // namespace

void guard_files() noexcept {
  RunFiles &rf = run_files();
  rf.forget();
  release_outputs();
  try {
    rf.inputs.reserve(4096);
    rf.outputs.reserve(4096);
    rf.names.reserve(std::size_t(1) << 16);
  } catch (...) { // the run grows them as it needs
  }
  rf.guarded = rf.noting = true;
  watch_files(&WATCH);
}

void unguard_files() noexcept {
  RunFiles &rf = run_files();
  rf.guarded = rf.noting = false;
  rf.forget();
  watch_files(nullptr);
  release_outputs();
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
  FileId id;
  if (!file_id(name, id))
    return false;
  RunFiles &rf = run_files();
  if (rf.guarded && id.regular && !rf.input(id.dev, id.ino)) {
    std::size_t n = name.size();
    while (n > 0 && name[n - 1] == ' ')
      --n;
    rf.add(rf.inputs, id.dev, id.ino, name.substr(0, n));
  }
  return true;
}

std::string_view input_named(const FileKey &key) noexcept {
  if (!key.exists)
    return {};
  const RunFiles &rf = run_files();
  const Seen *e = rf.input(key.dev, key.ino);
  return e ? rf.name(*e) : std::string_view{};
}

} // namespace quon

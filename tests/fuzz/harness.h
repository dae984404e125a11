// harness.h - what the fuzz harnesses of quon share: a private working folder
// (quon writes fort.2 and its side files in the working directory), the fuzz
// input written to files there, a check that stops the fuzzer on a broken
// promise, and guard bands around the run tables a reader may write.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include "reporters.h"
#include "tables.h"
#include "utl.h"

// Stops the fuzzer with the broken promise in its report (the sanitizers'
// report file, which stays open when the fuzzer drops the program's stderr).
#define QUON_FUZZ_CHECK(cond)                                                  \
  do {                                                                         \
    if (!(cond))                                                               \
      ::quon::fuzz::check_failed(#cond, __FILE__, __LINE__);                   \
  } while (0)

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/common_interface_defs.h>
#define QUON_FUZZ_REPORT(text) __sanitizer_report_error_summary(text)
#endif
#endif
#ifndef QUON_FUZZ_REPORT
#define QUON_FUZZ_REPORT(text) std::fputs(text, stderr)
#endif

namespace quon::fuzz {

[[noreturn]] inline void check_failed(const char *cond, const char *file,
                                      int line) {
  char text[512];
  std::snprintf(text, sizeof text, "fuzz check failed: %s (%s:%d)", cond, file,
                line);
  QUON_FUZZ_REPORT(text);
  __builtin_trap();
}

} // namespace quon::fuzz

namespace quon::fuzz {

// Enters a folder of this process's own under the temporary folder, once;
// every file a harness writes or a reader is pointed at lies there. The
// harness then runs in that folder: give it its inputs and corpus folders
// by absolute paths.
inline void enter_private_dir() {
  static bool done = false;
  if (done)
    return;
  const char *tmp = std::getenv("TMPDIR");
  std::string tmpl =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/quon-fuzz-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr || chdir(tmpl.c_str()) != 0) {
    std::perror("quon fuzz: private folder");
    std::abort();
  }
  done = true;
}

// Writes (replaces) a file in the working folder.
inline void write_file(const char *name, std::string_view text) {
  std::FILE *f = std::fopen(name, "wb");
  QUON_FUZZ_CHECK(f != nullptr);
  if (!text.empty())
    QUON_FUZZ_CHECK(std::fwrite(text.data(), 1, text.size(), f) == text.size());
  QUON_FUZZ_CHECK(std::fclose(f) == 0);
}

// The input cut at the separator line "%%" into up to N parts; parts that
// are not there are empty.
template <std::size_t N>
std::array<std::string_view, N> split(std::string_view in) {
  std::array<std::string_view, N> out{};
  constexpr std::string_view SEP = "\n%%\n";
  for (std::size_t k = 0; k + 1 < N; ++k) {
    const std::size_t at = in.find(SEP);
    if (at == std::string_view::npos) {
      out[k] = in;
      return out;
    }
    out[k] = in.substr(0, at + 1);
    in.remove_prefix(at + SEP.size());
  }
  out[N - 1] = in;
  return out;
}

// After a run ended early: the report file is closed and removed, so that it
// does not grow over millions of inputs.
inline void reset_report() {
  close_report();
  std::remove("fort.2");
}

// A member (or a run of consecutive members) of the run a reader may write.
struct Region {
  const void *begin, *end;
};
template <class T> Region region(const T &member) {
  return {&member, &member + 1};
}
template <class T, class U> Region region(const T &first, const U &last) {
  return {&first, &last + 1};
}

// The bytes of a Run just before and just after the regions a reader may
// write (leaving out the bytes of those regions), taken before the reader
// runs and compared after: a write past the end of one table lands in its
// neighbour within the same object, where the address sanitizer cannot see
// it.
class Guard {
public:
  static constexpr std::size_t BAND = 512;

  Guard(const Run &run, std::initializer_list<Region> allowed)
      : base_(reinterpret_cast<const unsigned char *>(&run)) {
    const std::size_t size = sizeof(Run);
    auto offset = [&](const void *p) {
      return std::size_t(reinterpret_cast<const unsigned char *>(p) - base_);
    };
    auto is_allowed = [&](std::size_t k) {
      for (const Region &r : allowed)
        if (k >= offset(r.begin) && k < offset(r.end))
          return true;
      return false;
    };
    for (const Region &r : allowed) {
      const std::size_t b = offset(r.begin), e = offset(r.end);
      for (std::size_t k = b > BAND ? b - BAND : 0; k < b; ++k)
        if (!is_allowed(k))
          watch_.push_back({k, base_[k]});
      for (std::size_t k = e; k < std::min(size, e + BAND); ++k)
        if (!is_allowed(k))
          watch_.push_back({k, base_[k]});
    }
  }
  void check() const {
    for (const auto &[k, v] : watch_)
      QUON_FUZZ_CHECK(base_[k] == v);
  }

private:
  const unsigned char *base_;
  std::vector<std::pair<std::size_t, unsigned char>> watch_;
};

// Puts a parameter line into the run as the driver does (cut at LINELEN,
// blank-padded) and cleans it as handle_line does; the position is left at
// `pos`, where the keyword's reader starts.
inline void set_line(Run &run, std::string_view text, int pos = 1) {
  const std::size_t n = std::min<std::size_t>(text.size(), LINELEN);
  run.line.set(text.substr(0, n));
  run.linelen = int(n);
  linefix(std::span<char>(run.line.c, n));
  run.linepos = pos;
}

} // namespace quon::fuzz

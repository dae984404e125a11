// progress.cpp - the progress line of a run on a terminal.

#include "progress.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

#include "fmt.h"
#include "reporters.h"

namespace quon {
namespace {

// Whether a progress line is on the screen now, for the console hook.
bool shown = false;

void clear_line() {
  if (!shown)
    return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown = false;
}

long long now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Writes m:ss (or h:mm:ss) of a number of seconds.
char *put_time(char *p, long long s) {
  if (s >= 3600) {
    p = fmt::i(p, s / 3600, s / 3600 >= 10 ? 3 : 1);
    *p++ = ':';
    s %= 3600;
    p = fmt::i(p, s / 60 / 10, 1);
    p = fmt::i(p, s / 60 % 10, 1);
  } else {
    p = fmt::i(p, s / 60, s / 60 >= 10 ? 2 : 1);
  }
  *p++ = ':';
  p = fmt::i(p, s % 60 / 10, 1);
  return fmt::i(p, s % 10, 1);
}

int digits(long long v) {
  int n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

} // namespace

Progress::Progress(int total) : total_(total) {
  on_ = total > 0 && isatty(STDERR_FILENO);
  if (!on_)
    return;
  start_ns_ = last_ns_ = now_ns();
  set_before_console(clear_line);
}

Progress::~Progress() { finish(); }

void Progress::update(int year, int month, int done) {
  if (!on_)
    return;
  const long long t = now_ns();
  if (done < total_ && t - last_ns_ < 250'000'000)
    return;
  last_ns_ = t;
  const long long elapsed = (t - start_ns_) / 1'000'000'000;
  const long long left =
      done > 0 ? (t - start_ns_) * (total_ - done) / done / 1'000'000'000 : 0;

  char buf[128];
  char *p = fmt::a(buf, "\r\033[Kquon: ");
  if (month == 0) {
    p = fmt::a(p, "steady ");
  } else {
    p = fmt::i(p, year, 4);
    *p++ = '/';
    p = fmt::i(p, month / 10, 1);
    p = fmt::i(p, month % 10, 1);
  }
  p = fmt::a(p, "  period ");
  p = fmt::i(p, done, digits(done));
  p = fmt::a(p, " of ");
  p = fmt::i(p, total_, digits(total_));
  p = fmt::a(p, "  elapsed ");
  p = put_time(p, elapsed);
  p = fmt::a(p, "  left ");
  p = put_time(p, left);
  std::fwrite(buf, 1, std::size_t(p - buf), stderr);
  std::fflush(stderr);
  shown = true;
}

void Progress::finish() {
  if (!on_)
    return;
  clear_line();
  set_before_console(nullptr);
  on_ = false;
}

} // namespace quon

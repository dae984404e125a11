// signals.cpp - the stop signals of a run: the handler of the first only
// notes the signal, the run looks at it between periods and ends there; the
// handler of a second writes the record itself and ends the process.

#include "signals.h"

#include <cerrno>
#include <string_view>
#include <unistd.h>

#include "messages.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"

namespace quon {
namespace {

// The signal that asked the run to stop (0: none). The handler only sets it;
// the run looks at it between periods and ends there, so that the model
// files end on a whole period and fort.2 says why they end.
volatile std::sig_atomic_t stop_signal = 0;
constexpr int STOP_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

// What the handler of a second signal reads: the run (its period counts,
// each a single store of the interrupted thread) and whether standard
// error shows the progress line.
const Run *watched = nullptr;
bool progress_shown = false;

std::string_view signal_name(int sig) {
  switch (sig) {
  case SIGTERM:
    return "SIGTERM";
  case SIGINT:
    return "SIGINT";
  case SIGHUP:
    return "SIGHUP";
  default:
    return "?";
  }
}

// "SIGTERM (15), the last period written: 5 of 61".
void stop_text(Detail &t, int sig, const Run &run) noexcept {
  t.text(msg::STOPPED_BY).text(signal_name(sig)).text(" (").integer(sig);
  t.text("), ");
  if (run.model_open)
    t.text(msg::STOPPED_LAST_PERIOD)
        .integer(run.periods_done)
        .text(msg::HELD_OF)
        .integer(run.periods_total);
  else
    t.text(msg::STOPPED_BEFORE_FIRST);
}

// write(2) until all of s is written or the descriptor fails.
void put(int fd, std::string_view s) noexcept {
  while (!s.empty()) {
    const ssize_t n = ::write(fd, s.data(), s.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    s.remove_prefix(std::size_t(n));
  }
}

// One line on standard error and, when it is open, one record of fort.2.
void last_line(std::string_view text, int report) noexcept {
  Detail line;
  line.text(text).text("\n");
  put(STDERR_FILENO, line.view());
  if (report >= 0) {
    Detail rec;
    rec.text(" ").text(text).text("\n");
    put(report, rec.view());
  }
}

// The record of a run that a second signal ends at once, written with
// write(2) alone (what the model files hold was flushed period by period;
// what is buffered is lost with the process). fort.2 still held (the
// settings are being read): no output has been emptied yet and the earlier
// run's files stay whole, so the record goes to standard error only.
void last_words(int sig) noexcept {
  if (progress_shown)
    put(STDERR_FILENO, "\r\033[K");
  const int report = report_descriptor();
  Detail t;
  stop_text(t, sig, *watched);
  last_line(t.view(), report);
  if (watched->model_open) {
    t.clear();
    held_text(t, *watched);
    last_line(t.view(), report);
    last_line(msg::SECOND_SIGNAL, report);
  }
}

extern "C" void on_stop_signal(int sig) {
  if (stop_signal == 0) {
    stop_signal = sig;
    return;
  }
  last_words(stop_signal);
  ::_exit(128 + stop_signal);
}

sigset_t stop_set() noexcept {
  sigset_t s;
  sigemptyset(&s);
  for (const int sig : STOP_SIGNALS)
    sigaddset(&s, sig);
  return s;
}

} // namespace

SignalCatch::SignalCatch(bool on, const Run &run) : on_(on) {
  stop_signal = 0;
  sigemptyset(&mask_);
  if (!on)
    return;
  watched = &run;
  progress_shown = isatty(STDERR_FILENO) != 0;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask_);
  struct sigaction sa {};
  sa.sa_handler = on_stop_signal;
  // One handler at a time: a signal that comes while another is handled
  // waits for it.
  sa.sa_mask = stop_set();
  for (int i = 0; i < 3; ++i) {
    sigaction(STOP_SIGNALS[i], nullptr, &old_[i]);
    if (old_[i].sa_handler != SIG_IGN)
      sigaction(STOP_SIGNALS[i], &sa, nullptr);
  }
}

SignalCatch::~SignalCatch() {
  if (on_) {
    // A signal held back while the run recorded its stop is dropped
    // (ignoring a pending signal discards it); then the old handlers come
    // back. After a stop the signals stay blocked: one coming while the
    // program ends must not kill it with its record written and its
    // status not yet returned. Otherwise the old mask comes back.
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    for (int i = 0; i < 3; ++i) {
      sigaction(STOP_SIGNALS[i], &ign, nullptr);
      sigaction(STOP_SIGNALS[i], &old_[i], nullptr);
    }
    if (stop_signal == 0)
      pthread_sigmask(SIG_SETMASK, &mask_, nullptr);
    watched = nullptr;
  }
  stop_signal = 0;
}

void held_text(Detail &t, const Run &run) noexcept {
  if (run.periods_done == 0)
    t.text(msg::HELD_NONE);
  else
    t.text(msg::HELD_PERIODS)
        .integer(run.periods_done)
        .text(msg::HELD_OF)
        .integer(run.periods_total)
        .text(msg::HELD_INCOMPLETE);
}

// Ends the run (status 128 + the signal) when a stop signal came: the
// record names the signal and the last period the model files hold.
void check_stop(const Run &run) {
  if (stop_signal == 0)
    return;
  // The run records the stop itself: a further signal waits (a second
  // that came before this point has written the record and ended).
  if (watched) {
    const sigset_t s = stop_set();
    pthread_sigmask(SIG_BLOCK, &s, nullptr);
  }
  const int sig = stop_signal;
  Detail t;
  stop_text(t, sig, run);
  try {
    endrun(t.view(), {});
  } catch (const RunEnd &) {
    throw RunEnd{128 + sig};
  }
}

} // namespace quon

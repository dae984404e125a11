// signals.cpp - the stop signals of a run: the handler only notes the
// signal; the run looks at it between periods and ends there.

#include "signals.h"

#include <string_view>

#include "messages.h"
#include "tables.h"
#include "reporters.h"
#include "utl.h"

namespace quon {
namespace {

// The signal that asked the run to stop (0: none). The handler only sets it;
// the run looks at it between periods and ends there, so that the model
// files end on a whole period and fort.2 says why they end.
volatile std::sig_atomic_t stop_signal = 0;
constexpr int STOP_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void on_stop_signal(int sig) { stop_signal = sig; }

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

} // namespace

SignalCatch::SignalCatch(bool on) : on_(on) {
  stop_signal = 0;
  if (!on)
    return;
  struct sigaction sa {};
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  for (int i = 0; i < 3; ++i) {
    sigaction(STOP_SIGNALS[i], nullptr, &old_[i]);
    if (old_[i].sa_handler != SIG_IGN)
      sigaction(STOP_SIGNALS[i], &sa, nullptr);
  }
}

SignalCatch::~SignalCatch() {
  for (int i = 0; i < 3 && on_; ++i)
    sigaction(STOP_SIGNALS[i], &old_[i], nullptr);
  stop_signal = 0;
}

// Ends the run (status 128 + the signal) when a stop signal came: the
// record names the signal and the last period the model files hold.
void check_stop(const Run &run) {
  const int sig = stop_signal;
  if (sig == 0)
    return;
  Detail t;
  t.text(signal_name(sig)).text(" (").integer(sig).text("), ");
  if (run.model_open)
    t.text("the last period written: ")
        .integer(run.periods_done)
        .text(msg::HELD_OF)
        .integer(run.periods_total);
  else
    t.text("before the first period");
  try {
    endrun(msg::STOPPED_BY, t.view());
  } catch (const RunEnd &) {
    throw RunEnd{128 + sig};
  }
}

} // namespace quon

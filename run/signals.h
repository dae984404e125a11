// signals.h - the stop signals of a run (SIGTERM, SIGINT, SIGHUP): caught
// for the length of the run and looked at between periods, so that the model
// files end on a whole period and fort.2 says why they end.
#pragma once

#include <csignal>

namespace quon {
struct Run;

// Catches the stop signals for the length of a run. A second signal of a
// kind ends the process at once (SA_RESETHAND), as an impatient user wants.
// A signal ignored when the run began (nohup) stays ignored.
class SignalCatch {
public:
  // Nothing is caught when off (a dry run writes nothing: a signal may end
  // it at once).
  explicit SignalCatch(bool on);
  ~SignalCatch();
  SignalCatch(const SignalCatch &) = delete;
  SignalCatch &operator=(const SignalCatch &) = delete;

private:
  bool on_;
  struct sigaction old_[3];
};

// Ends the run (status 128 + the signal) when a stop signal came: the
// record names the signal and the last period the model files hold.
void check_stop(const Run &run);

} // namespace quon

// signals.h - the stop signals of a run (SIGTERM, SIGINT, SIGHUP): caught
// for the length of the run and looked at between periods, so that the model
// files end on a whole period and fort.2 says why they end.
#pragma once

#include <csignal>

namespace quon {
struct Run;
class Detail;

// Catches the stop signals for the length of a run. A second stop signal
// ends the process at once, as an impatient user wants: its handler writes
// the stopped-run record (the first signal, the last period written, the
// periods the model files hold) to standard error and, once it is open, to
// fort.2 with write(2) alone, and ends with status 128 + the first signal.
// Once the run has begun to record a stop itself (check_stop) further stop
// signals are blocked for the rest of the process, and dropped. A signal ignored when
// the run began (nohup) stays ignored.
class SignalCatch {
public:
  // Nothing is caught when off (a dry run writes nothing: a signal may end
  // it at once). run: what the record of a second signal reads.
  SignalCatch(bool on, const Run &run);
  ~SignalCatch();
  SignalCatch(const SignalCatch &) = delete;
  SignalCatch &operator=(const SignalCatch &) = delete;

private:
  bool on_;
  struct sigaction old_[3];
  sigset_t mask_;
};

// Ends the run (status 128 + the signal) when a stop signal came: the
// record names the signal and the last period the model files hold.
void check_stop(const Run &run);

// The record of the periods the model files hold ("The RCH and WEL files
// hold periods 1 to 5 of 61; they are incomplete"). Formats only: safe in a
// signal handler.
void held_text(Detail &t, const Run &run) noexcept;

} // namespace quon

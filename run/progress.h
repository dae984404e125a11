// progress.h - the progress line of a run on a terminal: year, month, periods
// done of all, elapsed time and an estimate of the time left.
#pragma once

namespace quon {

// Shows one line on standard error while the run goes on, only when standard
// error is a terminal (batch logs and error reports stay clean otherwise).
// It is redrawn at most four times a second and cleared by finish() or when
// the object goes away; a console message clears it first. Never allocates.
class Progress {
public:
  explicit Progress(int total);
  ~Progress();
  Progress(const Progress &) = delete;
  Progress &operator=(const Progress &) = delete;

  // Period `done` (1-based) of `total` has been written; month 0 means the
  // steady period.
  void update(int year, int month, int done);
  // Removes the line.
  void finish();

private:
  bool on_ = false;
  int total_ = 0;
  long long start_ns_ = 0;
  long long last_ns_ = 0;
};

} // namespace quon

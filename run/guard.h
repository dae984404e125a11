// guard.h - the checks of a run's settings before its first period (the
// ones that end a run, and the warnings that do not), the per-state files a
// run reads, and the dry run's inventory.
#pragma once

#include <string_view>

namespace quon {
struct Run;

// Where the checks send a condition that ends the run. A run ends at the
// first (its record on the report file, the text on standard error); a dry
// run prints each and goes on, counting them.
class Stopper {
public:
  explicit Stopper(bool collect) : collect_(collect) {}
  // Ends the run with msg followed by tail, or notes it in a dry run.
  void stop(std::string_view msg, std::string_view tail);
  int count() const { return count_; }

private:
  bool collect_;
  int count_ = 0;
};

// The conditions that would make the run's periods wrong or impossible:
// spans and tables, years that were not whole numbers, the precipitation
// years, the stations against the drift order, stations or terrain
// locations at one place, and one file named for two uses. Each goes to
// the stopper. Never allocates.
void check_settings(Run &run, Stopper &stop);

// Proves the place of every output of the run's writers (run.writers)
// before any of them is opened for writing: a folder that does not exist, a
// pipe or socket, a folder in the way, a file or folder that cannot be
// written. The first place of a required writer that fails goes to the
// stopper (CANNOT_OPEN and its name), so that a run that cannot write its
// outputs ends before it empties the files of the run before it. A writer
// that is not required reports its own file when it comes to it.
void prove_places(Run &run, Stopper &stop);

// One line on standard error (a report) for each state whose data folder
// does not exist: every file of that state then counts as zeros.
void warn_state_folders(Run &run);

// The dry run after the settings were read: reads every per-state file of
// the span as the run would and prints the inventory on standard output.
// Returns the number of conditions found that would end the run.
int inventory(Run &run, Stopper &stop);

// The end-of-run summary on standard error: after a complete run (status 0)
// one line of the periods written and the model files; the count and the
// first of the reports, if any; the per-state files counted as zeros in one
// line, if any; and, after reports, the hint to check the inputs.
void print_summary(const Run &run, int status);

} // namespace quon

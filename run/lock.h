// lock.h - one run at a time: the locks that keep a second quon run from
// writing the same outputs at the same time.
//
// The working folder is locked for the run, and so is every output file the
// run opens (by the file itself: whatever name, folder or link a second run
// reaches it by, the lock is the same). A run refused either lock ends
// before it empties the file.
#pragma once

#include <string_view>

namespace quon {

// Takes the run's lock on the working folder, so that no second run writes
// the same outputs at the same time. False when another run holds it.
// Released by release_folder() or when the process ends.
bool lock_folder() noexcept;
void release_folder() noexcept;

// Locks the output file open on descriptor fd (named name) for the rest of
// the run, also once the file is closed. Ends the run (RunEnd, the file
// named) when another run holds it or the lock cannot be taken. Called by
// the run's guard for every regular output file it opens.
void lock_output(int fd, std::string_view name);
// Releases every output's lock (the run's guard, at the end of the run).
void release_outputs() noexcept;

} // namespace quon

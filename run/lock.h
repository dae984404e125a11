// lock.h - one run at a time: the lock that keeps a second quon run from
// writing the same outputs at the same time.
#pragma once

namespace quon {

// Takes the run's lock on the working folder, so that no second run writes
// the same outputs at the same time. False when another run holds it.
// Released by release_folder() or when the process ends.
bool lock_folder() noexcept;
void release_folder() noexcept;

} // namespace quon

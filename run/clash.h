// clash.h - one file named for two uses, found before the first period.
#pragma once

namespace quon {
struct Run;
class Stopper;

// Every output of the writers against every named file before it, and by
// device and inode against every file the run reads; the writers' yearly
// families against the named files and the state folders. Each clash goes
// to the stopper as "One file named for two uses".
void check_files(Run &run, Stopper &stop);

// The yearly outputs of every transient year that exist (or that a link
// names) against the files the run reads.
void check_year_outputs(Run &run, Stopper &stop);

} // namespace quon

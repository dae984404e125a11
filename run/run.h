// run.h - the driver: command line, parameter file, checks, model files and
// the periods of the run.
#pragma once

namespace quon {
struct Run;

// Handles the current parameter line (run.line) as a keyword line.
void handle_line(Run &run);

// The whole program; returns the exit status.
int quon_main(int argc, char **argv);

} // namespace quon

// filelist.h - quon --files: the files a run reads and writes, one line
// each, for the tools beside quon, which must never write over any of them.
#pragma once

namespace quon {
struct Run;

// Prints on standard output "input<TAB>name" for every file the input guard
// noted while the settings were read (the parameter file, the grids and
// tables it names, every per-state file of the span that exists), then
// "output<TAB>name" for every file of the run's writers (each writer's
// files and its yearly family). Call after build_writers(); reads and
// writes nothing.
void list_files(const Run &run);

} // namespace quon

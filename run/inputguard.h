// inputguard.h - the files of one run: quon never writes a file it reads.
//
// While a run is guarded, every file an InFile opens while inputs are noted,
// and every file note_input() is given, is an input (by device and inode);
// OutFile::open opens an existing file without truncating it, and the run
// ends (RunEnd, the file named) when it is one of the inputs or an output
// this run opened before; only then is the file emptied. An input that is an
// output this run wrote ends the run too. Outside a guarded run (the unit
// tests) nothing is compared.
#pragma once

#include <string_view>

#include "files.h"

namespace quon {

// Starts guarding a run: forgets the files of an earlier one, installs the
// watch of the file classes and notes the inputs InFile opens from now on.
// Allocates the tables once.
void guard_files() noexcept;
// Stops guarding (at the end of a run), removes the watch, forgets the
// files and releases the outputs' locks.
void unguard_files() noexcept;
// Stops noting the files InFile opens (the settings are read; the periods
// read only files the guard has noted by name) and sorts the table.
void seal_inputs() noexcept;
// Notes an existing file as an input; false when it does not exist.
bool note_input(std::string_view name);
// The name an input was noted under when key is one (an existing file), or
// empty.
std::string_view input_named(const FileKey &key) noexcept;

} // namespace quon

// io.h - sequential files as quon uses them: text input read record by record
// (with a one-record put-back), raw reads for unformatted records, and
// buffered output that remembers a failed write.
//
// Both classes work on POSIX descriptors over one buffer each, allocated when
// the object is made; opening, reading and writing never allocate. A run makes
// its file objects once (they live in the run's tables), so no file access
// allocates per period.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace quon {

// Thrown to end the run early; main() catches it, closes the files and
// returns `status` as the exit status. The message has been reported already.
struct RunEnd {
  int status = 1;
};

// Sequential input file. Records end at LF, CR LF or a bare CR, as the
// Fortran runtime of our reference machine splits them; the line end is not
// part of the record.
class InFile {
public:
  static constexpr std::size_t BUFSIZE = std::size_t(1) << 20;

  InFile();
  ~InFile();
  InFile(const InFile &) = delete;
  InFile &operator=(const InFile &) = delete;

  // Opens an existing file for reading. False when the name is all blank,
  // the file is missing or cannot be read. Trailing blanks of the name are
  // not part of it. Closes any file open before. A pipe, socket, terminal
  // or disk (anything but a regular file, a folder or a memory device such
  // as /dev/null) ends the run at once, naming it: reading it would hang.
  bool open(std::string_view name);
  void close();
  bool is_open() const;

  // The next record, without its line end. The view stays valid until the
  // next call on this object. False at the end of the file (a last record
  // without a line end is still returned). A record longer than BUFSIZE is
  // cut to BUFSIZE characters and the rest of it is skipped by the next
  // call, which ends the run (error2, "Line longer than 64 MiB in file" and
  // the name) when the line is longer than MAXRECORD.
  bool next(std::string_view &rec);

  // Puts back the record that next() returned last, so that next() returns
  // it again. Only one record can be put back.
  void backspace();

  // Reads up to n raw bytes (for unformatted records) into dst; returns the
  // count read, fewer than n only at the end of the file or on a read error.
  std::size_t read_raw(void *dst, std::size_t n);

  // Steps over up to n raw bytes; returns the count passed, fewer than n
  // only at the end of the file or on a read error.
  std::size_t skip_raw(std::size_t n);

  // Name the file was opened under (trimmed).
  std::string_view name() const;

  // Line number of the record next() returned last (1 for the first
  // record), for messages about it; 0 before the first record. A record put
  // back counts again when next() returns it again.
  std::int64_t line() const;

private:
  struct Impl;
  std::unique_ptr<Impl> p_;
};

// Buffered sequential output file.
class OutFile {
public:
  explicit OutFile(std::size_t capacity = std::size_t(1) << 20);
  ~OutFile();
  OutFile(const OutFile &) = delete;
  OutFile &operator=(const OutFile &) = delete;

  // Creates or replaces the file (append = false), or opens it to add at its
  // end, creating it if missing (append = true). False when the name is all
  // blank or the file cannot be opened (a pipe nobody reads included).
  // Closes any file open before. An existing file is emptied only after the
  // run's guard (below) has found it is no input and no other output.
  bool open(std::string_view name, bool append = false);
  bool is_open() const;

  // Makes room for n more bytes (flushing first if needed) and returns the
  // write cursor; commit() then takes the end of what was written. n must
  // not exceed the capacity given at construction.
  char *reserve(std::size_t n);
  void commit(char *end);

  void write(std::string_view s);
  void put(char ch);
  // Ends the current record.
  void endl() { put('\n'); }

  // Writes the buffer out. False when this or any earlier write failed.
  bool flush();
  // Flushes and closes; false when any write failed. Closing a file that is
  // not open does nothing and returns true.
  bool close();
  // True once a write has failed (disk full, say).
  bool failed() const;
  std::string_view name() const;

private:
  struct Impl;
  std::unique_ptr<Impl> p_;
};

// What makes a file name the same file as another: an existing file is its
// device and inode (so a link and its target are one file); a name that does
// not exist yet is first followed through its links (a dangling link names
// the file that writing it would create), then it is its folder's device
// and inode and its last component; a name whose folder does not exist
// either is its text without "./" parts and doubled slashes.
struct FileKey {
  bool exists = false, folder = false;
  std::uint64_t dev = 0, ino = 0;       // the file's, when it exists
  std::uint64_t dirdev = 0, dirino = 0; // its folder's, when that exists
  char text[4096];                      // last component, or the whole name
  std::size_t len = 0;
  std::string_view base() const { return {text, len}; }
};

// Forms the key of a name (trailing blanks are not part of it). False for a
// blank name or one too long for the system. Never allocates.
bool file_key(std::string_view name, FileKey &key) noexcept;
// True when two keys name the same file.
bool same_file(const FileKey &a, const FileKey &b) noexcept;
// True when the keys' folders are the same existing folder.
bool same_folder(const FileKey &a, const FileKey &b) noexcept;

// True when a file or directory of this name exists (trailing blanks of the
// name are not part of it).
bool file_exists(std::string_view name);

// ---- The files of one run ---------------------------------------------------
// While a run is guarded, quon never writes a file that it reads: every file
// an InFile opens while inputs are noted, and every file note_input() is
// given, is an input (by device and inode); OutFile::open opens an existing
// file without truncating it, and ends the run (RunEnd, the file named)
// when it is one of the inputs or an output this run opened before; only
// then is the file emptied. An input that is an output this run wrote ends
// the run too. Outside a guarded run (the unit tests) nothing is compared.

// Starts guarding a run: forgets the files of an earlier one and notes the
// inputs InFile opens from now on. Allocates the tables once.
void guard_files() noexcept;
// Stops guarding (at the end of a run) and forgets the files.
void unguard_files() noexcept;
// Stops noting the files InFile opens (the settings are read; the periods
// read only files the guard has noted by name) and sorts the table.
void seal_inputs() noexcept;
// Notes an existing file as an input; false when it does not exist.
bool note_input(std::string_view name);
// The name an input was noted under when key is one (an existing file), or
// empty.
std::string_view input_named(const FileKey &key) noexcept;
// The inputs noted so far: their count, and the name input i was noted under.
std::size_t noted_inputs() noexcept;
std::string_view noted_input(std::size_t i) noexcept;

// Takes the run's lock on the working folder, so that no second run writes
// the same outputs at the same time. False when another run holds it.
// Released by release_folder() or when the process ends.
bool lock_folder() noexcept;
void release_folder() noexcept;

// The report file: "fort.2" in the working directory. Each call writes one
// whole record and flushes it, so the report survives an early end; while
// the report is held, records are kept in memory instead.
void report_record(std::string_view rec);
// Holds the records from now on, so that fort.2 is neither emptied nor
// written before the settings are checked (it might be a file the run
// reads). Nothing is opened.
void hold_report();
// Ends the hold: creates or empties fort.2 and writes the held records to
// it. When fort.2 is one of the run's inputs the held records are dropped
// (the console has them) and false is returned. Ends the run (RunEnd) when
// fort.2 cannot be opened. Does nothing when the report is not held.
bool release_report();
// Flushes and closes the report file if it was created; for main() and tests.
void close_report();
// With dry set, report_record() and release_report() write nothing (quon
// --check writes no file at all).
void set_report_dry(bool dry) noexcept;

} // namespace quon

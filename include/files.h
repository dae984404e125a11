// files.h - the file classes: sequential text input read record by record
// (with a one-record put-back), raw reads for unformatted records, buffered
// output that remembers a failed write, and the keys that tell whether two
// names are one file. Implemented in text/files.cpp.
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

// ---- What watches the files a run opens -----------------------------------
// The file classes themselves compare nothing: a run's input guard (in the
// run's own code) installs a watch, and the classes call it for every
// regular file they open. A watch function may end the run (RunEnd); the
// file is closed then and not emptied.
struct FileWatch {
  // InFile::open opened a regular file.
  void (*input)(std::uint64_t dev, std::uint64_t ino, std::string_view name);
  // OutFile::open opened a regular file (descriptor fd) and is about to
  // empty it (or add to its end).
  void (*output)(int fd, std::uint64_t dev, std::uint64_t ino,
                 std::string_view name);
};
// Installs the watch (nullptr: none, the default).
void watch_files(const FileWatch *watch) noexcept;

// The device and inode of an existing file, and whether it is a regular
// file. False when the name is blank or names nothing.
struct FileId {
  std::uint64_t dev = 0, ino = 0;
  bool regular = false;
};
bool file_id(std::string_view name, FileId &id) noexcept;

// ---- Fault injection, for tests only ----------------------------------------
// No option of the program reaches these: a test calls them to make the
// output files fail as a full disk or a refused creation would. While off
// (the default) a write costs one test of a flag.
//
// From now on, the writes to the system and the opens of every OutFile are
// counted, and the nth write (1 = the next one) fails, and so does the nth
// OutFile::open; 0 leaves that kind alone (inject_output_faults(0, 0) only
// counts). The counts start again at every call.
void inject_output_faults(long nth_write, long nth_open) noexcept;
// Switches the counting and the faults off.
void stop_output_faults() noexcept;
// Writes and opens counted since the last inject_output_faults.
long output_writes_seen() noexcept;
long output_opens_seen() noexcept;
// The name of the file the injected fault hit (empty while none has), and
// how many opens had been counted when it hit (the open that failed
// included).
std::string_view faulted_file() noexcept;
long opens_at_fault() noexcept;

} // namespace quon

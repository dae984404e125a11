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
  // not part of it. Closes any file open before.
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

  // Reads exactly n raw bytes (for unformatted records). False on end of
  // file or a read error; the bytes read so far are in dst.
  bool read_raw(void *dst, std::size_t n);

  // Name the file was opened under (trimmed).
  std::string_view name() const;

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
  // blank or the file cannot be opened. Closes any file open before.
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

// True when a file or directory of this name exists (trailing blanks of the
// name are not part of it).
bool file_exists(std::string_view name);

// The report file: "fort.2" in the working directory, created (replacing an
// old one) by its first record and never before. Each call writes one whole
// record and flushes it, so the report survives an early end.
void report_record(std::string_view rec);
// Flushes and closes the report file if it was created; for main() and tests.
void close_report();

} // namespace quon

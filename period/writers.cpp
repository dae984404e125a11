// writers.cpp - what the writers of the period files share: opening a model
// file to append, flushing and closing with a lost write ending the run, and
// the model writers a period is handed to when the run built no list.

#include "writers.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

#include "messages.h"
#include "reporters.h"
#include "tables.h"
#include "utl.h"

namespace quon {

void model_writers(WriterList &list) {
  list.clear();
  list.add(wel_writer());
  list.add(rch_writer());
  list.add(mf6_writer());
}

bool appends(const Run &run, std::string_view name) {
  if (run.append == 0)
    return false;
  name = name.substr(0, std::size_t(length0(name)));
  char c[WORDLEN + 1];
  std::memcpy(c, name.data(), name.size());
  c[name.size()] = '\0';
  struct stat sb;
  if (::stat(c, &sb) == 0 && (sb.st_size > 0 || !S_ISREG(sb.st_mode)))
    return true;
  warn(msg::APPEND_NEW, name);
  return false;
}

void flush_or_end(OutFile &f) {
  if (!f.flush())
    endrun(msg::CANNOT_WRITE_TO, f.name());
}

void close_checked(OutFile &f) {
  if (!f.is_open())
    return;
  const Text<PATHLEN> name(f.name()); // any output's name, kept whole
  if (!f.close())
    endrun(msg::CANNOT_WRITE_TO, name.trimmed());
}

} // namespace quon

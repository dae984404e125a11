// sidefile.h - writing the side files people read (the function table, the
// terrain plot): a failed write is reported once with the file's name and
// the run goes on, since the model's inputs do not depend on these files.
#pragma once

#include <string_view>

#include "files.h"
#include "messages.h"
#include "reporters.h"

namespace quon {

class SideFileWrites {
public:
  SideFileWrites(OutFile &f, std::string_view name) : f_(f), name_(name) {}
  // After each line: reports the first failed write.
  void check() {
    if (!reported_ && f_.failed()) {
      error(msg::CANNOT_WRITE, name_);
      reported_ = true;
    }
  }
  // Closes the file, reporting a failure not reported yet.
  void close() {
    if (!f_.close() && !reported_)
      error(msg::CANNOT_WRITE, name_);
  }

private:
  OutFile &f_;
  std::string_view name_;
  bool reported_ = false;
};

} // namespace quon

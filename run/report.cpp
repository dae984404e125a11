// report.cpp - fort.2 held while the settings are read, then released to the
// file once they are checked.

#include "report.h"

#include <cstdio>
#include <string>

#include "inputguard.h"
#include "messages.h"
#include "reporters.h"

namespace quon {

namespace {

// The records kept while the report is held.
std::string &held_records() {
  static std::string h;
  return h;
}

void keep(std::string_view rec) { held_records().append(rec).push_back('\n'); }

} // namespace

void hold_report() {
  held_records().clear();
  held_records().reserve(std::size_t(1) << 16);
  divert_reports(keep);
}

bool release_report() {
  // Not held, or the hold was ended by close_report().
  if (diverted_reports() != keep)
    return true;
  divert_reports(nullptr);
  std::string &held = held_records();
  if (report_dry()) {
    held.clear();
    return true;
  }
  static FileKey key; // a few KB: kept off the stack
  if (file_key("fort.2", key) && !input_named(key).empty()) {
    held.clear();
    std::fwrite(msg::REPORT_IS_INPUT.data(), 1, msg::REPORT_IS_INPUT.size(),
                stderr);
    std::fputc('\n', stderr);
    return false;
  }
  try {
    write_report(held);
  } catch (...) {
    held.clear();
    throw;
  }
  held.clear();
  return true;
}

} // namespace quon

// filenames.h - file names as the system takes them, for the file classes'
// own sources: trailing blanks dropped, as Fortran OPEN takes FILE=.
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace quon {

// Longest file name we can hand to the system (with its terminating NUL).
inline constexpr std::size_t NAMEMAX = PATH_MAX;

// The name without its trailing blanks.
inline std::string_view trim_name(std::string_view name) {
  std::size_t n = name.size();
  while (n > 0 && name[n - 1] == ' ')
    --n;
  return name.substr(0, n);
}

// Copies a trimmed name into a NUL-terminated buffer; false when the name is
// empty, holds a NUL or is too long for the system.
inline bool c_name(std::string_view name, char (&out)[NAMEMAX]) {
  name = trim_name(name);
  if (name.empty() || name.size() >= NAMEMAX)
    return false;
  if (std::memchr(name.data(), '\0', name.size()) != nullptr)
    return false;
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '\0';
  return true;
}

} // namespace quon

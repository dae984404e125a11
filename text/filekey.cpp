// filekey.cpp - what makes two names one file: device and inode, links
// followed, and the folder and last component of a name not made yet.

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "filenames.h"
#include "files.h"

namespace quon {

bool file_exists(std::string_view name) {
  char cname[NAMEMAX];
  if (!c_name(name, cname))
    return false;
  struct stat st;
  return ::stat(cname, &st) == 0;
}

namespace {

// Follows the links of a name that does not exist, in place: a dangling
// link names the file that opening it for writing creates. Stops at the
// first name that is not a link; false when the chain is too long or a name
// cannot be formed.
bool follow_links(char (&path)[NAMEMAX]) noexcept {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(path, &st) != 0 || !S_ISLNK(st.st_mode))
      return true;
    char target[NAMEMAX];
    const ssize_t n = ::readlink(path, target, sizeof target - 1);
    if (n <= 0)
      return false;
    target[n] = '\0';
    if (target[0] == '/') {
      std::memcpy(path, target, std::size_t(n) + 1);
      continue;
    }
    // Relative to the link's folder.
    const char *slash = std::strrchr(path, '/');
    const std::size_t d = slash ? std::size_t(slash - path) + 1 : 0;
    if (d + std::size_t(n) >= NAMEMAX)
      return false;
    std::memcpy(path + d, target, std::size_t(n) + 1);
  }
  return false;
}

} // namespace

bool file_key(std::string_view name, FileKey &key) noexcept {
  key = FileKey{};
  char cname[NAMEMAX];
  if (!c_name(name, cname))
    return false;
  struct stat st;
  if (::stat(cname, &st) == 0) {
    key.exists = true;
    key.dev = std::uint64_t(st.st_dev);
    key.ino = std::uint64_t(st.st_ino);
  } else if (!follow_links(cname)) {
    return false;
  }
  // The folder part: up to the last slash ("." when there is none).
  const std::string_view n = key.exists ? trim_name(name) : cname;
  const std::size_t slash = n.rfind('/');
  char dir[NAMEMAX];
  std::string_view base = n;
  if (slash == std::string_view::npos) {
    std::memcpy(dir, ".", 2);
  } else {
    const std::size_t d = slash == 0 ? 1 : slash;
    std::memcpy(dir, n.data(), d);
    dir[d] = '\0';
    base = n.substr(slash + 1);
  }
  if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) {
    key.folder = true;
    key.dirdev = std::uint64_t(st.st_dev);
    key.dirino = std::uint64_t(st.st_ino);
  } else {
    // No such folder: the whole name, without "./" parts and doubled
    // slashes, is all there is to compare.
    base = n;
  }
  std::size_t k = 0;
  for (std::size_t i = 0; i < base.size() && k < sizeof key.text; ++i) {
    if (!key.folder && base[i] == '/' && k > 0 && key.text[k - 1] == '/')
      continue;
    if (!key.folder && base[i] == '.' && (i == 0 || base[i - 1] == '/') &&
        i + 1 < base.size() && base[i + 1] == '/') {
      ++i;
      continue;
    }
    key.text[k++] = base[i];
  }
  key.len = k;
  return true;
}

bool same_folder(const FileKey &a, const FileKey &b) noexcept {
  return a.folder && b.folder && a.dirdev == b.dirdev && a.dirino == b.dirino;
}

bool same_file(const FileKey &a, const FileKey &b) noexcept {
  if (a.exists && b.exists)
    return a.dev == b.dev && a.ino == b.ino;
  if (a.exists != b.exists)
    return false;
  if (a.folder != b.folder)
    return false;
  if (a.folder && !same_folder(a, b))
    return false;
  return a.base() == b.base();
}
bool file_id(std::string_view name, FileId &id) noexcept {
  char cname[NAMEMAX];
  struct stat st;
  if (!c_name(name, cname) || ::stat(cname, &st) != 0)
    return false;
  id.dev = std::uint64_t(st.st_dev);
  id.ino = std::uint64_t(st.st_ino);
  id.regular = S_ISREG(st.st_mode);
  return true;
}

} // namespace quon

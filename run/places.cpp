// places.cpp - whether an output can be written where the settings put it,
// and the run's proof of every writer's places before any output is opened
// (a settings mistake must not empty the last good run's files).

#include "places.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "calendar.h"
#include "fmt.h"
#include "guard.h"
#include "messages.h"
#include "period.h"
#include "places.h"
#include "reporters.h"
#include "say.h"
#include "schedule.h"
#include "tables.h"
#include "utl.h"

namespace quon {

// One line on standard output (no null pointer to fwrite for an empty
// text).
void print_line(std::string_view a, std::string_view b) {
  if (!a.empty())
    std::fwrite(a.data(), 1, a.size(), stdout);
  if (!b.empty())
    std::fwrite(b.data(), 1, b.size(), stdout);
  std::fputc('\n', stdout);
}

// Whether the run could create an output: its folder exists and takes new
// files, and an existing file of the name can be written.
std::string_view creatable(std::string_view name) {
  char c[WORDLEN + 8];
  const std::size_t n = std::min(name.size(), std::size_t(WORDLEN));
  if (n > 0)
    std::memcpy(c, name.data(), n);
  c[n] = '\0';
  struct stat sb;
  if (::stat(c, &sb) == 0) {
    if (S_ISDIR(sb.st_mode))
      return msg::OUTPUT_FOLDER_IN_WAY;
    // A pipe has no contents to replace: the run would wait for a reader or
    // give its records away.
    if (S_ISFIFO(sb.st_mode) || S_ISSOCK(sb.st_mode))
      return msg::OUTPUT_NOT_FILE;
    return ::access(c, W_OK) == 0 ? msg::EXIST_REPLACED : msg::OUTPUT_READ_ONLY;
  }
  char *slash = std::strrchr(c, '/');
  const char *dir = ".";
  if (slash) {
    *slash = '\0';
    dir = slash == c ? "/" : c;
  }
  if (::stat(dir, &sb) != 0 || !S_ISDIR(sb.st_mode))
    return msg::OUTPUT_NO_FOLDER;
  return ::access(dir, W_OK | X_OK) == 0 ? msg::CAN_BE_CREATED
                                         : msg::OUTPUT_FOLDER_READ_ONLY;
}

void yearly_path(Detail &p, std::string_view dir, int year,
                 std::string_view ext) {
  if (!dir.empty())
    p.text(dir).text("/");
  char y4[8];
  p.text({y4, std::size_t(year_label(y4, year) - y4)}).text(".").text(ext);
}

bool writable(std::string_view can) {
  return can == msg::CAN_BE_CREATED || can == msg::EXIST_REPLACED;
}

// A use as the messages name it: "RECHARGE file 2", "co data file".
void use_text(Detail &t, std::string_view use, int number) {
  if (number > 0)
    say(t, msg::USE_NUMBERED, {use, number});
  else
    t.text(use);
}

namespace {

// A run's proof of the outputs: silent; the first required place that
// cannot be written ends the run naming it. One that is not required is
// left to its writer, which reports it and goes on without it.
class ProvenPlaces final : public StoppingPlaces {
public:
  ProvenPlaces(const Run &run, Stopper &stop) : StoppingPlaces(run, stop) {}
  void file(const OutputName &f, bool required) override {
    const std::string_view name =
        f.name.substr(0, std::size_t(length0(f.name)));
    if (required && !name.empty() && !writable(creatable(name)))
      stop_.stop(msg::CANNOT_OPEN, name);
  }
  void yearly(const OutputFamily &f, bool required) override {
    if (!required || run_.trans_start < FIRSTYEAR || run_.trans_end > LASTYEAR)
      return;
    for (int y = run_.trans_start; y <= run_.trans_end; ++y)
      for (int e = 0; e < f.nexts; ++e) {
        Detail p;
        yearly_path(p, f.dir, y, f.exts[std::size_t(e)]);
        if (!writable(creatable(p.view())))
          stop_.stop(msg::CANNOT_OPEN, p.view());
      }
  }
};

} // namespace

void StoppingPlaces::missing(std::string_view msg, std::string_view value) {
  stop_.stop(msg, value);
}

void prove_places(Run &run, Stopper &stop) {
  ProvenPlaces proven(run, stop);
  for (const Writer *w : run.writers)
    w->prove(run, proven);
}

} // namespace quon

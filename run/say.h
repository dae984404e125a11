// say.h - a message of the store with its values: each "{}" of the
// message's text takes the next value, so that a message is one whole
// sentence in include/messages.h rather than fragments glued at the call.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace quon {
class Detail;

// One value of a message: a text, a whole number or a real (written as
// Detail writes it: the shortest form that reads back the same value).
struct SayArg {
  enum Kind { TEXT, INTEGER, REAL } kind;
  std::string_view text;
  std::int64_t integer = 0;
  double real = 0.0;
  SayArg(std::string_view s) : kind(TEXT), text(s) {}
  SayArg(const char *s) : kind(TEXT), text(s) {}
  SayArg(int v) : kind(INTEGER), integer(v) {}
  SayArg(long v) : kind(INTEGER), integer(v) {}
  SayArg(long long v) : kind(INTEGER), integer(v) {}
  SayArg(double v) : kind(REAL), real(v) {}
};

// Adds text to t with each "{}" replaced by the next of args (a "{}" past
// the last value is dropped). Returns t. Never allocates.
Detail &say(Detail &t, std::string_view text,
            std::initializer_list<SayArg> args = {});

} // namespace quon

// say.cpp - the values of a message put in the places its text marks.

#include "say.h"

#include "reporters.h"
#include "utl.h"

namespace quon {

Detail &say(Detail &t, std::string_view text,
            std::initializer_list<SayArg> args) {
  const SayArg *next = args.begin();
  for (;;) {
    const std::size_t at = text.find("{}");
    t.text(text.substr(0, at));
    if (at == std::string_view::npos)
      return t;
    if (next != args.end()) {
      if (next->kind == SayArg::TEXT)
        t.text(next->text);
      else if (next->kind == SayArg::INTEGER)
        t.integer(next->integer);
      else
        t.real(next->real);
      ++next;
    }
    text.remove_prefix(at + 2);
  }
}

} // namespace quon

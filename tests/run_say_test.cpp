// run_say_test.cpp - a message's values in the places its text marks, as
// the checks, the inventory and the summary print them.
#include <gtest/gtest.h>

#include <string>

#include "messages.h"
#include "say.h"
#include "reporters.h"
#include "utl.h"

namespace {

using quon::Detail;
using quon::say;

TEST(Say, ValuesGoWhereTheTextMarksThem) {
  struct Case {
    std::string_view text;
    std::initializer_list<quon::SayArg> args;
    std::string want;
  };
  const Case cases[] = {
      {"no values", {}, "no values"},
      {"{} read, {} needed for drift order {}",
       {3, 5, 2},
       "3 read, 5 needed for drift order 2"},
      // Text after the last value, and a value at the very start and end.
      {"{}", {"x"}, "x"},
      {"  ({} more)", {12LL}, "  (12 more)"},
      // A mark past the last value is dropped, a value past the last mark
      // is left out.
      {"{} and {}", {"a"}, "a and "},
      {"{}", {"a", "b"}, "a"},
      // Reals as Detail writes them: the shortest form that reads back.
      {"{} at {} {}", {"S1", 0.5, 1234567.25}, "S1 at 0.5 1234567.25"},
      // A value holding the marks is not read again.
      {"{}{}", {"{}", 7}, "{}7"},
  };
  for (const Case &c : cases) {
    Detail t;
    t.text(">");
    say(t, c.text, c.args);
    EXPECT_EQ(std::string(t.view()), ">" + c.want) << c.text;
  }
}

// The whole sentences of the inventory give the lines --check has always
// printed.
TEST(Say, InventorySentencesKeepTheirLines) {
  Detail t;
  say(t, quon::msg::SPAN_STEADY_TRANSIENT, {1948, 1949, 1950, 1951, 24LL});
  EXPECT_EQ(std::string(t.view()),
            "Span: steady 1948-1949 (1 period), transient 1950-1951 "
            "(24 periods)");
  t.clear();
  say(t, quon::msg::STATE_FILES_LINE, {"CO", "mi ", 12, 0, 1});
  EXPECT_EQ(std::string(t.view()),
            "  CO mi  12 present, 0 missing, 1 unreadable");
}

} // namespace

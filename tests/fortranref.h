// fortranref.h - for the tests that hold quon's number reading against the
// Fortran runtime: its reference programs (built from tests/fortran) and
// random spellings of numbers as people and programs write them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace quon::test {

// ---- Against the runtime ---------------------------------------------------

// Runs a reference program of the Fortran runtime on a file of input and
// returns its output lines.
std::vector<std::string> reference(const std::string &prog,
                                   const std::string &args) {
  const std::string exe = std::string(QUON_FORTRAN_BIN) + "/" + prog;
  std::vector<std::string> out;
  if (!std::filesystem::exists(exe)) {
    ADD_FAILURE() << "reference program missing: " << exe;
    return out;
  }
  FILE *p = popen((exe + " " + args).c_str(), "r");
  if (p == nullptr) {
    ADD_FAILURE() << "cannot run " << exe;
    return out;
  }
  std::string line;
  char buf[1 << 16];
  while (std::fgets(buf, sizeof buf, p)) {
    line += buf;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      out.push_back(line);
      line.clear();
    }
  }
  EXPECT_EQ(pclose(p), 0);
  return out;
}

// Random spellings of numbers as people and programs write them.
class Words {
public:
  explicit Words(unsigned seed) : rng_(seed) {}

  int pick(int n) { return int(rng_() % unsigned(n)); }
  std::string digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
      s += char('0' + pick(10));
    return s;
  }
  // A number with at least one mantissa digit: every exponent form. A
  // bounded number never exceeds the range of a double.
  std::string number(bool bounded = false) {
    std::string s;
    const int sign = pick(4);
    if (sign == 1)
      s += '-';
    if (sign == 2)
      s += '+';
    const int before = pick(5) == 0 ? 0 : 1 + pick(pick(3) == 0 ? 20 : 6);
    s += digits(before);
    if (before == 0 || pick(3) != 0) {
      s += '.';
      s += digits(before == 0 ? 1 + pick(18) : pick(18));
    }
    switch (pick(6)) {
    case 0:
    case 1:
      break; // no exponent
    case 2:
      s += "eEdDqQ"[pick(6)];
      if (bounded)
        s += '-';
      else if (pick(2))
        s += "+-"[pick(2)];
      s += digits(1 + pick(3));
      break;
    case 3:
      s += "+-"[pick(2)]; // a sign alone starts the exponent
      s += digits(1 + pick(2));
      break;
    case 4:
      s += "eE"[pick(2)];
      s += bounded ? '-' : "+-"[pick(2)];
      s += std::to_string(280 + pick(60)); // near the ends of the range
      break;
    default:
      s += 'e';
      s += std::to_string(pick(40) - 20);
    }
    return s;
  }
  std::string integer() {
    std::string s;
    const int sign = pick(3);
    if (sign == 1)
      s += '-';
    if (sign == 2)
      s += '+';
    if (pick(4) == 0)
      s += std::string(std::size_t(pick(3)), '0');
    const int n = pick(4) == 0 ? 9 + pick(3) : 1 + pick(8);
    s += char('1' + pick(9));
    s += digits(n - 1);
    return s;
  }
  // Short strings of number characters: mostly not numbers at all.
  std::string junk() {
    static const char set[] = "0123456789+-.eEdDqQ ,x*";
    std::string s;
    const int n = 1 + pick(7);
    for (int i = 0; i < n; ++i)
      s += set[pick(int(sizeof set) - 1)];
    return s;
  }

private:
  std::mt19937 rng_;
};

} // namespace quon::test

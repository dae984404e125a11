// text_fmt_test.cpp - the Fortran field writers and records, compared byte
// for byte with what the Fortran runtime itself writes (the reference
// program fref_fmtref), over many random and hand-picked hard values.

#include "files.h"
#include "fmt.h"
#include "testutil.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace quon::test {
namespace {

const std::string kRef = QUON_FORTRAN_BIN "/fref_fmtref";

// Record kinds the reference program understands (first number of a batch).
enum Code { FIXED = 1, SCI = 2, LISTREAL = 3, INT = 4, LISTINT = 5 };

struct Batch {
  Code code;
  int w = 0, d = 0;
  std::vector<std::int64_t> v; // bit patterns of doubles, or integers
};

std::vector<std::string> split_records(const std::string &s) {
  std::vector<std::string> recs;
  std::size_t at = 0;
  while (at < s.size()) {
    std::size_t nl = s.find('\n', at);
    if (nl == std::string::npos) {
      recs.push_back(s.substr(at) + "<no line end>");
      break;
    }
    recs.push_back(s.substr(at, nl - at));
    at = nl + 1;
  }
  return recs;
}

// Runs the reference program in the working directory on `input`.
std::vector<std::string> run_ref(const std::string &args,
                                 const std::string &input) {
  write_file("ref.in", input);
  const std::string cmd = "'" + kRef + "' " + args + " < ref.in > ref.out";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return split_records(read_file("ref.out"));
}

std::int64_t bits(double x) { return std::bit_cast<std::int64_t>(x); }
double real(std::int64_t b) { return std::bit_cast<double>(b); }

std::string ours(const Batch &b, std::int64_t v) {
  char buf[200];
  char *end = buf;
  switch (b.code) {
  case FIXED:
    end = fmt::f(buf, real(v), b.w, b.d);
    break;
  case SCI:
    end = fmt::e1p(buf, real(v), b.w, b.d);
    break;
  case INT:
    end = fmt::i(buf, v, b.w);
    break;
  case LISTREAL:
    return std::string(fmt::ListRecord(buf, sizeof buf).real(real(v)).view());
  case LISTINT:
    return std::string(fmt::ListRecord(buf, sizeof buf).integer(v).view());
  }
  return std::string(buf, end);
}

std::string describe(const Batch &b, std::int64_t v) {
  char s[160];
  const char *name[] = {"", "F", "1PE", "list real", "I", "list int"};
  if (b.code == INT || b.code == LISTINT)
    std::snprintf(s, sizeof s, "%s%d: %" PRId64, name[b.code], b.w, v);
  else
    std::snprintf(s, sizeof s, "%s%d.%d: %.17g (bits %016" PRIx64 ")",
                  name[b.code], b.w, b.d, real(v), std::uint64_t(v));
  return s;
}

// Feeds every batch to the reference program once and compares each
// record; returns the number of values compared.
std::size_t compare_with_runtime(const std::vector<Batch> &batches) {
  std::string in;
  std::size_t total = 0;
  for (const Batch &b : batches) {
    in += std::to_string(b.code) + " " + std::to_string(b.w) + " " +
          std::to_string(b.d) + " " + std::to_string(b.v.size()) + "\n";
    for (std::int64_t v : b.v)
      in += std::to_string(v) + "\n";
    total += b.v.size();
  }
  const std::vector<std::string> ref = run_ref("", in);
  EXPECT_EQ(ref.size(), total);
  std::size_t at = 0, bad = 0;
  for (const Batch &b : batches)
    for (std::int64_t v : b.v) {
      if (at >= ref.size())
        return total;
      const std::string got = ours(b, v);
      if (got != ref[at] && ++bad <= 20)
        ADD_FAILURE() << describe(b, v) << "\n  runtime |" << ref[at]
                      << "|\n  ours    |" << got << "|";
      ++at;
    }
  EXPECT_EQ(bad, 0u) << "mismatches out of " << total;
  std::printf("compared %zu values with the runtime, %zu mismatches\n", total,
              bad);
  return total;
}

// Hard doubles every descriptor is tried on: zeros, NaNs of both signs and
// several payloads, infinities, subnormals, the extremes.
std::vector<double> special_values() {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return {0.0,
          -0.0,
          nan,
          -nan,
          real(0x7FF0000000000001),
          real(0x7FF4000000000123),
          inf,
          -inf,
          std::numeric_limits<double>::denorm_min(),
          -std::numeric_limits<double>::denorm_min(),
          real(0x000FFFFFFFFFFFFF),
          std::numeric_limits<double>::min(),
          std::numeric_limits<double>::max(),
          -std::numeric_limits<double>::max(),
          1e300,
          -1e-300,
          1.0,
          -1.0,
          0.5,
          -0.5};
}

void add_neighbours(std::vector<double> &out, double x, int n) {
  double up = x, down = x;
  out.push_back(x);
  for (int k = 0; k < n; ++k) {
    up = std::nextafter(up, HUGE_VAL);
    down = std::nextafter(down, -HUGE_VAL);
    out.push_back(up);
    out.push_back(down);
  }
}

// Values that stress Fw.d: overflow thresholds, rounding carries at every
// power of ten, exact binary ties, decimal near-ties, values rounding to
// (negative) zero, random decimals and random bit patterns.
std::vector<double> fixed_values(int w, int d, std::mt19937_64 &rng,
                                 int nrandom) {
  std::vector<double> v = special_values();
  const double half = 0.5 * std::pow(10.0, -d);
  // Largest positive and negative values that still fit, and beyond.
  add_neighbours(v, std::pow(10.0, w - d - 1) - half, 6);
  if (w - d - 2 >= 0)
    add_neighbours(v, -(std::pow(10.0, w - d - 2) - half), 6);
  // Carries into one more digit, and powers of ten themselves.
  for (int k = -d; k <= w - d; ++k) {
    const double p = std::pow(10.0, k);
    add_neighbours(v, p - half, 2);
    add_neighbours(v, -(p - half), 2);
    add_neighbours(v, p, 1);
  }
  // Where the integer route of the writer ends (x * 10^d near 2^52), with
  // exact ties there when there are no decimals.
  add_neighbours(v, std::ldexp(1.0, 52) / std::pow(10.0, d), 2);
  for (double t : {0x1p51 + 0.5, 0x1p52 - 0.5, 0x1p52 - 1.5, 0x1p52 + 2})
    v.push_back(t / std::pow(10.0, d));
  // Rounding to zero or to one unit of the last decimal.
  add_neighbours(v, half, 3);
  add_neighbours(v, -half, 3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int k = 0; k < 20; ++k)
    v.push_back(-unit(rng) * half);
  // Exact binary ties at the last decimal: odd multiples of 2^-(d+1),
  // and other small dyadic fractions.
  const double tie_top =
      std::min(std::ldexp(std::pow(10.0, w - d - 1), d + 1), 0x1p52);
  std::uniform_int_distribution<std::int64_t> odd(0, std::int64_t(tie_top / 2));
  for (int k = 0; k < 100; ++k) {
    const double x = std::ldexp(double(2 * odd(rng) + 1), -(d + 1));
    v.push_back(k % 2 ? -x : x);
  }
  std::uniform_int_distribution<std::int64_t> mant(0, std::int64_t(1) << 20);
  for (int m = 1; m <= d + 4; ++m)
    for (int k = 0; k < 6; ++k) {
      const double x =
          std::ldexp(double(mant(rng) % (std::int64_t(1) << (m + 8))), -m);
      v.push_back(k % 2 ? -x : x);
    }
  // Decimal literals that look like ties, and their neighbours.
  std::uniform_int_distribution<std::int64_t> small(0, 99999);
  for (int k = 0; k < 60; ++k) {
    const double x = (double(small(rng)) + 0.5) / std::pow(10.0, d);
    add_neighbours(v, k % 2 ? -x : x, 1);
  }
  // Random values within and around the field's range: uniform, decimal
  // with d digits, and spread over every magnitude.
  const double top = std::pow(10.0, w - d - 1);
  std::uniform_real_distribution<double> span(-top / 10, top);
  std::uniform_real_distribution<double> expo(-d - 3.0, w - d + 1.0);
  std::uniform_int_distribution<std::uint64_t> any;
  for (int k = 0; k < nrandom; ++k) {
    switch (k % 5) {
    case 0:
      v.push_back(span(rng));
      break;
    case 1:
      v.push_back(std::round(span(rng) * std::pow(10.0, d)) /
                  std::pow(10.0, d));
      break;
    case 2:
    case 3:
      v.push_back((k & 8 ? -1 : 1) * std::pow(10.0, expo(rng)));
      break;
    case 4:
      v.push_back(real(std::int64_t(any(rng))));
      break;
    }
  }
  return v;
}

// Values that stress 1PEw.d: nine-digit ties, carries into the next
// exponent, the two-to-three-digit exponent change, every magnitude.
std::vector<double> sci_values(std::mt19937_64 &rng, int nrandom) {
  std::vector<double> v = special_values();
  for (double x : {1234567885.0, 1234567895.0, 1.220703125e-4, 9.999999995e-100,
                   9.99999999e99, 9.9999999995e99, 1e-99, 1e-100, 1e100, -1e100,
                   2.6406739845024124e-09, 3.111310234966149e-08,
                   9.9999999995e-10, 0.099999999995})
    add_neighbours(v, x, 2);
  std::uniform_int_distribution<std::int64_t> digits(100000000, 999999999);
  for (int k = 0; k < 200; ++k) // exact ties at the ninth digit
    v.push_back(double(digits(rng) * 10 + 5) * (k % 2 ? -1 : 1));
  std::uniform_real_distribution<double> expo(-320.0, 308.0);
  std::uniform_int_distribution<std::uint64_t> any;
  for (int k = 0; k < nrandom; ++k)
    v.push_back(k % 3 == 2 ? real(std::int64_t(any(rng)))
                           : (k & 4 ? -1 : 1) * std::pow(10.0, expo(rng)));
  return v;
}

// Values that stress the list-directed real field: the switch between
// fixed and exponent notation at 0.1 and 1e16/1e17, rounding carries
// across it, integers, every magnitude.
std::vector<double> list_values(std::mt19937_64 &rng, int nrandom) {
  std::vector<double> v = special_values();
  for (double x : {0.1, 0.09999999999999999, 0.099999999999999999, 1e15, 1e16,
                   99999999999999984.0, 1e17, 9.9999999999999999e16, 1.25,
                   -3.0e-5, 1e10, 1e100, 5e-324, 123456789012345678.0,
                   // exact ties at the 17th digit, the edges of the
                   // integer route (1e-6, 2^52)
                   1e15 + 0.25, 1e15 + 0.75, 2251799813685247.25, 1e-6,
                   4503599627370496.0, 9.999999999999999e-7})
    add_neighbours(v, x, 3);
  std::uniform_real_distribution<double> expo(-25.0, 25.0);
  std::uniform_int_distribution<std::uint64_t> any;
  for (int k = 0; k < nrandom; ++k)
    v.push_back(k % 4 == 3 ? real(std::int64_t(any(rng)))
                           : (k & 8 ? -1 : 1) * std::pow(10.0, expo(rng)));
  return v;
}

std::vector<std::int64_t> int_values(std::mt19937_64 &rng, int nrandom,
                                     bool int32) {
  std::vector<std::int64_t> v = {0, 1, -1, 9, -9, 10, -10};
  std::int64_t p = 1;
  for (int k = 1; k <= 18; ++k) {
    p *= 10;
    for (std::int64_t q : {p - 1, p, p + 1, -(p - 1), -p, -(p + 1)})
      v.push_back(q);
  }
  v.push_back(std::numeric_limits<std::int32_t>::max());
  v.push_back(std::numeric_limits<std::int32_t>::min());
  v.push_back(std::numeric_limits<std::int64_t>::max());
  v.push_back(std::numeric_limits<std::int64_t>::min());
  std::uniform_int_distribution<std::int64_t> any;
  std::uniform_int_distribution<int> len(0, 19);
  for (int k = 0; k < nrandom; ++k) {
    const std::int64_t x = any(rng);
    v.push_back(k % 2 ? x : x % std::int64_t(std::pow(10.0, len(rng))));
  }
  if (int32)
    std::erase_if(
        v, [](std::int64_t x) { return x != std::int64_t(std::int32_t(x)); });
  return v;
}

class FmtRuntime : public InTempDir {
protected:
  void SetUp() override {
    InTempDir::SetUp();
    if (!std::filesystem::exists(kRef))
      GTEST_SKIP() << "reference program " << kRef << " not built";
  }
};

// The descriptors of the program's files, and some narrow and wide ones
// that reach the corners of the rules (a dropped leading zero, Fw.0, the
// exact route for large values).
TEST_F(FmtRuntime, FixedFieldsMatchRuntime) {
  std::mt19937_64 rng(20240611);
  const int layouts[][2] = {{9, 5},  {6, 3},  {6, 1},  {8, 3}, {10, 1},
                            {12, 1}, {12, 2}, {11, 6}, {7, 2}};
  const int extra[][2] = {{4, 3},  {5, 3},   {3, 0},   {1, 0},
                          {2, 0},  {2, 1},   {3, 1},   {3, 2},
                          {25, 3}, {30, 15}, {40, 12}, {22, 20}};
  std::vector<Batch> batches;
  auto add = [&](int w, int d, int nrandom) {
    Batch b{FIXED, w, d, {}};
    for (double x : fixed_values(w, d, rng, nrandom))
      b.v.push_back(bits(x));
    batches.push_back(std::move(b));
  };
  for (auto [w, d] : layouts)
    add(w, d, w == 9 ? 200000 : 30000);
  for (auto [w, d] : extra)
    add(w, d, 4000);
  EXPECT_GT(compare_with_runtime(batches), 400000u);
}

TEST_F(FmtRuntime, ScientificFieldsMatchRuntime) {
  std::mt19937_64 rng(77);
  std::vector<Batch> batches;
  const int descr[][2] = {{15, 8}, {14, 8}, {12, 4}, {9, 2}, {24, 16}, {7, 0}};
  for (auto [w, d] : descr) {
    Batch b{SCI, w, d, {}};
    for (double x : sci_values(rng, w == 15 ? 60000 : 5000))
      b.v.push_back(bits(x));
    batches.push_back(std::move(b));
  }
  compare_with_runtime(batches);
}

TEST_F(FmtRuntime, IntegerFieldsMatchRuntime) {
  std::mt19937_64 rng(5);
  std::vector<Batch> batches;
  for (int w : {1, 2, 3, 4, 5, 10, 11, 20})
    batches.push_back({INT, w, 0, int_values(rng, 3000, false)});
  batches.push_back({LISTINT, 0, 0, int_values(rng, 5000, true)});
  compare_with_runtime(batches);
}

TEST_F(FmtRuntime, ListDirectedRealsMatchRuntime) {
  std::mt19937_64 rng(3);
  Batch b{LISTREAL, 0, 0, {}};
  for (double x : list_values(rng, 80000))
    b.v.push_back(bits(x));
  compare_with_runtime({b});
}

// The mixed records of the program's files and reports, built from the
// field writers as the writers of those files do, against the runtime's
// own records.
TEST_F(FmtRuntime, CompositeRecordsMatchRuntime) {
  std::vector<std::string> mine;
  char buf[512];
  auto rec = [&](char *end) { mine.emplace_back(buf, end); };
  using namespace fmt;
  auto control = [&](double s1, std::string_view label) {
    char *p = a(buf, "INTERNAL ");
    p = e1p(p, s1, 15, 8);
    p = a(p, " (20F9.5) ");
    p = i(p, -1, 3);
    p = x(p, 1);
    rec(a(p, label));
  };
  control(0.08333333333333333 / 31557600.0, "Steady ");
  control(0.08333333333333333 / 2678400.0, " 1/1950");
  control(0.0, " 1/1950");
  control(1e-100, " 1/1950");
  auto month = [&](int m, int y) {
    char *p = i(buf, m, 2);
    p = a(p, "/");
    rec(i(p, y, 4));
  };
  month(1, 1950);
  month(12, 1950);
  month(1, 12345);
  rec(f(buf, 1950 + 1 / 100.0, 7, 2));
  rec(f(buf, 2150 + 12 / 100.0, 7, 2));
  rec(a(i(i(buf, 14000, 10), 50, 10), " NOPRINT"));
  rec(a(i(i(buf, 14000, 10), 0, 10), " NOPRINT"));
  rec(i(i(buf, 1, 10), 0, 10));
  rec(a(x(i(i(buf, 0, 5), -1, 3), 1), "Steady "));
  rec(a(x(i(i(buf, 14000, 5), -1, 3), 1), " 1/1950"));
  auto well = [&](int r, int c, double q) {
    rec(f(i(i(i(buf, 1, 1), r, 4), c, 4), q, 11, 6));
  };
  well(1, 1, -0.5);
  well(165, 326, -1234.5678905);
  well(165, 326, -999.9999995);
  well(165, 326, -0.0);
  {
    char *p = a(buf, " Year");
    for (std::string_view s :
         {"CO", "Kansas_Zone", "ABCDEFGHIJKLMN", "TENCHARSXY", "gwIrr_af"})
      p = a(p, s, 10);
    rec(p);
    p = a(buf, " Year");
    p = a(p, "CO              ", 10);
    rec(a(p, "ABCDEFGHIJKLMN  ", 10));
  }
  {
    char *p = a(x(buf, 1), "SS  ", 4);
    for (double v : {640.0, 123456789.0, -0.04, 0.25})
      p = f(p, v, 10, 1);
    rec(p);
    p = a(buf, "1950", 4);
    for (double v : {123456789.0, 0.0, -0.04})
      p = f(p, v, 12, 1);
    rec(p);
  }
  {
    char *p = a(buf, "Precip", 6);
    for (int s : {1, 1, 2, 2})
      p = i(a(x(p, 1), "Soil"), s, 3);
    rec(p);
    p = f(buf, 30.0, 6, 1);
    for (double v : {3.0, 2.5, 12345.0, -0.0625})
      p = f(p, v, 8, 3);
    rec(p);
  }
  auto pump = [&](int n, int r, int c, double q1, double q2) {
    char *p = buf;
    for (int k : {n, r, c})
      p = a(i(p, k, 5), ",");
    for (double q : {q1, q2})
      p = a(f(p, q, 12, 2), ",");
    rec(p);
  };
  pump(1, 1, 1, 0.0, 0.0);
  pump(53790, 165, 326, 1234.565, -0.0);
  auto list = [&](auto build) {
    ListRecord r(buf, sizeof buf);
    build(r);
    mine.emplace_back(r.view());
  };
  list([](ListRecord &r) {
    r.text("WARNING: ")
        .text("Terrain multiplier error ")
        .integer(12)
        .integer(34)
        .real(0.0);
  });
  list([](ListRecord &r) {
    r.text("WARNING: ")
        .text("Terrain multiplier error ")
        .integer(165)
        .integer(326)
        .real(-1.5);
  });
  list([](ListRecord &r) {
    r.text("WARNING: ").text("Missing soil type ").integer(1).integer(1);
  });
  list([](ListRecord &r) { r.text("Increase MAXWEL to ").integer(14001); });
  list([](ListRecord &r) {
    r.text("Error opening file").text(" ").text("data/soil.txt");
  });
  list([](ListRecord &r) {
    r.text("Error opening file").text("data/soil.txt");
  });
  list([](ListRecord &r) { r.text("Negative PPT").real(-3.0e-5); });
  list([](ListRecord &r) { r.text("x").real(1.25).text("y"); });
  list([](ListRecord &r) { r.integer(12).integer(34); });
  list([](ListRecord &r) {
    r.integer(-1).integer(2147483647).integer(-2147483648LL);
  });

  const std::vector<std::string> ref = run_ref("composite", "");
  ASSERT_EQ(ref.size(), mine.size());
  for (std::size_t k = 0; k < ref.size(); ++k)
    EXPECT_EQ(mine[k], ref[k]) << "record " << k + 1;
}

// (kFw.d) through a file: format reversion, record lengths, line ends.
TEST_F(FmtRuntime, RowsMatchRuntime) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> val(-20.0, 1000.0);
  std::vector<double> grid(326);
  for (double &v : grid)
    v = val(rng) / (rng() % 2 ? 1.0 : 1e4);
  grid[0] = 0.001;
  grid[1] = 123.4;
  grid[2] = -0.0;
  grid[3] = 0.004;
  grid[5] = 999.999995; // too wide

  auto through_file = [&](std::span<const double> v, int k, int w, int d) {
    {
      OutFile out;
      EXPECT_TRUE(out.open("rows.txt"));
      fmt::rows(out, v, k, w, d);
      EXPECT_TRUE(out.close());
    }
    std::string in = std::to_string(k) + " " + std::to_string(w) + " " +
                     std::to_string(d) + " " + std::to_string(v.size()) + "\n";
    for (double x : v)
      in += std::to_string(bits(x)) + "\n";
    write_file("rows.in", in);
    const std::string cmd = "'" + kRef + "' rows < rows.in > rows.ref";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    const std::string got = read_file("rows.txt");
    EXPECT_EQ(got, read_file("rows.ref"))
        << v.size() << " values with (" << k << "F" << w << "." << d << ")";
    return split_records(got);
  };

  const auto recs = through_file(grid, 20, 9, 5);
  ASSERT_EQ(recs.size(), 17u);
  for (int r = 0; r < 16; ++r)
    EXPECT_EQ(recs[r].size(), 180u);
  EXPECT_EQ(recs[16].size(), 54u);
  EXPECT_EQ(recs[0].substr(0, 36), "  0.00100123.40000 -0.00000  0.00400")
      << "fields touch when a value fills its width";
  EXPECT_EQ(recs[0].substr(45, 9), "*********");

  EXPECT_EQ(through_file(std::span(grid).first(20), 20, 9, 5).size(), 1u);
  EXPECT_EQ(through_file(std::span(grid).first(40), 20, 9, 5).size(), 2u);
  EXPECT_EQ(through_file(std::span(grid).first(0), 20, 9, 5),
            std::vector<std::string>{""});
  const auto wide = through_file(grid, 999, 6, 3);
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_EQ(wide[0].size(), 1956u);
  // A record longer than one reserve() piece of the writer.
  std::vector<double> many(5000, 0.25);
  EXPECT_EQ(through_file(many, 2000, 12, 2).size(), 3u);
}

// A few measured fields spelled out, so that a fault reads plainly even
// where the reference program is not built.
TEST(Fmt, KnownFields) {
  char buf[64];
  auto F = [&](double v, int w, int d) {
    return std::string(buf, fmt::f(buf, v, w, d));
  };
  auto E = [&](double v) { return std::string(buf, fmt::e1p(buf, v, 15, 8)); };
  auto I = [&](std::int64_t v, int w) {
    return std::string(buf, fmt::i(buf, v, w));
  };
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(F(-1e-7, 9, 5), " -0.00000");
  EXPECT_EQ(F(-0.0, 6, 1), "  -0.0");
  EXPECT_EQ(F(0.015625, 9, 5), "  0.01562"); // tie to even
  EXPECT_EQ(F(0.046875, 9, 5), "  0.04688");
  EXPECT_EQ(F(2.675, 12, 2), "        2.67");
  EXPECT_EQ(F(0.000005, 9, 5), "  0.00001");
  EXPECT_EQ(F(999.999995, 9, 5), "*********");
  EXPECT_EQ(F(999.999994, 9, 5), "999.99999");
  EXPECT_EQ(F(-99.999995, 9, 5), "-99.99999");
  EXPECT_EQ(F(-100.0, 9, 5), "*********");
  EXPECT_EQ(F(0.5, 4, 3), ".500");
  EXPECT_EQ(F(-0.5, 5, 3), "-.500");
  EXPECT_EQ(F(2.5, 3, 0), " 2.");
  EXPECT_EQ(F(std::nan(""), 9, 5), "      NaN");
  EXPECT_EQ(F(inf, 9, 5), " Infinity");
  EXPECT_EQ(F(inf, 6, 1), "   Inf");
  EXPECT_EQ(F(-inf, 8, 3), "    -Inf");
  EXPECT_EQ(F(inf, 2, 1), "**");
  EXPECT_EQ(E(2.6406739845024124e-09), " 2.64067398E-09");
  EXPECT_EQ(E(1234567885.0), " 1.23456788E+09");
  EXPECT_EQ(E(9.9999999995e99), " 1.00000000+100");
  EXPECT_EQ(E(5e-324), " 4.94065646-324");
  EXPECT_EQ(E(-0.0), "-0.00000000E+00");
  EXPECT_EQ(I(10, 1), "*");
  EXPECT_EQ(I(-9, 2), "-9");
  EXPECT_EQ(I(-10, 2), "**");
  EXPECT_EQ(I(-2147483648LL, 10), "**********");
}

TEST(Fmt, TextsAndBlanks) {
  char buf[32];
  auto A = [&](std::string_view s, int w) {
    return std::string(buf, fmt::a(buf, s, w));
  };
  EXPECT_EQ(A("CO", 10), "        CO");
  EXPECT_EQ(A("Kansas_Zone", 10), "Kansas_Zon");
  EXPECT_EQ(A("TENCHARSXY", 10), "TENCHARSXY");
  EXPECT_EQ(A("", 3), "   ");
  EXPECT_EQ(std::string(buf, fmt::a(buf, "Steady ")), "Steady ");
  EXPECT_EQ(std::string(buf, fmt::x(buf, 3)), "   ");
  EXPECT_EQ(fmt::x(buf, 0), buf);
}

// The list-directed record writes into the caller's buffer and must never
// run past it: a full record is cut at the buffer's end.
TEST(Fmt, ListRecordStaysInItsBuffer) {
  char buf[40];
  std::memset(buf, '#', sizeof buf);
  fmt::ListRecord r(buf, 30);
  r.text("Value out of range in BINFIND").real(1e10).integer(7);
  EXPECT_EQ(r.view(), " Value out of range in BINFIND");
  EXPECT_EQ(std::string(buf + 30, 10), std::string(10, '#'));

  char big[80];
  fmt::ListRecord full(big, sizeof big);
  full.text("Value out of range in BINFIND").real(1e10);
  EXPECT_EQ(full.view(),
            " Value out of range in BINFIND   10000000000.000000     ");
}

// The fast route of Fw.d against the exact conversion rule of the runtime
// (printf of the exact value, right-justified, asterisks when too wide),
// over many more values than the reference program can take in a test run.
TEST(Fmt, FastRouteAgreesWithExactRule) {
  std::mt19937_64 rng(99);
  const int descr[][2] = {{9, 5}, {6, 3}, {11, 6}, {12, 2}, {10, 1}};
  std::size_t bad = 0, n = 0;
  for (auto [w, d] : descr) {
    const double top = std::pow(10.0, w - d - 1);
    std::uniform_real_distribution<double> span(-top / 10, top);
    std::uniform_real_distribution<double> expo(-d - 2.0, w - d - 1.0);
    for (int k = 0; k < 200000; ++k) {
      double v = k % 2 ? span(rng) : std::pow(10.0, expo(rng));
      if (k % 3 == 0) // a short decimal, the usual content of the files
        v = std::round(v * 1e4) / 1e4;
      char want[400], got[64];
      int len = std::snprintf(want, sizeof want, "%*.*f", w, d, v);
      if (len > w)
        len =
            std::snprintf(want, sizeof want, "%s", std::string(w, '*').c_str());
      fmt::f(got, v, w, d);
      ++n;
      if (std::string_view(got, w) != std::string_view(want, len) &&
          ++bad <= 10)
        ADD_FAILURE() << "F" << w << "." << d << " of " << v << ": |"
                      << std::string_view(got, w) << "| want |" << want << "|";
    }
  }
  EXPECT_EQ(bad, 0u) << "of " << n;
}

} // namespace
} // namespace quon::test

namespace quon::test {
namespace {

// RCH rows take a route of their own for (20F9.5); every field it writes
// must be the field f() writes (which the runtime comparison checks), also
// at ties, at the asterisk limits, for -0.0 and for NaN and infinities.
class FmtRows : public InTempDir {};

TEST_F(FmtRows, RowsOfF9_5AreTheFieldsOfF) {
  std::mt19937_64 rng(2718);
  std::vector<double> v = fixed_values(9, 5, rng, 100000);
  for (double e :
       {0.0, -0.0, 0.000005, -0.000005, 0.015625, -0.015625, 999.999995,
        999.99999499999989894, -99.999995, -99.999994999999998413, 1000.0,
        -100.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()})
    v.push_back(e);
  for (int k = 0; k < 20000; ++k) // exact ties at the fifth decimal
    v.push_back((2.0 * double(rng() % 100000000) + 1.0) / 200000.0 *
                (k % 2 ? 1.0 : -1.0));
  {
    OutFile out;
    ASSERT_TRUE(out.open("rows.txt"));
    fmt::rows(out, v, 20, 9, 5);
    ASSERT_TRUE(out.close());
  }
  std::string want;
  for (std::size_t i = 0; i < v.size(); ++i) {
    char buf[16];
    want.append(buf, fmt::f(buf, v[i], 9, 5));
    if (i % 20 == 19 || i + 1 == v.size())
      want += '\n';
  }
  const std::string got = read_file("rows.txt");
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::size_t at = i * 9 + i / 20;
    ASSERT_EQ(got.substr(at, 9), want.substr(at, 9))
        << "value " << i << " = " << v[i];
  }
}

// The shortest text reads back to the same bits and fits SHORTEST_MAX for
// the longest forms (17 digits, negative, exponent).
TEST(Fmt, ShortestReadsBackToTheSameDouble) {
  std::mt19937_64 gen(25);
  char buf[fmt::SHORTEST_MAX + 1];
  for (int k = 0; k < 20000; ++k) {
    const double v =
        k == 0 ? -2.2250738585072014e-308 : std::bit_cast<double>(gen());
    if (!std::isfinite(v))
      continue;
    char *end = fmt::shortest(buf, v);
    ASSERT_LE(end - buf, fmt::SHORTEST_MAX);
    *end = 0;
    EXPECT_EQ(std::strtod(buf, nullptr), v) << buf;
  }
  EXPECT_EQ(std::string(buf, fmt::shortest(buf, 1460404.966621465)),
            "1460404.966621465");
  EXPECT_EQ(std::string(buf, fmt::digits(buf, -1948)), "-1948");
}

} // namespace
} // namespace quon::test

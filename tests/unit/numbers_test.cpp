#include "core/numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace morsello {
namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

struct Case {
  const char* text;
  std::int64_t expected;
};

TEST(FormNumber, ReadsTheLeadingDecimalNumber) {
  const Case cases[] = {
      {"", 0},           {"abc", 0},          {"12ms", 12},          {"1e3", 1000},
      {" 7", 7},         {"\t 8", 8},         {"2,5", 2},            {"50.5", 50},
      {"51.5", 52},      {"2.5", 2},          {"3.5", 4},            {"2.6", 3},
      {"2.4", 2},        {"-0.5", 0},         {"-3", -3},            {"+42", 42},
      {"0x10", 0},       {"1e", 1},           {"1e+", 1},            {"1.5e1x", 15},
      {".5", 0},         {".6", 1},           {"5.", 5},             {"-", 0},
      {"+.", 0},         {"1e-400", 0},       {"16777217", 16777216},
      {"4000", 4000},    {"  -12.5e1 ", -125},
      {"+Infinity", kMin}, {"-infinity", kMin}, {"NaN", kMin}, {"nan", kMin},
      {"1e400", kMin},   {"-1e400", kMin},    {"1e30", kMin},  // beyond 64 bits
      {"9e18", 9000000202358128640},  // the float nearest to 9e18
  };
  for (const auto& c : cases) EXPECT_EQ(form_number(c.text), c.expected) << '"' << c.text << '"';
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(round_half_even(0.5), 0.0);
  EXPECT_EQ(round_half_even(1.5), 2.0);
  EXPECT_EQ(round_half_even(-1.5), -2.0);
  EXPECT_EQ(round_half_even(-2.5), -2.0);
  EXPECT_EQ(round_half_even(2.4999), 2.0);
  EXPECT_EQ(round_half_even(-0.6), -1.0);
}

}  // namespace
}  // namespace morsello

#include "core/text.h"

#include <gtest/gtest.h>

namespace morsello {
namespace {

struct Order {
  const char* a;
  const char* b;
  int sign;
};

TEST(CompareText, FollowsUtf16CodeUnits) {
  const Order cases[] = {
      {"", "", 0},
      {"", "a", -1},
      {"COM1", " ", 1},
      {" ", " ", 0},
      {"  ", " ", 1},       // a longer text with the shorter as prefix is greater
      {"\t", " ", -1},      // below U+0020
      {"2025-11-27 15:21", "2025-11-27 15:21:00", -1},
      {"2025-11-27 9:05", "2025-11-27 23:59", 1},  // '9' beats any first hour digit
      {"a", "B", 1},        // case-sensitive: 'a' is 0x61
      {"Ö", "Z", 1},        // U+00D6 above 'Z'
      // U+FFFD sorts above a supplementary character, whose lead surrogate is
      // 0xD83D: UTF-16 order, not code-point order.
      {"\xEF\xBF\xBD", "\xF0\x9F\x98\x80", 1},
  };
  for (const auto& c : cases) {
    const int r = compare_text(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << '"' << c.a << "\" vs \"" << c.b << '"';
    EXPECT_EQ(text_greater(c.a, c.b), c.sign > 0);
  }
}

TEST(Utf16Length, CountsUnitsAndKeepsInvalidBytes) {
  EXPECT_EQ(utf16_length("TK001"), 5u);
  EXPECT_EQ(utf16_length("ÅÄÖ"), 3u);
  EXPECT_EQ(utf16_length("\xF0\x9F\x98\x80"), 2u);  // a surrogate pair
  EXPECT_EQ(utf16_length("a\xFF" "b"), 3u);          // one invalid byte, one unit
  const Char c = char_at("\xC3(", 0);                // truncated sequence
  EXPECT_FALSE(c.valid);
  EXPECT_EQ(c.bytes.size(), 1u);
}

}  // namespace
}  // namespace morsello

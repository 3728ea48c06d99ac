// Text helpers. Texts are UTF-8 std::string throughout; where the program
// compares or counts characters it does so by UTF-16 code units, so that
// ordering and widths agree with what the operator's files have always meant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace morsello {

// Code-unit order of the UTF-16 forms: the first difference decides, a prefix
// is the smaller. Case-sensitive, no locale. Negative, zero or positive.
int compare_text(std::string_view a, std::string_view b);

inline bool text_greater(std::string_view a, std::string_view b) {
  return compare_text(a, b) > 0;
}

// One character of a UTF-8 text: a whole code point, or one byte that is not
// part of a valid sequence (kept as it is).
struct Char {
  std::string_view bytes;
  char32_t code = 0;        // the code point; 0xFFFD stands for an invalid byte
  bool valid = true;
  int utf16_units = 1;      // 2 outside the Basic Multilingual Plane
};

// Decodes the character that starts at `pos`; `pos` must be < s.size().
Char char_at(std::string_view s, std::size_t pos);

// Number of UTF-16 code units of the text (an invalid byte counts as one).
std::size_t utf16_length(std::string_view s);

// Decimal form of a signed 64-bit number.
std::string decimal(std::int64_t n);

}  // namespace morsello

#include "core/text.h"

#include <array>

namespace morsello {

Char char_at(std::string_view s, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  Char invalid{s.substr(pos, 1), 0xFFFD, false, 1};
  int len = 0;
  char32_t cp = 0;
  if (b0 < 0x80) {
    return Char{s.substr(pos, 1), b0, true, 1};
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07;
  } else {
    return invalid;
  }
  if (pos + len > s.size()) return invalid;
  for (int i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) return invalid;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  static constexpr std::array<char32_t, 5> kMin{0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return invalid;
  return Char{s.substr(pos, len), cp, true, cp >= 0x10000 ? 2 : 1};
}

namespace {

// The UTF-16 code unit at index `unit` (0 or 1) of a character.
char16_t unit_of(const Char& c, int unit) {
  if (c.utf16_units == 1) return static_cast<char16_t>(c.code);
  const char32_t v = c.code - 0x10000;
  return unit == 0 ? static_cast<char16_t>(0xD800 + (v >> 10))
                   : static_cast<char16_t>(0xDC00 + (v & 0x3FF));
}

}  // namespace

int compare_text(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const Char ca = char_at(a, i), cb = char_at(b, j);
    for (int u = 0; u < ca.utf16_units && u < cb.utf16_units; ++u) {
      const char16_t ua = unit_of(ca, u), ub = unit_of(cb, u);
      if (ua != ub) return ua < ub ? -1 : 1;
    }
    // Equal first units with different unit counts cannot happen: a lead
    // surrogate never equals a BMP unit.
    i += ca.bytes.size();
    j += cb.bytes.size();
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::size_t utf16_length(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) {
    const Char c = char_at(s, i);
    n += c.utf16_units;
    i += c.bytes.size();
  }
  return n;
}

std::string decimal(std::int64_t n) { return std::to_string(n); }

}  // namespace morsello

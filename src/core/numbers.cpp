#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace morsello {

double round_half_even(double v) {
  const double lower = std::floor(v);
  const double diff = v - lower;
  if (diff < 0.5) return lower;
  if (diff > 0.5) return lower + 1.0;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool starts_with_nocase(std::string_view s, std::string_view word) {
  if (s.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// The leading number of `s` in double precision; 0 when there is none.
double leading_number(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && is_space(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::string_view rest = s.substr(i);
  if (starts_with_nocase(rest, "infinity"))
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  if (starts_with_nocase(rest, "nan")) return std::numeric_limits<double>::quiet_NaN();

  // Longest prefix of the form digits [. digits] [e [sign] digits].
  std::size_t j = i, digits = 0;
  while (j < s.size() && is_digit(s[j])) ++j, ++digits;
  if (j < s.size() && s[j] == '.') {
    ++j;
    while (j < s.size() && is_digit(s[j])) ++j, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = j;
  bool negative_exponent = false;
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    std::size_t k = j + 1;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) negative_exponent = s[k++] == '-';
    const std::size_t exp_start = k;
    while (k < s.size() && is_digit(s[k])) ++k;
    if (k > exp_start) end = k;
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(s.data() + i, s.data() + end, value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on overflow and underflow.
    const bool exponent_written = end > j;
    value = exponent_written && negative_exponent ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

// What a double becomes as a float, without the undefined cast of values
// beyond the float range.
double narrow_to_float(double d) {
  constexpr double kOverflow = 3.4028235677973366e38;  // rounds to infinity from here on
  if (std::isnan(d)) return d;
  if (d >= kOverflow) return std::numeric_limits<double>::infinity();
  if (d <= -kOverflow) return -std::numeric_limits<double>::infinity();
  return static_cast<double>(static_cast<float>(d));
}

}  // namespace

std::int64_t form_number(std::string_view text) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  const double f = narrow_to_float(leading_number(text));
  if (!std::isfinite(f)) return kMin;
  const double r = round_half_even(f);
  constexpr double kTwo63 = 9223372036854775808.0;
  if (r >= kTwo63 || r < -kTwo63) return kMin;
  return static_cast<std::int64_t>(r);
}

}  // namespace morsello

// Numbers made from the operator's texts.
#pragma once

#include <cstdint>
#include <string_view>

namespace morsello {

// Round to the nearest integer, ties to the even one, independent of the
// floating-point rounding mode.
double round_half_even(double v);

// A field's text as a number: the longest leading decimal number (after white
// space; "+Infinity", "-Infinity" and "NaN" in any case too), 0 when there is
// none, narrowed to single precision and rounded ties-to-even to 64 bits.
// Infinity, NaN and values outside the 64-bit range give the most negative
// 64-bit number. Never fails.
std::int64_t form_number(std::string_view text);

}  // namespace morsello

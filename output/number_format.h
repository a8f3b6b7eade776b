// Number formatting by pattern ("#######0", "##0.00", ...) for the output files.
// Always the full stop: a decimal comma would break a GSLIB file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

/// Formats `value` with a pattern of '#' and '0' digit places and an optional
/// '.': rounded to the pattern's decimals (the exact binary value; exact ties
/// away from zero), '0' places always filled, '#' places only where the number
/// has a digit, extra integer digits always written, "-" only when the rounded
/// text has a non-zero digit. Patterns: "#######0", "##000000", "###0",
/// "##0.00", "##0.00000"; other characters throw std::invalid_argument.
/// The rounding works on the exact binary value of any double. Values that
/// came from a float take a fast path that is exact: with up to 5 decimals the
/// product with 10^decimals needs at most 24 + 12 bits, so it has no rounding
/// error. Other doubles may fall back to the exact decimal expansion, which is
/// slower. NaN and infinities give "NaN", "Infinity" and "-Infinity".
std::string FormatPattern(double value, std::string_view pattern);
std::string FormatPattern(std::int32_t value, std::string_view pattern);

}  // namespace tarvik

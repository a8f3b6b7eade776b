// Number formatting by pattern ("#######0", "##0.00", ...) for the output files.
// Always the full stop: a decimal comma would break a GSLIB file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

/// A pattern of '#' and '0' digit places and an optional '.', read once and
/// then applied to any number of values. Formatting rules: FormatPattern.
class NumberPattern {
 public:
  /// Throws std::invalid_argument for any other character; a constant
  /// pattern that is bad does not compile.
  constexpr explicit NumberPattern(std::string_view pattern) {
    int integerPlaces = 0;
    int firstZero = -1;  // integer place of the leftmost '0'
    bool afterPoint = false;
    for (const char c : pattern) {
      if (c == '.' && !afterPoint) {
        afterPoint = true;
      } else if (c != '0' && c != '#') {
        ThrowBadPattern(pattern);
      } else if (afterPoint) {
        ++decimals_;
        if (c == '0') requiredDecimals_ = decimals_;
      } else {
        if (c == '0' && firstZero < 0) firstZero = integerPlaces;
        ++integerPlaces;
      }
    }
    minIntegerDigits_ = firstZero < 0 ? 0 : integerPlaces - firstZero;
  }

  /// Appends the text of `value` to `out`, spaces in front up to `width` characters.
  void Append(std::string& out, double value, std::size_t width = 0) const;
  void Append(std::string& out, std::int32_t value, std::size_t width = 0) const;

  /// Writes the text of `value` at `out`, as Append, and returns its end.
  /// `out` has room for Room(width) characters.
  char* Write(char* out, float value, std::size_t width = 0) const;
  char* Write(char* out, std::int32_t value, std::size_t width = 0) const;

  /// The most characters Write gives at `width`: a sign, the 39 integer
  /// digits of the largest float or the pattern's places, a point, decimals.
  constexpr std::size_t Room(std::size_t width) const {
    const auto text =
        static_cast<std::size_t>(2 + (minIntegerDigits_ > 39 ? minIntegerDigits_ : 39) + decimals_);
    return text > width ? text : width;
  }

  int MinIntegerDigits() const { return minIntegerDigits_; }
  int Decimals() const { return decimals_; }
  int RequiredDecimals() const { return requiredDecimals_; }

 private:
  /// Throws std::invalid_argument naming `pattern`.
  [[noreturn]] static void ThrowBadPattern(std::string_view pattern);

  int minIntegerDigits_ = 0;  // integer places from the leftmost '0' to the point
  int decimals_ = 0;          // places after the point
  int requiredDecimals_ = 0;  // fraction places up to the rightmost '0'
};

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

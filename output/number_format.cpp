#include "output/number_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvik {

namespace {

/// The parts of a pattern that shape the text.
struct PatternShape {
  int minIntegerDigits = 0;  // integer places from the leftmost '0' to the point
  int decimals = 0;          // places after the point
  int requiredDecimals = 0;  // fraction places up to the rightmost '0'
};

[[noreturn]] [[gnu::cold]] [[gnu::noinline]] void ThrowBadPattern(std::string_view pattern) {
  throw std::invalid_argument("Bad number pattern: " + std::string(pattern));
}

/// Inlined: returning the small record through memory costs more than parsing.
[[gnu::always_inline]] inline PatternShape ParsePattern(std::string_view pattern) {
  PatternShape shape;
  int integerPlaces = 0;
  int firstZero = -1;  // integer place of the leftmost '0'
  bool afterPoint = false;
  for (const char c : pattern) {
    if (c == '.' && !afterPoint) {
      afterPoint = true;
    } else if (c != '0' && c != '#') {
      ThrowBadPattern(pattern);
    } else if (afterPoint) {
      ++shape.decimals;
      if (c == '0') shape.requiredDecimals = shape.decimals;
    } else {
      if (c == '0' && firstZero < 0) firstZero = integerPlaces;
      ++integerPlaces;
    }
  }
  shape.minIntegerDigits = firstZero < 0 ? 0 : integerPlaces - firstZero;
  return shape;
}

/// Lays out `digits`, the magnitude rounded to `shape.decimals` decimals and
/// written as a whole number of units of the last decimal, by the pattern.
std::string Layout(bool negative, std::string_view digits, const PatternShape& shape) {
  const auto decimals = static_cast<std::size_t>(shape.decimals);
  // The fraction is `leadingZeros` zeros followed by `tail`.
  std::string_view integer;
  std::string_view tail = digits;
  std::size_t leadingZeros = 0;
  if (digits.size() > decimals) {
    integer = digits.substr(0, digits.size() - decimals);
    tail = digits.substr(digits.size() - decimals);
  } else {
    leadingZeros = decimals - digits.size();
  }
  while (!integer.empty() && integer.front() == '0') integer.remove_prefix(1);
  // '#' places after the point show only digits the number has.
  std::size_t kept = decimals;
  const auto required = static_cast<std::size_t>(shape.requiredDecimals);
  while (kept > required && (kept <= leadingZeros || tail[kept - leadingZeros - 1] == '0')) {
    --kept;
  }
  const auto minInteger = static_cast<std::size_t>(shape.minIntegerDigits);
  const std::size_t integerPad = integer.size() < minInteger ? minInteger - integer.size() : 0;

  const bool sign = negative && digits.find_first_not_of('0') != std::string_view::npos;
  const std::size_t zeros = std::min(kept, leadingZeros);
  std::string text((sign ? 1 : 0) + integerPad + integer.size() + (kept > 0 ? 1 + kept : 0), '0');
  char* out = text.data();
  if (sign) *out++ = '-';
  out += integerPad;
  out = std::copy(integer.begin(), integer.end(), out);
  if (kept > 0) {
    *out++ = '.';
    out += zeros;
    std::copy_n(tail.begin(), kept - zeros, out);
  }
  return text;
}

/// Layout for a magnitude of `units` of the last decimal that fits 64 bits:
/// the common case, written right to left without any intermediate text.
std::string LayoutUnits(bool negative, std::uint64_t units, const PatternShape& shape) {
  if (shape.minIntegerDigits + shape.decimals > 40) {
    char buffer[24];
    char* end = std::to_chars(buffer, buffer + sizeof buffer, units).ptr;
    return Layout(negative, std::string_view(buffer, static_cast<std::size_t>(end - buffer)),
                  shape);
  }
  char buffer[64];
  char* const end = buffer + sizeof buffer;
  char* first = end;
  const bool sign = negative && units != 0;
  int kept = shape.decimals;
  // '#' places after the point show only digits the number has.
  while (kept > shape.requiredDecimals && units % 10 == 0) {
    units /= 10;
    --kept;
  }
  for (int i = 0; i < kept; ++i) {
    *--first = static_cast<char>('0' + units % 10);
    units /= 10;
  }
  if (kept > 0) *--first = '.';
  int integerDigits = 0;
  for (; units > 0; ++integerDigits) {
    *--first = static_cast<char>('0' + units % 10);
    units /= 10;
  }
  for (; integerDigits < shape.minIntegerDigits; ++integerDigits) *--first = '0';
  if (sign) *--first = '-';
  return std::string(first, end);
}

/// Rounds |value| * 10^decimals to a whole number, exact ties away from zero,
/// from the exact decimal expansion of the value. Slow, but right for any double.
std::string RoundedDigitsExact(double magnitude, int decimals) {
  int exponent = 0;
  std::frexp(magnitude, &exponent);
  // A double with e bits after the binary point has exactly e decimals.
  const int fractionBits = std::max(0, 53 - exponent);
  const int precision = std::max(fractionBits, decimals + 1);
  std::string expansion(static_cast<std::size_t>(precision) + 330, '\0');
  auto [end, error] = std::to_chars(expansion.data(), expansion.data() + expansion.size(),
                                    magnitude, std::chars_format::fixed, precision);
  if (error != std::errc{}) throw std::runtime_error("number too long to format");
  expansion.resize(static_cast<std::size_t>(end - expansion.data()));
  const auto point = expansion.find('.');
  const bool roundUp = expansion[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
  std::string digits =
      expansion.substr(0, point) + expansion.substr(point + 1, static_cast<std::size_t>(decimals));
  if (roundUp) {
    auto i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[i - 1];
    }
  }
  return digits;
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
/// Significant bits of 5^d, the odd part of 10^d, for d = 0..22.
constexpr int kBitsOfFivePower[] = {1,  3,  5,  7,  10, 12, 14, 17, 19, 21, 24, 26,
                                    28, 31, 33, 35, 38, 40, 42, 45, 47, 49, 52};
constexpr double kTwoTo52 = 4503599627370496.0;

/// Significant bits of a normal double (53 less the trailing zeros of its
/// mantissa); 54 for zero, subnormals, infinities and NaN, which never pass.
int SignificantBits(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint64_t exponent = (bits >> 52) & 0x7FF;
  if (exponent == 0 || exponent == 0x7FF) return 54;
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  return 53 - std::countr_zero(mantissa);
}

}  // namespace

std::string FormatPattern(double value, std::string_view pattern) {
  const PatternShape shape = ParsePattern(pattern);
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(value);

  if (shape.decimals < static_cast<int>(std::size(kPowersOfTen))) {
    const double scale = kPowersOfTen[shape.decimals];
    const double x = magnitude * scale;
    if (x < 0.25) {
      return Layout(negative, "0", shape);  // far from any tie, rounds to 0
    }
    // The product is exact when the significant bits of the value and of 5^d
    // fit in 53 (the power of two in 10^d costs none): for every float and up
    // to 5 decimals, 24 + 12 bits.
    if (SignificantBits(magnitude) + kBitsOfFivePower[shape.decimals] <= 53 && std::isfinite(x)) {
      if (x < kTwoTo52) {
        auto whole = static_cast<std::uint64_t>(x);
        if (x - static_cast<double>(whole) >= 0.5) ++whole;  // exact ties away from zero
        return LayoutUnits(negative, whole, shape);
      }
      // No fraction left: the whole number, exactly.
      std::string digits(400, '\0');
      auto result = std::to_chars(digits.data(), digits.data() + digits.size(), x,
                                  std::chars_format::fixed, 0);
      digits.resize(static_cast<std::size_t>(result.ptr - digits.data()));
      return Layout(negative, digits, shape);
    }
  }
  return Layout(negative, RoundedDigitsExact(magnitude, shape.decimals), shape);
}

std::string FormatPattern(std::int32_t value, std::string_view pattern) {
  const PatternShape shape = ParsePattern(pattern);
  const std::int64_t wide = value;
  const auto magnitude = static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
  if (shape.decimals <= 9) {  // below 2^31 * 10^9, well inside 64 bits
    std::uint64_t units = magnitude;
    for (int i = 0; i < shape.decimals; ++i) units *= 10;
    return LayoutUnits(value < 0, units, shape);
  }
  char buffer[24];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr;
  std::string digits(buffer, end);
  digits.append(static_cast<std::size_t>(shape.decimals), '0');
  return Layout(value < 0, digits, shape);
}

}  // namespace tarvik

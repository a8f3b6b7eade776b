#include "output/number_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/number_text.h"

namespace tarvik {

namespace {

/// `text` right-aligned with spaces in at least `width` characters.
void AppendAligned(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() < width) out.append(width - text.size(), ' ');
  out += text;
}

/// Lays out `digits`, the magnitude rounded to `shape.decimals` decimals and
/// written as a whole number of units of the last decimal, by the pattern.
std::string Layout(bool negative, std::string_view digits, const NumberPattern& shape) {
  const auto decimals = static_cast<std::size_t>(shape.Decimals());
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
  const auto required = static_cast<std::size_t>(shape.RequiredDecimals());
  while (kept > required && (kept <= leadingZeros || tail[kept - leadingZeros - 1] == '0')) {
    --kept;
  }
  const auto minInteger = static_cast<std::size_t>(shape.MinIntegerDigits());
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

/// Writes the layout of a magnitude of `units` of the last decimal at `out`,
/// spaces in front up to `width` characters; returns the end. `out` has room
/// for shape.Room(width) characters: `units` has at most 20 digits. The common
/// case, written right to left without any intermediate text.
char* WriteUnits(char* out, bool negative, std::uint64_t units, const NumberPattern& shape,
                 std::size_t width) {
  const bool sign = negative && units != 0;
  int kept = shape.Decimals();
  // '#' places after the point show only digits the number has.
  while (kept > shape.RequiredDecimals() && units % 10 == 0) {
    units /= 10;
    --kept;
  }
  const int integerDigits = std::max(DecimalDigits(units) - kept, shape.MinIntegerDigits());
  const auto length =
      static_cast<std::size_t>((sign ? 1 : 0) + integerDigits + (kept > 0 ? 1 + kept : 0));
  const std::size_t spaces = length < width ? width - length : 0;
  char* const end = out + spaces + length;
  char* first = end;
  if (kept > 0) {
    units = WriteDigitsBackward(first, units, kept);
    first -= kept;
    *--first = '.';
  }
  WriteDigitsBackward(first, units, integerDigits);  // zeros once the digits run out
  first -= integerDigits;
  if (sign) *--first = '-';
  while (first != out) *--first = ' ';
  return end;
}

/// WriteUnits appended to `out`.
void AppendUnits(std::string& out, bool negative, std::uint64_t units, const NumberPattern& shape,
                 std::size_t width) {
  char buffer[128];
  if (shape.Room(width) <= sizeof buffer) {
    out.append(buffer, WriteUnits(buffer, negative, units, shape, width));
    return;
  }
  std::string text(shape.Room(width), ' ');  // a pattern of very many places
  text.erase(static_cast<std::size_t>(WriteUnits(text.data(), negative, units, shape, width) -
                                      text.data()));
  out += text;
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

/// Whether |value| x 10^decimals is exact in a double: the significant bits
/// of the value and of 5^decimals fit in 53 (the power of two in 10^decimals
/// costs none). For every float and up to 5 decimals, 24 + 12 bits.
bool ExactProduct(double magnitude, int decimals) {
  return SignificantBits(magnitude) + kBitsOfFivePower[decimals] <= 53;
}

/// `magnitude` (finite) x 10^decimals rounded to a whole number, exact ties
/// away from zero: when the product is below 0.25, or exact and below 2^52;
/// false otherwise.
bool RoundedUnits(double magnitude, int decimals, std::uint64_t& units) {
  if (decimals >= static_cast<int>(std::size(kExactPowersOfTen))) return false;
  const double x = magnitude * kExactPowersOfTen[decimals];
  if (x < 0.25) {  // far from any tie, rounds to 0
    units = 0;
    return true;
  }
  if (!ExactProduct(magnitude, decimals) || !(x < kTwoTo52)) return false;
  units = static_cast<std::uint64_t>(x);
  if (x - static_cast<double>(units) >= 0.5) ++units;  // exact ties away from zero
  return true;
}

/// Decimals up to which a 32-bit whole number in units of the last decimal
/// fits 64 bits: below 2^31 x 10^9.
constexpr int kMostWholeDecimals = 9;

/// |value| x 10^decimals, for up to kMostWholeDecimals decimals.
std::uint64_t WholeUnits(std::int32_t value, int decimals) {
  const std::int64_t wide = value;
  auto units = static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
  for (int i = 0; i < decimals; ++i) units *= 10;
  return units;
}

}  // namespace

void NumberPattern::ThrowBadPattern(std::string_view pattern) {
  throw std::invalid_argument("Bad number pattern: " + std::string(pattern));
}

void NumberPattern::Append(std::string& out, double value, std::size_t width) const {
  if (std::isnan(value)) return AppendAligned(out, "NaN", width);
  if (std::isinf(value)) return AppendAligned(out, value < 0 ? "-Infinity" : "Infinity", width);
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  std::uint64_t units = 0;
  if (RoundedUnits(magnitude, decimals_, units)) {
    return AppendUnits(out, negative, units, *this, width);
  }
  const double x = decimals_ < static_cast<int>(std::size(kExactPowersOfTen))
                       ? magnitude * kExactPowersOfTen[decimals_]
                       : std::numeric_limits<double>::infinity();
  if (std::isfinite(x) && ExactProduct(magnitude, decimals_)) {
    // No fraction left: the whole number, exactly.
    std::string digits(400, '\0');
    auto result =
        std::to_chars(digits.data(), digits.data() + digits.size(), x, std::chars_format::fixed, 0);
    digits.resize(static_cast<std::size_t>(result.ptr - digits.data()));
    return AppendAligned(out, Layout(negative, digits, *this), width);
  }
  AppendAligned(out, Layout(negative, RoundedDigitsExact(magnitude, decimals_), *this), width);
}

void NumberPattern::Append(std::string& out, std::int32_t value, std::size_t width) const {
  if (decimals_ <= kMostWholeDecimals) {
    return AppendUnits(out, value < 0, WholeUnits(value, decimals_), *this, width);
  }
  const std::int64_t wide = value;
  const auto magnitude = static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
  char buffer[24];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr;
  std::string digits(buffer, end);
  digits.append(static_cast<std::size_t>(decimals_), '0');
  AppendAligned(out, Layout(value < 0, digits, *this), width);
}

char* NumberPattern::Write(char* out, float value, std::size_t width) const {
  const auto magnitude = static_cast<double>(std::fabs(value));
  std::uint64_t units = 0;
  if (std::isfinite(magnitude) && RoundedUnits(magnitude, decimals_, units)) {
    return WriteUnits(out, std::signbit(value), units, *this, width);
  }
  std::string text;
  Append(text, static_cast<double>(value), width);
  return std::copy(text.begin(), text.end(), out);
}

char* NumberPattern::Write(char* out, std::int32_t value, std::size_t width) const {
  if (decimals_ <= kMostWholeDecimals) {
    return WriteUnits(out, value < 0, WholeUnits(value, decimals_), *this, width);
  }
  std::string text;
  Append(text, value, width);
  return std::copy(text.begin(), text.end(), out);
}

std::string FormatPattern(double value, std::string_view pattern) {
  std::string text;
  NumberPattern(pattern).Append(text, value);
  return text;
}

std::string FormatPattern(std::int32_t value, std::string_view pattern) {
  std::string text;
  NumberPattern(pattern).Append(text, value);
  return text;
}

}  // namespace tarvik

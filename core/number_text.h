// The one decimal scanner of the engine, the conversions built on it, and the
// general number form used wherever a number becomes text.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

/// What a scanned text came to.
enum class NumberStatus {
  Ok,
  Empty,       // nothing (but blanks, when they are trimmed)
  NotANumber,  // any other shape, words such as "inf", "nan" and "NA", hexadecimal forms
  OutOfRange   // beyond the double range; a value too small to represent is a zero instead
};

/// How a text is scanned: the decimal separator, and whether blanks (space,
/// tab, CR, LF) around the number are skipped or make it no number.
struct NumberForm {
  char decimalPoint = '.';
  bool trimBlanks = true;
};

/// The status of a scan and, when Ok, its value.
struct NumberScan {
  NumberStatus status = NumberStatus::Empty;
  double value = 0;
};

/// The powers of ten that are exact in a double.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// Scans a plain decimal from `p`: an optional sign, digits, and an optional
/// separator with more digits, up to the first other character. When there
/// is a digit, at most 15 significant ones and at most 22 after the
/// separator, the digits make a whole number exact in a double and the
/// power of ten is exact too, so one division gives the correctly rounded
/// value: `value` takes it, `p` moves past the number, and the result is
/// true. Otherwise nothing changes and the result is false. ScanNumber takes
/// this way first; a reader may take it directly.
inline bool ScanPlainDecimal(const char*& p, const char* end, char decimalPoint, double& value) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  const char* q = p;
  bool negative = false;
  if (q != end && (*q == '+' || *q == '-')) negative = *q++ == '-';
  const char* const integerPart = q;
  while (q != end && *q == '0') ++q;
  const char* const leading = q;
  std::uint64_t integer = 0;  // wraps only past 19 digits, which are refused
  for (; q != end && isDigit(*q); ++q)
    integer = integer * 10 + static_cast<std::uint64_t>(*q - '0');
  std::ptrdiff_t significantDigits = q - leading;
  bool digits = q != integerPart;
  std::ptrdiff_t fractionDigits = 0;
  if (q != end && *q == decimalPoint) {
    const char* const fraction = ++q;
    if (significantDigits == 0) {
      while (q != end && *q == '0') ++q;
    }
    const char* const first = q;
    for (; q != end && isDigit(*q); ++q)
      integer = integer * 10 + static_cast<std::uint64_t>(*q - '0');
    fractionDigits = q - fraction;
    significantDigits += q - first;
    digits = digits || q != fraction;
  }
  if (!digits || significantDigits > 15 || fractionDigits >= std::ssize(kExactPowersOfTen)) {
    return false;
  }
  // A whole number needs no division (by one, which changes nothing).
  const double magnitude = fractionDigits == 0
                               ? static_cast<double>(integer)
                               : static_cast<double>(integer) /
                                     kExactPowersOfTen[static_cast<std::size_t>(fractionDigits)];
  value = negative ? -magnitude : magnitude;
  p = q;
  return true;
}

/// Scans a decimal number: an optional sign, digits with an optional fraction
/// and an optional exponent (`e` or `E`, optional sign, digits). A value too
/// small to represent is a zero of its sign, one too large is OutOfRange.
NumberScan ScanNumber(std::string_view text, NumberForm form = {});

/// ScanNumber with blanks trimmed: the value, or nothing for any other status.
std::optional<double> ParseDecimal(std::string_view text, char decimalPoint = '.');

/// Rounds to the nearest whole number, ties to even (as the window's
/// whole-number conversions do). `value` must be finite.
inline double RoundHalfEven(double value) {
  // Most values are whole already, and the library call costs more than
  // the conversions that tell so.
  constexpr double kWholeRange = 4611686018427387904.0;  // 2^62
  if (std::fabs(value) < kWholeRange &&
      static_cast<double>(static_cast<std::int64_t>(value)) == value) {
    return value;
  }
  return std::nearbyint(value);
}

/// `value` rounded half to even into `Int`; nothing beyond its range.
template <typename Int>
std::optional<Int> RoundToWhole(double value) {
  const double rounded = RoundHalfEven(value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::nullopt;
  }
  return static_cast<Int>(rounded);
}

/// RoundToWhole into `out`; false, with `out` unchanged, beyond its range.
template <typename Int>
bool RoundIntoWhole(double value, Int& out) {
  const auto whole = RoundToWhole<Int>(value);
  if (whole) out = *whole;
  return whole.has_value();
}

/// `value` rounded to the nearest single-precision value; nothing when that
/// is not finite (beyond the float range).
inline std::optional<float> RoundToSingle(double value) {
  const auto single = static_cast<float>(value);
  if (!std::isfinite(single)) return std::nullopt;
  return single;
}

/// Text -> 16-bit whole number: ParseDecimal, round half to even, range check.
std::optional<std::int16_t> ParseInt16(std::string_view text, char decimalPoint = '.');
/// Text -> 32-bit whole number, as ParseInt16.
std::optional<std::int32_t> ParseInt32(std::string_view text, char decimalPoint = '.');
/// Text -> the whole-number type of `out`, as ParseInt16; false, with `out`
/// unchanged, when the text does not convert.
bool ParseWholeInto(std::string_view text, std::int16_t& out, char decimalPoint = '.');
bool ParseWholeInto(std::string_view text, std::int32_t& out, char decimalPoint = '.');
/// Text -> single precision: parsed as double, rounded to the nearest float;
/// nothing when the result is not finite (beyond the float range).
std::optional<float> ParseSingle(std::string_view text, char decimalPoint = '.');

/// A float as the double of its shortest decimal text, so that 15.5F is
/// 15.5 and 12.34F is 12.34, not 12.340000152587891. Not finite: as it is.
double ShortestDecimal(float value);

/// General number form of a single-precision value: "%.7G", trailing zeros
/// of the fraction and a trailing point removed (also before an exponent),
/// "-0" written "0". 16 -> "16", 15.3 -> "15.3", 0.00001 -> "1E-05".
std::string FormatGeneral(float value, char decimalPoint = '.');
/// The same with 15 significant digits, for double-precision values.
std::string FormatGeneral(double value, char decimalPoint = '.');

/// FormatGeneral appended to `out`, without a text of its own.
void AppendGeneral(std::string& out, float value, char decimalPoint = '.');
/// Most characters of FormatGeneral(float), as in "-1.234568E-38".
inline constexpr std::size_t kGeneralRoom = 16;
/// FormatGeneral written at `out`, which has room for kGeneralRoom
/// characters; returns the end.
char* WriteGeneral(char* out, float value, char decimalPoint = '.');

/// 10^0 to 10^19: the powers of ten that fit 64 bits.
inline constexpr auto kWholePowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& p : powers) {
    p = power;
    power *= 10;  // wraps harmlessly after the last
  }
  return powers;
}();

/// Decimal digits of `value`: 0 for 0, 1 for 1 to 9, up to 20.
inline int DecimalDigits(std::uint64_t value) {
  // t, from the bit width, is floor(log10(value)) or one more than it.
  const int t = (std::bit_width(value) * 1233) >> 12;
  return t + 1 - (value < kWholePowersOfTen[t] ? 1 : 0);
}

/// Writes the last `count` decimal digits of `value` so that they end just
/// before `end`, zeros where `value` runs out; returns `value` without them.
/// Two digits at a time.
inline std::uint64_t WriteDigitsBackward(char* end, std::uint64_t value, int count) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  for (; count >= 2; count -= 2) {
    const auto pair = static_cast<std::size_t>(value % 100);
    value /= 100;
    end -= 2;
    std::memcpy(end, kPairs + 2 * pair, 2);  // one store: the compiler keeps one loop
  }
  if (count > 0) {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return value;
}

}  // namespace tarvik

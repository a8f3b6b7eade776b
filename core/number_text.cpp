#include "core/number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>

namespace tarvik {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

/// General number form through to_chars: right for every value and any
/// decimal point, and the reference of the float's fast path below.
void AppendGeneralDigits(std::string& out, double value, int digits, char decimalPoint) {
  if (value == 0) {  // also -0
    out += '0';
    return;
  }
  // to_chars is "%.*g" without the locale's decimal separator (the window
  // sets the C library's locale from the system).
  char buffer[64];
  const char* const begin = buffer;
  const char* const end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr;
  const char* const e = std::find(begin, end, 'e');
  // Trailing zeros of the fraction and a trailing point go, also before an exponent.
  const char* last = e;
  if (std::find(begin, e, '.') != e) {
    while (last != begin && last[-1] == '0') --last;
    if (last != begin && last[-1] == '.') --last;
  }
  const std::size_t start = out.size();
  out.append(begin, last);
  if (e != end) {
    out += 'E';
    out.append(e + 1, end);
  }
  if (decimalPoint != '.') {
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '.', decimalPoint);
  }
}

/// Seven significant digits: the value is about digits x 10^(exponent - 6).
struct SevenDigits {
  std::uint64_t digits = 0;  // 1,000,000 to 9,999,999
  int exponent = 0;          // decimal exponent of the first digit
};

/// Binary exponents (of the leading bit) the fast path takes: from about
/// 1e-9 to 9e18. Inside them every product and shift below fits 64 bits.
constexpr int kFastLowestBit = -30;
constexpr int kFastHighestBit = 62;

/// floor(m x 2^e x 10^k) for the float m x 2^e, as a quotient and remainder
/// of two 64-bit numbers; `k` from -13 to 16 inside the fast exponents.
struct Scaled {
  std::uint64_t quotient;
  std::uint64_t remainder;
  std::uint64_t divisor;
};

Scaled Scale(std::uint64_t m, int e, int k) {
  std::uint64_t numerator = m;
  std::uint64_t divisor = 1;
  if (k >= 0) {
    // m x 5^k x 2^(e + k): 24 bits and at most 38 for 5^16.
    numerator *= kWholePowersOfTen[k] >> k;
    const int shift = e + k;
    if (shift >= 0) return {numerator << shift, 0, 1};  // whole: below 10^7
    divisor <<= -shift;
    return {numerator >> -shift, numerator & (divisor - 1), divisor};
  }
  divisor = kWholePowersOfTen[-k];
  if (e >= 0) {
    numerator <<= e;
  } else {
    divisor <<= -e;
  }
  return {numerator / divisor, numerator % divisor, divisor};
}

/// A positive normal float rounded to seven significant digits, exact ties to
/// even, as to_chars rounds the exact binary value; false outside the fast exponents.
bool RoundToSevenDigits(float magnitude, SevenDigits& result) {
  const auto bits = std::bit_cast<std::uint32_t>(magnitude);
  const int biased = static_cast<int>(bits >> 23);
  const int leadingBit = biased - 127;  // floor(log2(magnitude))
  if (biased == 0 || leadingBit < kFastLowestBit || leadingBit > kFastHighestBit) return false;
  const std::uint64_t m = (bits & 0x7FFFFF) | 0x800000;
  const int e = leadingBit - 23;  // magnitude = m x 2^e
  // floor(leadingBit x log10(2)): the decimal exponent, or one below it.
  int exponent = (leadingBit * 78913) >> 18;
  Scaled scaled = Scale(m, e, 6 - (exponent + 1));
  if (scaled.quotient >= 1'000'000) {
    ++exponent;
  } else {
    scaled = Scale(m, e, 6 - exponent);
  }
  const std::uint64_t twice = 2 * scaled.remainder;
  std::uint64_t digits = scaled.quotient;
  if (twice > scaled.divisor || (twice == scaled.divisor && (digits & 1) != 0)) ++digits;
  if (digits == 10'000'000) {  // rounded up to the next power of ten
    digits = 1'000'000;
    ++exponent;
  }
  result = {digits, exponent};
  return true;
}

/// Writes the general form of `s` (positive) at `out`, which has room for
/// 16 characters; returns the end. "%.7G" with fixed notation for exponents
/// -4 to 6, trailing zeros of the fraction trimmed. Each layout writes all
/// seven digits and then counts only those it keeps: fixed-length copies.
char* WriteSevenDigits(char* out, SevenDigits s) {
  char digits[7];
  WriteDigitsBackward(digits + 7, s.digits, 7);
  int count = 7;  // digits up to the last that is not zero; the first never is
  while (digits[count - 1] == '0') --count;

  if (s.exponent >= 0 && s.exponent < 7) {  // 1234.567, 1234567
    const int integer = s.exponent + 1;
    for (int i = 0; i < 7; ++i) out[i < integer ? i : i + 1] = digits[i];
    out[integer] = '.';
    return out + (count > integer ? count + 1 : integer);
  }
  if (s.exponent < 0 && s.exponent >= -4) {  // 0.0001234567
    const int zeros = -s.exponent - 1;
    for (int i = 0; i < 5; ++i) out[i] = i == 1 ? '.' : '0';
    for (int i = 0; i < 7; ++i) out[2 + zeros + i] = digits[i];
    return out + 2 + zeros + count;
  }
  out[0] = digits[0];  // 1.234567E+08
  out[1] = '.';
  for (int i = 1; i < 7; ++i) out[i + 1] = digits[i];
  out += count > 1 ? count + 1 : 1;
  *out++ = 'E';
  *out++ = s.exponent < 0 ? '-' : '+';
  const int power = s.exponent < 0 ? -s.exponent : s.exponent;  // at most 19 here
  *out++ = static_cast<char>('0' + power / 10);
  *out++ = static_cast<char>('0' + power % 10);
  return out;
}

}  // namespace

NumberScan ScanNumber(std::string_view text, NumberForm form) {
  if (form.trimBlanks) text = Trim(text);
  if (text.empty()) return {NumberStatus::Empty, 0};
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* p = begin;
  if (double value = 0; ScanPlainDecimal(p, end, form.decimalPoint, value) && p == end) {
    return {NumberStatus::Ok, value};
  }

  // Every other shape: many digits, an exponent, or no number at all.
  p = begin;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  const char* const mantissa = p;
  const double zero = negative ? -0.0 : 0.0;
  // Decimal order of the leading significant digit: the value is 0.d... x 10^order.
  const char* const integerPart = p;
  while (p != end && *p == '0') ++p;
  const char* const leading = p;  // the first significant digit of the integer part, if any
  while (p != end && IsDigit(*p)) ++p;
  std::int64_t order = p - leading;
  bool significant = order > 0;
  bool digits = p != integerPart;
  const char* separator = nullptr;
  if (p != end && *p == form.decimalPoint) {
    separator = p;
    const char* const fraction = ++p;
    if (!significant) {
      while (p != end && *p == '0') ++p;
      order = fraction - p;  // each zero after the separator lowers the order
    }
    const char* const first = p;
    while (p != end && IsDigit(*p)) ++p;
    significant = significant || p != first;
    digits = digits || p != fraction;
  }
  if (!digits) return {NumberStatus::NotANumber, 0};
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
    if (p == end || !IsDigit(*p)) return {NumberStatus::NotANumber, 0};
    std::int64_t exponent = 0;
    for (; p != end && IsDigit(*p); ++p) {
      // Past any text's count of digits the exponent alone decides.
      if (exponent < 1'000'000'000'000) exponent = exponent * 10 + (*p - '0');
    }
    order += negativeExponent ? -exponent : exponent;
  }
  if (p != end) return {NumberStatus::NotANumber, 0};
  if (!significant) return {NumberStatus::Ok, zero};

  // The shape is checked: from_chars alone would take "inf", "nan" and hex
  // forms. It takes no leading '+' and only the full stop as separator.
  const char* first = negative ? begin : mantissa;
  std::string copy;
  if (separator != nullptr && form.decimalPoint != '.') {
    copy.assign(first, end);
    copy[static_cast<std::size_t>(separator - first)] = '.';
    first = copy.data();
  }
  const char* const last = first + (end - (negative ? begin : mantissa));
  double value = 0;
  const auto [stop, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Too small to represent is a zero; too large is out of range.
    if (order <= 0) return {NumberStatus::Ok, zero};
    return {NumberStatus::OutOfRange, 0};
  }
  if (error != std::errc{} || stop != last) return {NumberStatus::NotANumber, 0};
  if (!std::isfinite(value)) return {NumberStatus::OutOfRange, 0};
  return {NumberStatus::Ok, value};
}

std::optional<double> ParseDecimal(std::string_view text, char decimalPoint) {
  const NumberScan scan = ScanNumber(text, {decimalPoint, true});
  if (scan.status != NumberStatus::Ok) return std::nullopt;
  return scan.value;
}

namespace {
template <typename Int>
std::optional<Int> ParseWhole(std::string_view text, char decimalPoint) {
  const auto value = ParseDecimal(text, decimalPoint);
  if (!value) return std::nullopt;
  return RoundToWhole<Int>(*value);
}
}  // namespace

std::optional<std::int16_t> ParseInt16(std::string_view text, char decimalPoint) {
  return ParseWhole<std::int16_t>(text, decimalPoint);
}

std::optional<std::int32_t> ParseInt32(std::string_view text, char decimalPoint) {
  return ParseWhole<std::int32_t>(text, decimalPoint);
}

bool ParseWholeInto(std::string_view text, std::int16_t& out, char decimalPoint) {
  const auto value = ParseWhole<std::int16_t>(text, decimalPoint);
  if (value) out = *value;
  return value.has_value();
}

bool ParseWholeInto(std::string_view text, std::int32_t& out, char decimalPoint) {
  const auto value = ParseWhole<std::int32_t>(text, decimalPoint);
  if (value) out = *value;
  return value.has_value();
}

std::optional<float> ParseSingle(std::string_view text, char decimalPoint) {
  const auto value = ParseDecimal(text, decimalPoint);
  if (!value) return std::nullopt;
  return RoundToSingle(*value);
}

double ShortestDecimal(float value) {
  if (!std::isfinite(value)) return static_cast<double>(value);
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  double decimal = 0;
  std::from_chars(text, written.ptr, decimal);
  return decimal;
}

char* WriteGeneral(char* out, float value, char decimalPoint) {
  // The common case, exactly as to_chars would give it but without its
  // general machinery: the full stop and a float of ordinary size.
  SevenDigits seven;
  if (decimalPoint == '.' && value != 0 && RoundToSevenDigits(std::fabs(value), seven)) {
    if (value < 0) *out++ = '-';
    return WriteSevenDigits(out, seven);
  }
  std::string text;
  AppendGeneralDigits(text, static_cast<double>(value), 7, decimalPoint);
  return std::copy(text.begin(), text.end(), out);
}

void AppendGeneral(std::string& out, float value, char decimalPoint) {
  char buffer[kGeneralRoom];
  out.append(buffer, WriteGeneral(buffer, value, decimalPoint));
}

std::string FormatGeneral(float value, char decimalPoint) {
  std::string text;
  AppendGeneral(text, value, decimalPoint);
  return text;
}

std::string FormatGeneral(double value, char decimalPoint) {
  std::string text;
  AppendGeneralDigits(text, value, 15, decimalPoint);
  return text;
}

}  // namespace tarvik

#include "core/number_text.h"

#include <charconv>
#include <cmath>

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

std::string FormatGeneralDigits(double value, int digits, char decimalPoint) {
  if (value == 0) return "0";  // also -0
  // to_chars is "%.*g" without the locale's decimal separator (the window
  // sets the C library's locale from the system).
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
  std::string text(buffer, result.ptr);
  std::string exponent;
  if (auto e = text.find('e'); e != std::string::npos) {
    text[e] = 'E';
    exponent = text.substr(e);
    text.erase(e);
  }
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  text += exponent;
  if (decimalPoint != '.') {
    for (char& c : text) {
      if (c == '.') c = decimalPoint;
    }
  }
  return text;
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

double RoundHalfEven(double value) {
  // Most values are whole already, and the library call costs more than
  // the conversions that tell so.
  constexpr double kWholeRange = 4611686018427387904.0;  // 2^62
  if (std::fabs(value) < kWholeRange &&
      static_cast<double>(static_cast<std::int64_t>(value)) == value) {
    return value;
  }
  return std::nearbyint(value);
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

std::string FormatGeneral(float value, char decimalPoint) {
  return FormatGeneralDigits(static_cast<double>(value), 7, decimalPoint);
}

std::string FormatGeneral(double value, char decimalPoint) {
  return FormatGeneralDigits(value, 15, decimalPoint);
}

}  // namespace tarvik

#include "core/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

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

std::optional<double> ParseDecimal(std::string_view text, char decimalPoint) {
  text = Trim(text);
  // Check the shape ourselves: from_chars would take "inf", "nan" and hex.
  std::string normal;
  normal.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  bool mantissaDigits = false;
  // Decimal order of the leading significant digit: the value is 0.d... x 10^order.
  long long order = 0;
  bool significant = false;
  while (i < text.size() && IsDigit(text[i])) {
    if (text[i] != '0') significant = true;
    if (significant) ++order;
    normal += text[i++];
    mantissaDigits = true;
  }
  if (i < text.size() && text[i] == decimalPoint) {
    normal += '.';
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      if (!significant) {
        if (text[i] == '0') {
          --order;
        } else {
          significant = true;
        }
      }
      normal += text[i++];
      mantissaDigits = true;
    }
  }
  if (!mantissaDigits) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      normal += text[i++];
    }
    bool exponentDigits = false;
    long long exponent = 0;
    while (i < text.size() && IsDigit(text[i])) {
      if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
      normal += text[i++];
      exponentDigits = true;
    }
    if (!exponentDigits) return std::nullopt;
    order += negative ? -exponent : exponent;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0;
  auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Underflow gives a tiny number, which is fine; overflow is not.
    if (order <= 0) return 0.0;
    return std::nullopt;
  }
  if (error != std::errc{} || end != normal.data() + normal.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

namespace {
template <typename Int>
std::optional<Int> ParseWhole(std::string_view text, char decimalPoint) {
  auto value = ParseDecimal(text, decimalPoint);
  if (!value) return std::nullopt;
  const double rounded = RoundHalfEven(*value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::nullopt;
  }
  return static_cast<Int>(rounded);
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
  auto value = ParseDecimal(text, decimalPoint);
  if (!value) return std::nullopt;
  const float single = static_cast<float>(*value);
  if (!std::isfinite(single)) return std::nullopt;
  return single;
}

std::string FormatGeneral(float value, char decimalPoint) {
  return FormatGeneralDigits(static_cast<double>(value), 7, decimalPoint);
}

std::string FormatGeneral(double value, char decimalPoint) {
  return FormatGeneralDigits(value, 15, decimalPoint);
}

}  // namespace tarvik

// The writers' number formats against a second way of formatting: the C
// library's printf for the digits, a plain reading of the pattern for the
// layout, and strtod for the way back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/number_text.h"
#include "fuzz/fuzz_check.h"
#include "output/number_format.h"

using tarvik::fuzz::Expect;

namespace {

/// The patterns the writers use.
constexpr const char* kPatterns[] = {"#######0", "##000000", "###0", "##0.00", "##0.00000"};

struct Shape {
  std::size_t minInteger = 0;
  std::size_t decimals = 0;
  std::size_t required = 0;  // decimals always written
};

/// A pattern read place by place; nothing when it is not one.
std::optional<Shape> ReadPattern(std::string_view pattern) {
  Shape shape;
  const std::size_t point = pattern.find('.');
  const std::string_view integer = pattern.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : pattern.substr(point + 1);
  for (const char c : integer) {
    if (c != '#' && c != '0') return std::nullopt;
  }
  for (const char c : fraction) {
    if (c != '#' && c != '0') return std::nullopt;
  }
  if (const std::size_t zero = integer.find('0'); zero != std::string_view::npos) {
    shape.minInteger = integer.size() - zero;
  }
  shape.decimals = fraction.size();
  if (const std::size_t zero = fraction.rfind('0'); zero != std::string_view::npos) {
    shape.required = zero + 1;
  }
  return shape;
}

/// The text of `digits` (the magnitude in units of the last decimal) laid
/// out by `shape`.
std::string Lay(bool negative, std::string digits, const Shape& shape) {
  if (digits.size() <= shape.decimals) {
    digits.insert(0, shape.decimals + 1 - digits.size(), '0');
  }
  std::string integer = digits.substr(0, digits.size() - shape.decimals);
  std::string fraction = digits.substr(digits.size() - shape.decimals);
  const bool nonZero = digits.find_first_not_of('0') != std::string::npos;
  integer.erase(0, integer.find_first_not_of('0') == std::string::npos
                       ? integer.size()
                       : integer.find_first_not_of('0'));
  if (integer.size() < shape.minInteger) integer.insert(0, shape.minInteger - integer.size(), '0');
  while (fraction.size() > shape.required && fraction.back() == '0') fraction.pop_back();
  std::string text = (negative && nonZero) ? "-" : "";
  text += integer;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

/// |value| rounded to `decimals` decimals, exact ties away from zero, as
/// digits in units of the last decimal: printf's correctly rounded digits,
/// moved up where the exact value is a tie (printf rounds those to even).
std::string RoundedDigits(double magnitude, std::size_t decimals) {
  const int places = static_cast<int>(decimals);
  const int length = std::snprintf(nullptr, 0, "%.*f", places, magnitude);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%.*f", places, magnitude);
  text.resize(static_cast<std::size_t>(length));

  // Every double has at most 1074 decimals: this expansion is exact.
  const int exactLength = std::snprintf(nullptr, 0, "%.1100f", magnitude);
  std::string exact(static_cast<std::size_t>(exactLength) + 1, '\0');
  std::snprintf(exact.data(), exact.size(), "%.1100f", magnitude);
  exact.resize(static_cast<std::size_t>(exactLength));
  const std::size_t cut = exact.find('.') + 1 + decimals;
  const bool tie = exact[cut] == '5' && exact.find_first_not_of('0', cut + 1) == std::string::npos;

  std::string digits;
  if (tie) {
    digits = exact.substr(0, cut);
    if (decimals == 0) digits.pop_back();  // the point
    digits.erase(digits.find('.') == std::string::npos ? digits.size() : digits.find('.'), 1);
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(0, "1");
    } else {
      ++digits[i - 1];
    }
  } else {
    digits = text;
    if (const auto point = digits.find('.'); point != std::string::npos) digits.erase(point, 1);
  }
  return digits;
}

/// Whether `text` is an optional "-", digits, and an optional point with digits.
bool PlainNumber(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  bool point = false;
  for (const char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return text.empty() || text.back() != '.';
}

void CheckDouble(double value, std::string_view pattern, const std::optional<Shape>& shape) {
  std::string text;
  try {
    text = tarvik::FormatPattern(value, pattern);
  } catch (const std::invalid_argument&) {
    Expect(!shape, "only a bad pattern is refused", pattern);
    return;
  }
  Expect(shape.has_value(), "a bad pattern is refused", pattern);
  if (std::isnan(value)) {
    Expect(text == "NaN", "NaN is written NaN", text);
    return;
  }
  if (std::isinf(value)) {
    Expect(text == (value < 0 ? "-Infinity" : "Infinity"), "an infinity is named", text);
    return;
  }
  const std::string expected =
      Lay(std::signbit(value), RoundedDigits(std::fabs(value), shape->decimals), *shape);
  Expect(text == expected, "the text is the rounded value laid out by the pattern",
         text + " expected " + expected + " for pattern " + std::string(pattern));
  Expect(PlainNumber(text), "the text is a plain number", text);

  // Back again: within half a unit of the last decimal.
  if (text.empty() || text == "-") return;
  const long double back = std::strtold(text.c_str(), nullptr);
  const long double unit = std::pow(10.0L, -static_cast<long double>(shape->decimals));
  const long double error = std::fabs(back - static_cast<long double>(value));
  Expect(error <= unit / 2 * (1 + 1e-15L) + std::fabs(static_cast<long double>(value)) * 1e-17L,
         "the text reads back within half a unit", text);
}

void CheckWhole(std::int32_t value, std::string_view pattern, const std::optional<Shape>& shape) {
  std::string text;
  try {
    text = tarvik::FormatPattern(value, pattern);
  } catch (const std::invalid_argument&) {
    Expect(!shape, "only a bad pattern is refused", pattern);
    return;
  }
  Expect(shape.has_value(), "a bad pattern is refused", pattern);
  const std::int64_t wide = value;
  std::string digits = std::to_string(wide < 0 ? -wide : wide);
  digits.append(shape->decimals, '0');
  const std::string expected = Lay(value < 0, digits, *shape);
  Expect(text == expected, "a whole number is laid out by the pattern", text + " vs " + expected);
  if (!text.empty()) {
    Expect(std::strtoll(text.c_str(), nullptr, 10) == value, "a whole number reads back", text);
  }
}

/// The general form: plain or with an exponent, no trailing zeros, and back
/// within the rounding of its significant digits.
void CheckGeneral(float value) {
  const std::string text = tarvik::FormatGeneral(value);
  if (!std::isfinite(value)) return;
  std::string comma = text;
  for (char& c : comma) c = c == '.' ? ',' : c;
  Expect(tarvik::FormatGeneral(value, ',') == comma, "the decimal comma changes only the point");
  const std::size_t e = text.find('E');
  const std::string mantissa = text.substr(0, e);
  Expect(PlainNumber(mantissa) && !mantissa.empty() && mantissa != "-0", "a plain mantissa", text);
  if (mantissa.find('.') != std::string::npos) {
    Expect(mantissa.back() != '0', "no trailing zeros", text);
  }
  const double back = std::strtod(text.c_str(), nullptr);
  Expect(std::fabs(back - value) <= std::fabs(static_cast<double>(value)) * 5.000001e-7,
         "the general form reads back within 7 digits", text);
  const auto parsed = tarvik::ParseSingle(text);
  Expect(parsed.has_value(), "the general form is a number to the settings reader", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::uint8_t choice = input.ConsumeIntegral<std::uint8_t>();
  const auto bits = input.ConsumeIntegral<std::uint64_t>();
  std::string pattern;
  if (choice % 8 < std::size(kPatterns)) {
    pattern = kPatterns[choice % 8];
  } else {
    pattern = input.ConsumeRandomLengthString(24);
  }
  const std::optional<Shape> shape = ReadPattern(pattern);

  double value;
  float single;
  const auto low = static_cast<std::uint32_t>(bits);
  std::memcpy(&value, &bits, sizeof value);
  std::memcpy(&single, &low, sizeof single);
  // The writers format floats; other doubles take the slow exact path.
  CheckDouble(static_cast<double>(single), pattern, shape);
  CheckDouble(value, pattern, shape);
  CheckWhole(static_cast<std::int32_t>(low), pattern, shape);
  CheckGeneral(single);
  return 0;
}

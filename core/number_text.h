// Conversions between the texts of settings fields and numbers, and the
// general number form used wherever a number becomes text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

/// Parses a decimal number: blanks around it trimmed, an optional sign, digits
/// with an optional fraction (decimal separator `decimalPoint`) and an
/// optional exponent. Returns nothing for empty text, any other character, or
/// a value that is not finite.
std::optional<double> ParseDecimal(std::string_view text, char decimalPoint = '.');

/// Rounds to the nearest whole number, ties to even (as the window's
/// whole-number conversions do). `value` must be finite.
double RoundHalfEven(double value);

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

/// General number form of a single-precision value: "%.7G", trailing zeros
/// of the fraction and a trailing point removed (also before an exponent),
/// "-0" written "0". 16 -> "16", 15.3 -> "15.3", 0.00001 -> "1E-05".
std::string FormatGeneral(float value, char decimalPoint = '.');
/// The same with 15 significant digits, for double-precision values.
std::string FormatGeneral(double value, char decimalPoint = '.');

}  // namespace tarvik

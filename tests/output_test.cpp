#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/errors.h"
#include "core/point_table.h"
#include "output/number_format.h"
#include "output/writers.h"
#include "support/errors.h"
#include "support/files.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ErrorText;
using testing::FolderNames;
using testing::ReadFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

std::string Golden(const char* name) {
  return ReadFile(fs::path(TARVIK_TEST_DATA_DIR) / "golden" / name);
}

/// The texts of `values` in `pattern`, one space apart.
template <typename T>
std::string Texts(std::initializer_list<T> values, std::string_view pattern) {
  std::string out;
  for (const T value : values) {
    if (!out.empty()) out += ' ';
    out += FormatPattern(value, pattern);
  }
  return out;
}

TEST(FormatPattern, RoundsTheExactBinaryValueWithTiesAwayFromZero) {
  // The yields 5, 1234.5 and 0.004 of the sample rows; no "-0.00"; exact ties away from zero;
  // values just off a tie in binary: 2.675F is 2.67499995..., 0.005 is 0.00500000000000000010...,
  // 0.015 is 0.01499999999999999944..., -1.005 is -1.00499999999999989...
  EXPECT_EQ(Texts<double>({5.0, 1234.5, 0.004F, -0.004F, -0.0, 0.125, -0.125, 2.675F, 99.995F,
                           0.005, 0.015, 2.675, -1.005, 1e10F},
                          "##0.00"),
            "5.00 1234.50 0.00 0.00 0.00 0.13 -0.13 2.67 100.00 0.01 0.01 2.67 -1.00 "
            "10000000000.00");
  EXPECT_EQ(Texts<double>({0.015625, -0.015625, -96.712345F, 1e-300}, "##0.00000"),
            "0.01563 -0.01563 -96.71234 0.00000");
  EXPECT_EQ(Texts<double>({-0.5F, 0.49F, 2.5, 4503599627370495.5, std::ldexp(1.0, 70)}, "#######0"),
            "-1 0 3 4503599627370496 1180591620717411303424");
  EXPECT_EQ(FormatPattern(double{-FLT_MAX}, "##0.00"),
            "-340282346638528859811704183484516925440.00");
  EXPECT_EQ(FormatPattern(1e300, "##0.00000").size(), 301u + 6u);
  EXPECT_EQ(FormatPattern(std::nan(""), "##0.00"), "NaN");
}

TEST(FormatPattern, ZeroPlacesAndWholeNumbers) {
  EXPECT_EQ(Texts<std::int32_t>(
                {5200, -4200, 0, 123456789, std::numeric_limits<std::int32_t>::min()}, "##000000"),
            "005200 -004200 000000 123456789 -2147483648");
  EXPECT_EQ(Texts<std::int32_t>({std::numeric_limits<std::int32_t>::max(), 0}, "#######0"),
            "2147483647 0");
  EXPECT_EQ(FormatPattern(-12, "###0"), "-12");
  EXPECT_EQ(FormatPattern(7, "##0.00"), "7.00");
  // '#' places show only the digits the number has.
  EXPECT_EQ(FormatPattern(1.5, "0.0#"), "1.5");
  EXPECT_EQ(FormatPattern(0.5, "#.##"), ".5");
  EXPECT_EQ(FormatPattern(0, "#"), "");
  EXPECT_THROW(FormatPattern(1.0, "#,##0"), std::invalid_argument);
}

/// Independent reference: the exact decimal expansion that glibc prints,
/// rounded half away from zero on the text.
std::string ReferencePattern(double value, int decimals) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.160f", std::fabs(value));
  std::string text = buffer;
  const auto point = text.find('.');
  std::string digits = text.substr(0, point) + text.substr(point + 1, decimals);
  if (text[point + 1 + decimals] >= '5') {
    auto i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[i - 1];
  }
  std::string integer = digits.substr(0, digits.size() - decimals);
  while (integer.size() > 1 && integer[0] == '0') integer.erase(0, 1);
  std::string result = integer + (decimals ? "." + digits.substr(digits.size() - decimals) : "");
  const bool nonZero = digits.find_first_not_of('0') != std::string::npos;
  return (value < 0 && nonZero ? "-" : "") + result;
}

TEST(FormatPattern, AgreesWithTheExactExpansion) {
  std::mt19937 random(20240917);
  std::uniform_int_distribution<int> numerator(-2000000, 2000000);
  std::uniform_int_distribution<int> power(0, 12);
  std::uniform_real_distribution<double> spread(-1000.0, 1000.0);
  for (int i = 0; i < 90000; ++i) {
    // Dyadic fractions hit exact decimal ties often; then ordinary floats and
    // doubles with all 53 bits in use.
    double value = spread(random);
    if (i % 3 == 0) value = std::ldexp(static_cast<float>(numerator(random)), -power(random));
    if (i % 3 == 1) value = static_cast<float>(value);
    ASSERT_EQ(FormatPattern(value, "##0.00"), ReferencePattern(value, 2)) << value;
    ASSERT_EQ(FormatPattern(value, "##0.00000"), ReferencePattern(value, 5)) << value;
  }
}

/// `text` right-aligned with spaces in `width` characters.
std::string Aligned(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

/// What NumberPattern's Write and Append give for `value`, when they agree;
/// both texts, told apart, when they do not.
template <typename T>
std::string Written(const NumberPattern& pattern, T value, std::size_t width = 0) {
  std::vector<char> buffer(pattern.Room(width) + 1, '#');
  char* end = pattern.Write(buffer.data(), value, width);
  EXPECT_LE(end - buffer.data(), static_cast<std::ptrdiff_t>(pattern.Room(width)));
  EXPECT_EQ(buffer.back(), '#') << "written past the room";
  std::string written(buffer.data(), end);
  std::string appended = "x";
  if constexpr (std::is_same_v<T, float>) {
    pattern.Append(appended, static_cast<double>(value), width);
  } else {
    pattern.Append(appended, value, width);
  }
  return appended == "x" + written ? written : written + " | " + appended;
}

TEST(NumberPattern, WritesTheColumnsOfTheOutputFilesAsTheExactExpansion) {
  constexpr NumberPattern yield("##0.00");
  constexpr NumberPattern degrees("##0.00000");
  std::mt19937 random(20261210);
  std::uniform_real_distribution<float> yields(-5.0F, 2000.0F);
  std::uniform_real_distribution<float> angles(-180.0F, 180.0F);
  std::uniform_int_distribution<int> eighths(-80000, 80000);
  std::vector<float> values;
  for (int i = 0; i < 30000; ++i) {
    values.push_back(yields(random));
    values.push_back(angles(random));
    // Multiples of 1/8 and 1/32 end in an exact tie of the second or fifth decimal.
    values.push_back(static_cast<float>(eighths(random)) / (i % 2 == 0 ? 8.0F : 32.0F));
  }
  // Every float near values that sit just off a tie in binary.
  for (float value : {2.675F, 99.995F, 0.005F, -96.712345F, 40.812345F, 0.015625F}) {
    for (int i = 0; i < 500; ++i) value = std::nextafter(value, 0.0F);
    for (int i = 0; i < 1000; ++i, value = std::nextafter(value, INFINITY)) values.push_back(value);
  }
  // Beyond 2^52 hundredths, subnormals, the extremes and a zero of each sign.
  for (const float value :
       {5e13F, -7.5e16F, 1e-40F, -1e-45F, FLT_MAX, -FLT_MAX, FLT_MIN, 0.0F, -0.0F}) {
    values.push_back(value);
  }
  for (const float value : values) {
    const auto exact = static_cast<double>(value);
    ASSERT_EQ(Written(yield, value, 7), Aligned(ReferencePattern(exact, 2), 7)) << value;
    ASSERT_EQ(Written(degrees, value), ReferencePattern(exact, 5)) << value;
    ASSERT_EQ(FormatPattern(exact, "##0.00000"), ReferencePattern(exact, 5)) << value;
  }
  EXPECT_EQ(Written(yield, NAN, 7), "    NaN");
  EXPECT_EQ(Written(yield, -INFINITY, 7), "-Infinity");
  EXPECT_EQ(Written(degrees, INFINITY), "Infinity");
  // '#' places after the point, and a pattern with more places than any buffer on the stack.
  EXPECT_EQ(Written(NumberPattern("0.0##"), 2.5F, 8), "     2.5");
  EXPECT_EQ(Written(NumberPattern(std::string(150, '0')), 12.0F), std::string(148, '0') + "12");
}

TEST(NumberPattern, WritesWholeNumbersWithTheirZerosAndSign) {
  constexpr NumberPattern whole("#######0");
  constexpr NumberPattern sixDigits("##000000");
  std::mt19937 random(20261211);
  std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max());
  std::uniform_int_distribution<std::int32_t> near(-2'000'000, 2'000'000);
  std::vector<std::int32_t> values = {0,
                                      1,
                                      -1,
                                      9,
                                      10,
                                      99999,
                                      100000,
                                      999999,
                                      1000000,
                                      -999999,
                                      std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()};
  for (int i = 0; i < 20000; ++i) values.push_back(i % 2 == 0 ? any(random) : near(random));
  for (const std::int32_t value : values) {
    const std::int64_t wide = value;
    const std::string digits = std::to_string(wide < 0 ? -wide : wide);
    const std::string sign = value < 0 ? "-" : "";
    ASSERT_EQ(Written(whole, value), sign + digits);
    ASSERT_EQ(Written(sixDigits, value),
              sign + std::string(digits.size() < 6 ? 6 - digits.size() : 0, '0') + digits);
    ASSERT_EQ(Written(whole, value, 12), Aligned(sign + digits, 12));
  }
  EXPECT_EQ(Written(NumberPattern("#.00"), 0), ".00");
  EXPECT_EQ(Written(NumberPattern("0." + std::string(12, '0')), -3), "-3.000000000000");
}

/// Six points: retained and removed ones (a negative code among the kept),
/// coordinates on both sides of the false origin, empty, blank-only and
/// blank-padded load numbers.
struct SmallField {
  SmallField() {
    Add(0, 712345, 4512345, 153.27f, 15.3f, -96.712345f, 40.812345f, 12.5f, 54, "Load 7  ");
    Add(1, 712000, 4512400, 5.0f, 16.0f, -96.70001f, 40.80001f, 0.00001f, 0, "");
    Add(0, 703945, 4509000, 1234.5f, 14.25f, -96.5f, 40.1234f, 3.14159265f, -3, " 12");
    Add(-1, 712346, 4512350, 0.004f, 0.0f, -96.65432f, 40.77777f, 0.0f, 60, "A  B  ");
    Add(12, 712345, 4512345, 2.675f, 15.3f, -96.712345f, 40.812345f, 12.5f, 54, "Load 7");
    Add(0, 712400, 4512345, 5.0f, 16.5f, -96.65432f, 40.77777f, 8.0f, 58, "   ");
  }
  void Add(std::int16_t code, std::int32_t easting, std::int32_t northing, float yield,
           float moisture, float longitude, float latitude, float flow, std::int16_t distance,
           const char* load) {
    YieldPoint& point = table[++count];
    point.ID = count;
    point.RemovalCode = code;
    point.Easting = easting;
    point.Northing = northing;
    point.Yield = yield;
    point.Moisture = moisture;
    point.Longitude = longitude;
    point.Latitude = latitude;
    point.GrainFlow = flow;
    point.Distance = distance;
    point.LoadNo = load;
  }
  PointTable table;
  std::int32_t count = 0;
  const std::string title = "North field, pass 1-40,  cleaned ";
  const std::int32_t falseEasting = 708145;  // 712345 - 4200
  const std::int32_t falseNorthing = 4510000;
};

TEST(BasicOutput, MatchesTheGoldenFileAndUsesTheOffsetsOnlyWhenRescaling) {
  SmallField field;
  const std::string text = FormatBasicOutput(field.title, field.count, field.table, false,
                                             field.falseEasting, field.falseNorthing);
  EXPECT_EQ(text, Golden("basic.txt"));
  EXPECT_EQ(text, FormatBasicOutput(field.title, field.count, field.table, false, 0, 0));
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 6u + 4u);
  EXPECT_EQ(lines[6], "712345   4512345   153.27  15.3");
  EXPECT_EQ(lines[8], "712346   4512350     0.00  0");  // code -1 is kept

  const auto rescaled = Lines(FormatBasicOutput(field.title, field.count, field.table, true,
                                                field.falseEasting, field.falseNorthing));
  ASSERT_EQ(rescaled.size(), 10u);
  EXPECT_EQ(rescaled[6], "4200   2345   153.27  15.3");
  EXPECT_EQ(rescaled[7], "-4200   -1000  1234.50  14.25");

  for (std::int32_t i = 1; i <= field.count; ++i) field.table[i].RemovalCode = 4;
  EXPECT_EQ(FormatBasicOutput("", field.count, field.table, false, 0, 0),
            "\r\n4\r\nEasting\r\nNorthing\r\nYield\r\nMoisture\r\n");
}

TEST(DetailedOutput, MatchesTheGoldenFileAndUsesTheOffsetsOnlyWhenRescaling) {
  SmallField field;
  const std::string text = FormatDetailedOutput(field.title, field.count, field.table, true,
                                                field.falseEasting, field.falseNorthing);
  EXPECT_EQ(text, Golden("detailed_rescaled.txt"));
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 12u + 6u);
  EXPECT_EQ(lines[12].substr(0, 6), "004200");
  EXPECT_EQ(lines[14].substr(0, 7), "-004200");
  EXPECT_NE(lines[13].find(" '' "), std::string::npos);        // empty load number
  EXPECT_NE(lines[12].find(" 'Load 7' "), std::string::npos);  // trailing blanks gone

  const std::string plain = FormatDetailedOutput(field.title, field.count, field.table, false,
                                                 field.falseEasting, field.falseNorthing);
  EXPECT_EQ(plain, FormatDetailedOutput(field.title, field.count, field.table, false, 0, 0));
  EXPECT_EQ(Lines(plain)[12],
            "712345  4512345   153.27 15.3 0 -96.71234 40.81234 12.5 54 'Load 7' ");
  EXPECT_EQ(Lines(FormatDetailedOutput("t", 0, field.table, false, 0, 0)).size(), 12u);
}

TEST(Output, LineBreaksInTheTitleOrLoadNumberCannotSplitALine) {
  SmallField field;
  field.table[2].LoadNo = "L\r\n2";
  const auto lines = Lines(FormatDetailedOutput("a\nb", field.count, field.table, false, 0, 0));
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "a b");
  EXPECT_NE(lines[13].find(" 'L  2' "), std::string::npos);
}

TEST(Output, ACoordinateBeyond32BitsStopsTheRunNamingThePoint) {
  SmallField field;
  field.table[3].Easting = std::numeric_limits<std::int32_t>::min() + 5;
  EXPECT_EQ(ErrorText<RunError>(
                [&] { FormatDetailedOutput(field.title, field.count, field.table, true, 6, 0); }),
            "Point 3: Easting -2147483643 less the false easting 6 is beyond the 32-bit range.");
  field.table[3].Easting = 0;
  field.table[5].Northing = std::numeric_limits<std::int32_t>::max();
  // Point 5 is removed: the basic file skips it, the detailed file does not.
  EXPECT_NO_THROW(FormatBasicOutput(field.title, field.count, field.table, true, 0, -1));
  EXPECT_THROW(FormatDetailedOutput(field.title, field.count, field.table, true, 0, -1), RunError);
  EXPECT_NO_THROW(FormatDetailedOutput(field.title, field.count, field.table, false, 0, -1));
}

TEST(Output, ALargeTableWritesAsInOnePassAndStopsAtItsFirstBadPoint) {
  // A large table is written in two halves at once: the text is the lines
  // in order, and of two points that stop the run the first names it.
  SmallField field;
  const std::int32_t small = field.count;
  for (std::int32_t i = small + 1; i <= 20000; ++i) {
    YieldPoint& point = field.table[i];
    point = field.table[1 + i % small];
    point.ID = i;
    point.RemovalCode = static_cast<std::int16_t>(i % 7 == 0 ? 4 : 0);
    point.Easting = 700000 + i % 997;
    point.Northing = 4500000 + i;
    point.Yield = 100 + static_cast<float>(i % 113) / 8;
  }
  field.count = 20000;
  const std::string whole = FormatBasicOutput("t", field.count, field.table, true, 7, 9);
  std::string joined = FormatBasicOutput("t", 0, field.table, true, 7, 9);
  const std::size_t header = joined.size();
  PointTable single;
  for (std::int32_t i = 1; i <= field.count; ++i) {
    single[1] = field.table[i];
    joined.append(FormatBasicOutput("t", 1, single, true, 7, 9), header);
  }
  EXPECT_EQ(whole, joined);
  EXPECT_EQ(Lines(FormatDetailedOutput("t", field.count, field.table, false, 0, 0)).size(),
            12U + 20000U);

  field.table[15000].Easting = std::numeric_limits<std::int32_t>::min() + 5;
  EXPECT_EQ(
      ErrorText<RunError>([&] { FormatDetailedOutput("t", field.count, field.table, true, 6, 0); }),
      "Point 15000: Easting -2147483643 less the false easting 6 is beyond the 32-bit "
      "range.");
  field.table[5000].Easting = std::numeric_limits<std::int32_t>::min() + 5;
  EXPECT_EQ(
      ErrorText<RunError>([&] { FormatDetailedOutput("t", field.count, field.table, true, 6, 0); }),
      "Point 5000: Easting -2147483643 less the false easting 6 is beyond the 32-bit "
      "range.");
}

TEST(FileWriting, WritesTheWholeTextOrLeavesTheTargetAndNoTemporaryFile) {
  const testing::TestFolder folder("output");
  fs::create_directories(folder / "sub");
  const fs::path target = folder / "field.txt";
  SmallField field;
  WriteDetailedOutput(field.title, target.string(), field.count, field.table, true,
                      field.falseEasting, field.falseNorthing);
  EXPECT_EQ(ReadFile(target), Golden("detailed_rescaled.txt"));
  WriteBasicOutput(field.title, target.string(), field.count, field.table, false, 0, 0);
  const std::string previous = ReadFile(target);
  EXPECT_EQ(previous, Golden("basic.txt"));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat status {};
  EXPECT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);

  const auto failure = [](const fs::path& path) {
    return ErrorText<OutputError>([&] { WriteFileAtomically(path.string(), "new text\r\n"); });
  };
  const fs::path missing = folder / "missing" / "field.txt";
  EXPECT_EQ(failure(missing), "Cannot write " + missing.string() + ": No such file or directory");
  EXPECT_EQ(failure(""), "No output file was named.");
  EXPECT_EQ(failure(folder / "sub"),
            "Cannot write " + (folder / "sub").string() + ": Is a directory");
  EXPECT_TRUE(fs::is_empty(folder / "sub"));
  // A coordinate error is found before anything is written.
  field.table[1].Easting = std::numeric_limits<std::int32_t>::max();
  EXPECT_THROW(
      WriteBasicOutput(field.title, target.string(), field.count, field.table, true, -1, 0),
      RunError);
  if (::geteuid() != 0) {  // root writes into a read-only folder anyway
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(failure(target), "Cannot write " + target.string() + ": Permission denied");
    fs::permissions(folder, fs::perms::owner_all);
  }
  EXPECT_EQ(ReadFile(target), previous);
  EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"field.txt", "sub"}));
}

}  // namespace
}  // namespace tarvik

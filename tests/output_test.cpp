#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/point_table.h"
#include "output/number_format.h"
#include "output/writers.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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
  return ReadWhole(fs::path(TARVIK_TEST_DATA_DIR) / "golden" / name);
}

// ---- Pattern formats ----

TEST(FormatPattern, RoundsTheExactBinaryValueWithTiesAwayFromZero) {
  EXPECT_EQ(FormatPattern(5.0, "##0.00"), "5.00");
  EXPECT_EQ(FormatPattern(1234.5, "##0.00"), "1234.50");
  EXPECT_EQ(FormatPattern(double{0.004f}, "##0.00"), "0.00");
  EXPECT_EQ(FormatPattern(double{-0.004f}, "##0.00"), "0.00");  // no "-0.00"
  EXPECT_EQ(FormatPattern(-0.0, "##0.00"), "0.00");
  EXPECT_EQ(FormatPattern(0.125, "##0.00"), "0.13");
  EXPECT_EQ(FormatPattern(-0.125, "##0.00"), "-0.13");
  EXPECT_EQ(FormatPattern(0.015625, "##0.00000"), "0.01563");
  EXPECT_EQ(FormatPattern(-0.015625, "##0.00000"), "-0.01563");
  EXPECT_EQ(FormatPattern(double{2.675f}, "##0.00"), "2.67");               // 2.67499995...
  EXPECT_EQ(FormatPattern(double{-96.712345f}, "##0.00000"), "-96.71234");  // -96.7123413...
  EXPECT_EQ(FormatPattern(double{99.995f}, "##0.00"), "100.00");
  EXPECT_EQ(FormatPattern(double{-0.5f}, "#######0"), "-1");
  EXPECT_EQ(FormatPattern(double{0.49f}, "#######0"), "0");
  EXPECT_EQ(FormatPattern(2.5, "#######0"), "3");
}

TEST(FormatPattern, DoublesThatAreNotFloatsStayExact) {
  // Decimal texts that fall just above or below a tie in binary.
  EXPECT_EQ(FormatPattern(0.005, "##0.00"), "0.01");    // 0.00500000000000000010...
  EXPECT_EQ(FormatPattern(0.015, "##0.00"), "0.01");    // 0.01499999999999999944...
  EXPECT_EQ(FormatPattern(2.675, "##0.00"), "2.67");    // 2.67499999999999982...
  EXPECT_EQ(FormatPattern(-1.005, "##0.00"), "-1.00");  // -1.00499999999999989...
  EXPECT_EQ(FormatPattern(4503599627370495.5, "#######0"), "4503599627370496");
  EXPECT_EQ(FormatPattern(1e-300, "##0.00000"), "0.00000");
  EXPECT_EQ(FormatPattern(std::nan(""), "##0.00"), "NaN");
}

TEST(FormatPattern, LargeValuesAreWrittenWhole) {
  EXPECT_EQ(FormatPattern(double{1e10f}, "##0.00"), "10000000000.00");
  EXPECT_EQ(FormatPattern(double{-FLT_MAX}, "##0.00"),
            "-340282346638528859811704183484516925440.00");
  EXPECT_EQ(FormatPattern(std::ldexp(1.0, 70), "#######0"), "1180591620717411303424");
  EXPECT_EQ(FormatPattern(1e300, "##0.00000").size(), 301u + 6u);
}

TEST(FormatPattern, ZeroPlacesAndWholeNumbers) {
  EXPECT_EQ(FormatPattern(5200, "##000000"), "005200");
  EXPECT_EQ(FormatPattern(-4200, "##000000"), "-004200");
  EXPECT_EQ(FormatPattern(0, "##000000"), "000000");
  EXPECT_EQ(FormatPattern(123456789, "##000000"), "123456789");
  EXPECT_EQ(FormatPattern(std::numeric_limits<std::int32_t>::min(), "##000000"), "-2147483648");
  EXPECT_EQ(FormatPattern(std::numeric_limits<std::int32_t>::max(), "#######0"), "2147483647");
  EXPECT_EQ(FormatPattern(0, "#######0"), "0");
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

// ---- Output files ----

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

TEST(BasicOutput, MatchesTheGoldenFileAndIgnoresOffsetsWithoutRescaling) {
  SmallField field;
  const std::string text = FormatBasicOutput(field.title, field.count, field.table, false,
                                             field.falseEasting, field.falseNorthing);
  EXPECT_EQ(text, Golden("basic.txt"));
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 6u + 4u);
  EXPECT_EQ(lines[0], field.title);
  EXPECT_EQ(lines[6], "712345   4512345   153.27  15.3");
  EXPECT_EQ(lines[8], "712346   4512350     0.00  0");  // code -1 is kept
  EXPECT_EQ(text, FormatBasicOutput(field.title, field.count, field.table, false, 0, 0));
}

TEST(BasicOutput, RescaledCoordinatesMayBeNegative) {
  SmallField field;
  const auto lines = Lines(FormatBasicOutput(field.title, field.count, field.table, true,
                                             field.falseEasting, field.falseNorthing));
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[6], "4200   2345   153.27  15.3");
  EXPECT_EQ(lines[7], "-4200   -1000  1234.50  14.25");
}

TEST(BasicOutput, EveryPointRemovedGivesTheHeaderOnly) {
  SmallField field;
  for (std::int32_t i = 1; i <= field.count; ++i) field.table[i].RemovalCode = 4;
  EXPECT_EQ(FormatBasicOutput("", field.count, field.table, false, 0, 0),
            "\r\n4\r\nEasting\r\nNorthing\r\nYield\r\nMoisture\r\n");
  EXPECT_EQ(Lines(FormatDetailedOutput("t", 0, field.table, false, 0, 0)).size(), 12u);
}

TEST(DetailedOutput, MatchesTheGoldenFile) {
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
}

TEST(DetailedOutput, WithoutRescalingTheOffsetsHaveNoEffect) {
  SmallField field;
  const std::string text = FormatDetailedOutput(field.title, field.count, field.table, false,
                                                field.falseEasting, field.falseNorthing);
  EXPECT_EQ(text, FormatDetailedOutput(field.title, field.count, field.table, false, 0, 0));
  EXPECT_EQ(Lines(text)[12],
            "712345  4512345   153.27 15.3 0 -96.71234 40.81234 12.5 54 'Load 7' ");
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
  try {
    FormatDetailedOutput(field.title, field.count, field.table, true, 6, 0);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(),
                 "Point 3: Easting -2147483643 less the false easting 6 is beyond the 32-bit "
                 "range.");
  }
  field.table[3].Easting = 0;
  field.table[5].Northing = std::numeric_limits<std::int32_t>::max();
  // Point 5 is removed: the basic file skips it, the detailed file does not.
  EXPECT_NO_THROW(FormatBasicOutput(field.title, field.count, field.table, true, 0, -1));
  EXPECT_THROW(FormatDetailedOutput(field.title, field.count, field.table, true, 0, -1), RunError);
  EXPECT_NO_THROW(FormatDetailedOutput(field.title, field.count, field.table, false, 0, -1));
}

// ---- Writing the file ----

class FileWriting : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("tarvik-output-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    target_ = folder_ / "field.txt";
    std::ofstream(target_, std::ios::binary) << "previous run\r\n";
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
  }
  std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path folder_;
  fs::path target_;
};

TEST_F(FileWriting, WritesTheWholeTextWithTheUsualMode) {
  SmallField field;
  WriteDetailedOutput(field.title, target_.string(), field.count, field.table, true,
                      field.falseEasting, field.falseNorthing);
  EXPECT_EQ(ReadWhole(target_), Golden("detailed_rescaled.txt"));
  WriteBasicOutput(field.title, target_.string(), field.count, field.table, false, 0, 0);
  EXPECT_EQ(ReadWhole(target_), Golden("basic.txt"));
  EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"field.txt"});

  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat status {};
  ASSERT_EQ(::stat(target_.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST_F(FileWriting, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
  const std::string previous = ReadWhole(target_);
  const auto expectFailure = [](const fs::path& path, const std::string& reason) {
    try {
      WriteFileAtomically(path.string(), "new text\r\n");
      FAIL() << "no OutputError for " << path;
    } catch (const OutputError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot write " + path.string() + ": " + reason);
    }
  };

  expectFailure(folder_ / "missing" / "field.txt", "No such file or directory");
  try {
    WriteFileAtomically("", "new text\r\n");
    FAIL() << "no OutputError for an empty path";
  } catch (const OutputError& error) {
    EXPECT_STREQ(error.what(), "No output file was named.");
  }
  fs::create_directory(folder_ / "sub");
  expectFailure(folder_ / "sub", "Is a directory");
  EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"field.txt", "sub"}));
  EXPECT_TRUE(fs::is_empty(folder_ / "sub"));

  // A coordinate error is found before anything is written.
  SmallField field;
  field.table[1].Easting = std::numeric_limits<std::int32_t>::max();
  EXPECT_THROW(
      WriteBasicOutput(field.title, target_.string(), field.count, field.table, true, -1, 0),
      RunError);

  if (::geteuid() != 0) {  // root writes into a read-only folder anyway
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    expectFailure(target_, "Permission denied");
    fs::permissions(folder_, fs::perms::owner_all);
  }
  EXPECT_EQ(ReadWhole(target_), previous);
  EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"field.txt", "sub"}));
}

}  // namespace
}  // namespace tarvik

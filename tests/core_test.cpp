// Text <-> number conversions, the settings files and the development records.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/development_records.h"
#include "core/file_read.h"
#include "core/number_text.h"
#include "core/settings_files.h"
#include "core/two_threads.h"
#include "support/files.h"

namespace tarvik {
namespace {

TEST(NumberText, ParsesDecimalTextsStrictly) {
  const std::pair<const char*, double> good[] = {{" 15.5 ", 15.5}, {"+2", 2.0},  {"-.5", -0.5},
                                                 {"5.", 5.0},      {"1e3", 1e3}, {"1E-2", 0.01},
                                                 {"1e-999", 0.0}};
  for (const auto& [text, value] : good) EXPECT_EQ(ParseDecimal(text), value) << text;
  for (const char* bad :
       {"", "  ", "abc", "1.2.3", "1e", "inf", "nan", "0x10", "1 2", ".", "-", "3,25", "1e999"}) {
    EXPECT_FALSE(ParseDecimal(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseDecimal("3,25", ','), 3.25);
  EXPECT_FALSE(ParseDecimal("3.25", ',').has_value());
  // Whether a value beyond the double range is too large or too small depends on the digits as
  // well as on the exponent.
  const std::string zeros(400, '0');
  EXPECT_FALSE(ParseDecimal("1" + zeros + "e-1").has_value());
  EXPECT_FALSE(ParseDecimal("0.001e+312").has_value());
  EXPECT_EQ(ParseDecimal("0." + zeros + "1e5"), 0.0);
  EXPECT_EQ(ParseDecimal("1" + zeros + "e-800"), 0.0);
  EXPECT_EQ(ParseDecimal("1" + zeros + "e-300"), 1e100);
}

TEST(NumberText, ScansEveryDecimalToTheNearestDouble) {
  // Short decimals take a quicker route than long ones; both must give the
  // correctly rounded value, bit for bit, whatever the count of digits.
  std::mt19937_64 random(11);
  for (int k = 0; k < 300000; ++k) {
    std::string text = random() % 4 == 0 ? "-" : "";
    const int whole = static_cast<int>(random() % 12);
    const int fraction = static_cast<int>(random() % 24);
    for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
    if (whole == 0 || fraction > 0) text += '.';
    for (int d = 0; d < std::max(fraction, whole == 0 ? 1 : 0); ++d) {
      text += static_cast<char>('0' + (random() % 3 == 0 ? 0 : random() % 10));
    }
    double expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    const NumberScan scan = ScanNumber(text);
    ASSERT_EQ(scan.status, NumberStatus::Ok) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(scan.value), std::bit_cast<std::uint64_t>(expected))
        << text;
    // The same digits with a comma as the separator.
    std::replace(text.begin(), text.end(), '.', ',');
    ASSERT_EQ(std::bit_cast<std::uint64_t>(ScanNumber(text, {',', true}).value),
              std::bit_cast<std::uint64_t>(expected))
        << text;
  }
}

TEST(NumberText, ScanReportsWhyATextIsNoNumber) {
  const auto status = [](std::string_view text, NumberForm form = {}) {
    return ScanNumber(text, form).status;
  };
  EXPECT_EQ(status(" \t"), NumberStatus::Empty);
  EXPECT_EQ(status("NA"), NumberStatus::NotANumber);
  EXPECT_EQ(status("inf"), NumberStatus::NotANumber);
  EXPECT_EQ(status("1e999"), NumberStatus::OutOfRange);
  EXPECT_EQ(status("-1e999"), NumberStatus::OutOfRange);
  // Untrimmed, as the importer reads quoted items: a blank makes no number.
  EXPECT_EQ(status(" 5", {'.', false}), NumberStatus::NotANumber);
  EXPECT_EQ(status("", {'.', false}), NumberStatus::Empty);
  EXPECT_EQ(ScanNumber("2,5e1", {',', true}).value, 25.0);
  // A zero and a value too small to represent keep their sign.
  for (const char* text : {"-0", "-0.000", "-1e-999"}) {
    const NumberScan scan = ScanNumber(text);
    EXPECT_EQ(scan.status, NumberStatus::Ok) << text;
    EXPECT_TRUE(scan.value == 0 && std::signbit(scan.value)) << text;
  }
  // The exponent is counted in full: many leading zeros do not turn an
  // overflow into a zero.
  const std::string zeros(200000, '0');
  EXPECT_EQ(status("0." + zeros + "1e1000000"), NumberStatus::OutOfRange);
  EXPECT_EQ(ScanNumber("0." + zeros + "1e200005").value, 1e4);
}

TEST(NumberText, WholeAndSingleTextsRoundThenCheckTheRange) {
  // Half to even, then the range: 32767.5 becomes 32768 and is refused.
  const std::pair<const char*, std::optional<std::int16_t>> whole[] = {
      {"2.5", 2},         {"3.5", 4},      {"-2.5", -2},         {"10.5", 10},   {"11.5", 12},
      {"32767.4", 32767}, {"32767.5", {}}, {"-32768.5", -32768}, {"-32769", {}}, {"", {}}};
  for (const auto& [text, value] : whole) EXPECT_EQ(ParseInt16(text), value) << text;
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_FALSE(ParseInt32("2147483648").has_value());
  EXPECT_EQ(ParseSingle("40.123456789"), 40.123456789F);
  EXPECT_EQ(ParseSingle("3.4e38"), 3.4e38F);
  EXPECT_FALSE(ParseSingle("3.5e38").has_value());
}

TEST(NumberText, GeneralFormIsShortWithoutTrailingZeros) {
  std::string texts;
  for (float value : {16.0F, 15.3F, 0.25F, 0.00001F, -0.0F, -2.5F, 1.0e10F, 1.5e10F, 123456789.0F,
                      40.123456789F}) {
    texts += FormatGeneral(value) + " ";
  }
  EXPECT_EQ(texts, "16 15.3 0.25 1E-05 0 -2.5 1E+10 1.5E+10 1.234568E+08 40.12346 ");
  EXPECT_EQ(FormatGeneral(15.5), "15.5");
  EXPECT_EQ(FormatGeneral(0.1), "0.1");  // 15 digits hide the binary tail
  EXPECT_EQ(FormatGeneral(15.5F, ','), "15,5");
}

TEST(RunBoth, DoesBothPartsAndPassesOnWhatEitherThrows) {
  int own = 0;
  int other = 0;
  RunBoth([&] { other = 2; }, [&] { own = 1; });
  EXPECT_EQ(own + other, 3);
  // A failure of either part waits for the other to finish.
  other = 0;
  EXPECT_THROW(RunBoth([&] { other = 2; }, [] { throw std::runtime_error("own"); }),
               std::runtime_error);
  EXPECT_EQ(other, 2);
  own = 0;
  try {
    RunBoth([] { throw std::runtime_error("other"); }, [&] { own = 1; });
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "other");
  }
  EXPECT_EQ(own, 1);
}

/// The general form of a float the plain way: to_chars' "%.7g", then the
/// trailing zeros and point of the mantissa dropped and 'e' written 'E'.
std::string PlainGeneral(float value) {
  if (value == 0) return "0";
  char buffer[64];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                            std::chars_format::general, 7)
                  .ptr;
  std::string text(buffer, end);
  std::string exponent;
  if (const auto e = text.find('e'); e != std::string::npos) {
    exponent = text.substr(e);
    exponent[0] = 'E';
    text.erase(e);
  }
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  text += exponent;
  return text;
}

/// FormatGeneral, AppendGeneral and WriteGeneral of `value` against PlainGeneral.
::testing::AssertionResult GeneralAsPlain(float value) {
  const std::string expected = PlainGeneral(value);
  std::string appended = "x";
  AppendGeneral(appended, value);
  char buffer[kGeneralRoom];
  const std::string written(buffer, WriteGeneral(buffer, value));
  if (FormatGeneral(value) == expected && appended == "x" + expected && written == expected) {
    return ::testing::AssertionSuccess();
  }
  char bits[32];
  std::snprintf(bits, sizeof bits, "%a", static_cast<double>(value));
  return ::testing::AssertionFailure() << bits << ": " << FormatGeneral(value) << " / " << appended
                                       << " / " << written << ", expected " << expected;
}

TEST(NumberText, GeneralFormOfAFloatIsToCharsRoundingExactly) {
  // Random floats from 2^-40 to 2^72, both signs: every binary exponent the
  // fast rounding takes and some either side of it.
  std::mt19937 random(20261209);
  std::uniform_int_distribution<std::uint32_t> mantissa(0, 0x7FFFFF);
  std::uniform_int_distribution<std::uint32_t> exponent(127 - 40, 127 + 72);
  for (int i = 0; i < 200000; ++i) {
    const std::uint32_t bits =
        (i % 2 == 0 ? 0x80000000U : 0U) | exponent(random) << 23 | mantissa(random);
    ASSERT_TRUE(GeneralAsPlain(std::bit_cast<float>(bits)));
  }
  // Every float in runs around the values of a field (yields, moisture,
  // degrees, grain flow, coordinates in metres) and around each power of ten
  // from 1e-12 to 1e20, where the digit count and the notation change and
  // where the rounding carries into the next power (99999997952 is 1E+11).
  std::vector<float> starts = {0.004F,  2.675F,  15.3F,     40.812345F, 96.712345F,
                               153.27F, 1234.5F, 703945.0F, 4512345.0F};
  for (int power = -12; power <= 20; ++power) {
    starts.push_back(static_cast<float>(std::pow(10.0, power)));
  }
  for (const float start : starts) {
    float value = start;
    for (int i = 0; i < 2000; ++i) value = std::nextafter(value, 0.0F);
    for (int i = 0; i < 4000; ++i, value = std::nextafter(value, INFINITY)) {
      ASSERT_TRUE(GeneralAsPlain(value));
    }
  }
  EXPECT_EQ(FormatGeneral(99999997952.0F), "1E+11");
  EXPECT_EQ(FormatGeneral(0.99999994F), "0.9999999");
  // Exact ties of the eighth digit round to even: every whole number from 10^7
  // to 2^24 that ends in 5 is a float.
  for (std::uint32_t tie = 10'000'005; tie < (1U << 24); tie += 10) {
    ASSERT_TRUE(GeneralAsPlain(static_cast<float>(tie)));
    ASSERT_TRUE(GeneralAsPlain(static_cast<float>(tie) / 1024.0F));  // 9765.6298828125 and on
  }
  EXPECT_EQ(FormatGeneral(12345665.0F), "1.234566E+07");
  EXPECT_EQ(FormatGeneral(12345675.0F), "1.234568E+07");
  // What the fast rounding leaves alone: zeros, subnormals, the extremes, NaN
  // and the infinities, and any other decimal point.
  for (const float value : {0.0F, -0.0F, std::numeric_limits<float>::denorm_min(), -1e-40F,
                            std::numeric_limits<float>::min(), std::numeric_limits<float>::max(),
                            -std::numeric_limits<float>::max(), 1e-30F, 3e30F,
                            std::numeric_limits<float>::quiet_NaN(), INFINITY, -INFINITY}) {
    EXPECT_TRUE(GeneralAsPlain(value));
  }
  EXPECT_EQ(FormatGeneral(-0.0F), "0");
  EXPECT_EQ(FormatGeneral(-1234.5F, ','), "-1234,5");
  EXPECT_EQ(FormatGeneral(1.5e-7F, ','), "1,5E-07");
}

TEST(SettingsFiles, CropRecordsInFileOrderWithTheLastOfANameWinning) {
  const CropFile crops = ParseCropFile(
      "Crop,Moisture,Upper,Lower,TestWeight\r\n"
      "\"Corn\",15.5,300,0,56\r\n"
      "\"Grain, sorghum\", 14, 250,\n  0, 56\n"  // a quoted comma, a record over two lines
      "corn,1,2,3,4\n"
      "Corn,16,310,5,55\n",
      "crop.dat");
  ASSERT_TRUE(crops) << crops.reason();
  ASSERT_EQ(crops->size(), 4U);
  EXPECT_EQ((*crops)[1].Name, "Grain, sorghum");
  EXPECT_EQ((*crops)[1].LowerLimit, 0.0);
  EXPECT_EQ((*crops)[2].Name, "corn");
  const CropRecord* corn = FindCrop(*crops, "Corn");
  ASSERT_NE(corn, nullptr);
  EXPECT_EQ(corn->Moisture, 16.0);
  EXPECT_EQ(corn->UpperLimit, 310.0);
  EXPECT_EQ(corn->TestWeight, 55.0);
  EXPECT_EQ(FindCrop(*crops, "Wheat"), nullptr);

  EXPECT_EQ(ParseCropFile("a,b,c\n", "crop.dat").reason(),
            "crop.dat: the heading ends after 3 of its 5 items.");
  EXPECT_EQ(ParseCropFile("a,b,c,d,e\nCorn,15.5,abc,0,56\n", "crop.dat").reason(),
            "crop.dat:2: the upper limit of \"Corn\" is \"abc\", not a number.");
  EXPECT_EQ(ParseCropFile("a,b,c,d,e\nCorn,15.5,300\n", "crop.dat").reason(),
            "crop.dat: the record of \"Corn\" ends before its lower limit.");
  const CropFile empty = ParseCropFile("a,b,c,d,e\n", "crop.dat");
  EXPECT_TRUE(empty && empty->empty());
}

TEST(SettingsFiles, CriteriaTakeTheFirstSevenValuesOverAnyLines) {
  for (const char* text :
       {"a,b,c,d,e,f,g\n4,4,20,10,3,2.5,10\n", "a,b,c,d,e,f,g\n4,4\n20\n10,3,2.5,\n10,99,98\n"}) {
    const CriteriaFile f = ParseCriteriaFile(text, "c");
    ASSERT_TRUE(f) << f.reason();
    EXPECT_EQ(f->StartPassDelay, 4.0F);
    EXPECT_EQ(f->SearchX, 20.0F);
    EXPECT_EQ(f->SearchY, 10.0F);
    EXPECT_EQ(f->SearchSD, 2.5F);
    EXPECT_EQ(f->NoPointsforValidSeg, 10.0F);
  }
  EXPECT_EQ(ParseCriteriaFile("a,b,c,d,e,f,g\n4,4,20\n", "criteria.dat").reason(),
            "criteria.dat: the file ends before the search size Y (value 4 of 7).");
  EXPECT_EQ(ParseCriteriaFile("a,b,c,d,e,f,g\n4,x,20,10,3,2.5,10\n", "criteria.dat").reason(),
            "criteria.dat:2: the end pass delay is \"x\", not a number.");
  EXPECT_EQ(ParseCriteriaFile("a,b,c,d,e,f,g\n4,4,1e39,10,3,2.5,10\n", "criteria.dat").reason(),
            "criteria.dat:2: the search size X is \"1e39\", beyond the single-precision range.");
}

TEST(FileRead, RefusesWhatIsNoFileOrTooLargeAndReadsBytesAsStored) {
  namespace fs = std::filesystem;
  const auto folder = fs::temp_directory_path() / "tarvik-file-read-test";
  fs::create_directories(folder);
  const std::string path = (folder / "f.txt").string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  const std::string bytes("a\r\nb\0c", 6);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  const auto read = ReadWholeFile(path);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(*read, bytes);
  using P = FileFailure::Problem;
  EXPECT_EQ(ReadWholeFile(path, 5).reason().problem, P::TooLarge);
  EXPECT_EQ(ReadWholeFile(folder.string()).reason().problem, P::Folder);
  EXPECT_EQ(ReadWholeFile((folder / "none").string()).reason().problem, P::Missing);
#ifndef _WIN32
  // A device is read up to the cap, never to its end.
  EXPECT_EQ(ReadWholeFile("/dev/zero", 1 << 20).reason().problem, P::TooLarge);
#endif
  fs::remove_all(folder);
}

TEST(SettingsFiles, MissingFilesAndFoldersAreRefusedWithTheirPath) {
  const testing::TestFolder folder("core");
  std::filesystem::create_directories(folder / "crop.dat");
  const std::string missing = (folder / "none.dat").string();
  EXPECT_EQ(ReadCropFile(missing).reason(),
            missing + ": cannot be opened (missing or unreadable).");
  const std::string directory = (folder / "crop.dat").string();
  EXPECT_EQ(ReadCriteriaFile(directory).reason(), directory + ": is a folder, not a file.");
  std::filesystem::remove_all(folder);
}

#ifndef _WIN32
// The copy command of the settings message, run by a shell as a user would paste it: awkward
// folder names stay one word each, the folder is made, and a file already there is kept.
TEST(SettingsFiles, TheCopyCommandCopiesIntoAnAwkwardFolderAndKeepsWhatIsThere) {
  namespace fs = std::filesystem;
  const auto write = [](const fs::path& path, const std::string& text) {
    std::FILE* file = std::fopen(path.string().c_str(), "w");
    ASSERT_NE(file, nullptr) << path;
    std::fputs(text.c_str(), file);
    std::fclose(file);
  };
  const auto contents = [](const fs::path& path) {
    std::string text(64, '\0');
    std::FILE* file = std::fopen(path.string().c_str(), "r");
    if (file == nullptr) return std::string("(missing)");
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
  };
  const fs::path root = fs::temp_directory_path() / "tarvik-copy-test";
  fs::remove_all(root);
  const fs::path supplied = root / "supplied $HOME";
  fs::create_directories(supplied);
  write(supplied / kCropFileName, "supplied");
  write(supplied / kCriteriaFileName, "supplied");
  const fs::path target = root / "it's -n my; `folder`" / "Tarvik";
  EXPECT_TRUE(SettingsFilesMissing(target.string()));
  fs::create_directories(target);
  write(target / kCriteriaFileName, "mine");
  EXPECT_TRUE(SettingsFilesMissing(target.string()));

  const std::string command = SettingsCopyCommand(supplied.string() + "/", target.string() + "/");
  write(root / "copy.sh", command + "\n");
  ASSERT_EQ(std::system(("/bin/sh " + (root / "copy.sh").string() + " >/dev/null 2>&1").c_str()), 0)
      << command;
  EXPECT_EQ(contents(target / kCropFileName), "supplied") << command;
  EXPECT_EQ(contents(target / kCriteriaFileName), "mine") << command;
  EXPECT_FALSE(SettingsFilesMissing(target.string()));
  fs::remove_all(root);

  // A folder in the home folder is written from ~, as a user would type it.
  if (const char* home = std::getenv("HOME"); home != nullptr && std::string(home).size() > 1) {
    EXPECT_EQ(SettingsCopyCommand("/usr/share/tarvik/settings", std::string(home) + "/Tarvik"),
              "mkdir -p ~/Tarvik && cp -n /usr/share/tarvik/settings/*.dat ~/Tarvik/");
  }
}
#endif

TEST(DevelopmentRecords, ReadsWholeFilesOrNamesTheLineAndTheColumn) {
  const auto read = ParseDevelopmentRecords(
      "0,1,1,1,33,712000,4520000,150.5,9\r\n"
      "\"12\",2,1,2,1,-5,7,1e-3,10\n",
      "t.txt");
  ASSERT_TRUE(read) << read.reason();
  const std::vector<YieldPoint>& points = *read;
  ASSERT_EQ(points.size(), 3U);
  EXPECT_EQ(points[0], YieldPoint{});
  EXPECT_EQ(points[2].RemovalCode, 12);
  EXPECT_EQ(points[2].Easting, -5);
  EXPECT_EQ(points[2].Yield, 1e-3F);
  EXPECT_EQ(points[2].GPSTime, 10);

  EXPECT_EQ(ParseDevelopmentRecords("0,1,1,1,33,1,1,1,1\n0,2,1,1,33,1,1,nan,1\n", "t.txt").reason(),
            "t.txt:2: the Yield is \"nan\", not a number.");
  EXPECT_EQ(
      ParseDevelopmentRecords("0,1,1,1,33,1,1,1,1\n40000,2,1,1,33,1,1,1,1\n", "t.txt").reason(),
      "t.txt:2: the VData is \"40000\", not a whole number from -32768 to 32767.");
  EXPECT_EQ(ParseDevelopmentRecords("0,1,1,1,33,1,1,1,1\n0,2\n", "t.txt").reason(),
            "t.txt: the file ends inside record 2, after 2 of its 9 items.");
}

}  // namespace
}  // namespace tarvik

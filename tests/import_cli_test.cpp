// tarvik-clean --input-format detect on real and simulated exports of every layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/clean_command.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::Clean;
using testing::ReadFile;
using testing::Result;
using testing::TestFolder;

std::string Export(const std::string& name) {
  return std::string(TARVIK_TEST_DATA_DIR) + "/exports/" + name;
}

class DetectCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { settings_ = std::string(TARVIK_SOURCE_DIR) + "/settings"; }

  /// Cleans `input` with the supplied settings and `extra` options into
  /// `name`; the output's bytes, and the summary in `summary`.
  std::string CleanTo(const std::string& input, const std::string& name,
                      std::vector<std::string> extra, std::string* summary = nullptr) {
    std::vector<std::string> args = {"--settings", settings_, "--detailed", "-o",
                                     (folder_ / name).string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(input);
    const Result r = Clean(args);
    EXPECT_EQ(r.status, 0) << r.err;
    if (summary != nullptr) *summary = r.out;
    return ReadFile(folder_ / name);
  }

  std::string SimulatedField(std::int32_t points, std::uint64_t seed) {
    FieldSimOptions options;
    options.Points = points;
    options.Seed = seed;
    return SimulateField(options);
  }

  TestFolder folder_{"detect"};
  std::string settings_;
};

TEST_F(DetectCommandTest, ASeventeenItemFileGivesTheSameBytesThroughDetect) {
  const fs::path input = folder_ / "field.txt";
  std::ofstream(input, std::ios::binary) << SimulatedField(3000, 21);
  std::string summary;
  const std::string strict = CleanTo(input.string(), "strict.txt", {});
  const std::string detected =
      CleanTo(input.string(), "detect.txt", {"--input-format", "detect"}, &summary);
  EXPECT_EQ(strict, detected);
  EXPECT_NE(summary.find("; read as 17 items (Advanced Export); header codes as written\n"),
            std::string::npos)
      << summary;
}

TEST_F(DetectCommandTest, EachRealLayoutIsCleanedAndWrittenBackAsSeventeenItems) {
  const std::pair<const char*, const char*> cases[] = {
      {"corn-15-items.txt",
       "read as 15 items (variety, no GPS status, PDOP or elevation); header 33 harvesting / 32 "
       "up"},
      {"corn-15-items-quoted.txt",
       "read as 15 items (variety, no GPS status, PDOP or elevation); header 1 harvesting / 0 up"},
      {"soybean-16-items.txt",
       "read as 16 items (variety and elevation, no GPS status or PDOP); header 1 harvesting / 0 "
       "up"},
      {"headed-semicolon.csv",
       "read as heading line, 11 semicolon-separated columns (not used: Notes); no header "
       "status: all harvesting"},
  };
  for (const auto& [name, layout] : cases) {
    SCOPED_TRACE(name);
    const fs::path written = folder_ / (std::string(name) + ".17");
    std::string summary;
    const std::string detected =
        CleanTo(Export(name), "detect.txt",
                {"--input-format", "detect", "--write-advanced", written.string()}, &summary);
    const bool csv = std::string(name).ends_with("csv");
    EXPECT_NE(summary.find(csv ? ": 245 points read" : ": 700 points read"), std::string::npos)
        << summary;
    EXPECT_NE(summary.find(layout), std::string::npos) << summary;
    // Some rules removed points, and code 1 only where the file has header-up codes.
    EXPECT_EQ(summary.find(" 1:0 ") == std::string::npos, !csv) << summary;
    // The 17-item file gives the strict reader the same table, so the same output.
    EXPECT_EQ(CleanTo(written.string(), "strict.txt", {}), detected);
  }
  // The strict reader itself refuses them, as it should.
  const Result strict = Clean(
      {"--settings", settings_, "-o", (folder_ / "x.txt").string(), Export("corn-15-items.txt")});
  EXPECT_EQ(strict.status, 1);
  EXPECT_NE(strict.err.find("15 items, expected 17"), std::string::npos) << strict.err;
}

TEST_F(DetectCommandTest, AHeadedTabFileWithChosenCodesMatchesItsSeventeenItemSource) {
  // The simulated field's records as columns in another order, with an
  // extra column, under a heading; its codes are 33 and 1, so they are chosen.
  const std::string field = SimulatedField(2000, 5);
  std::string headed =
      "Pass\tMoisture\tNotes\tLatitude\tLongitude\tFlow\tTime\tInterval\t"
      "Distance\tSwath\tHeader Status\tCrop\tSerial\tField\tLoad\tGPS "
      "Status\tPDOP\tElevation\n";
  std::istringstream lines(field);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> items;
    std::istringstream split(line);
    for (std::string item; std::getline(split, item, ',');) items.push_back(item);
    ASSERT_EQ(items.size(), 17U) << line;
    const int order[] = {9, 7, -1, 1, 0, 2, 3, 4, 5, 6, 8, 13, 10, 11, 12, 14, 15, 16};
    for (std::size_t k = 0; k < std::size(order); ++k) {
      if (k > 0) headed += '\t';
      headed += order[k] < 0 ? std::string("x") : items[static_cast<std::size_t>(order[k])];
    }
    headed += '\n';
  }
  const fs::path source = folder_ / "field.txt";
  const fs::path tab = folder_ / "field.tsv";
  std::ofstream(source, std::ios::binary) << field;
  std::ofstream(tab, std::ios::binary) << headed;

  const Result ambiguous = Clean({"--settings", settings_, "--input-format", "detect", "-o",
                                  (folder_ / "no.txt").string(), tab.string()});
  EXPECT_EQ(ambiguous.status, 1);
  EXPECT_NE(ambiguous.err.find("choose the harvesting and header-up codes"), std::string::npos)
      << ambiguous.err;
  EXPECT_NE(ambiguous.err.find("(layout detected: heading line, 18 tab-separated columns "
                               "(not used: Notes))"),
            std::string::npos)
      << ambiguous.err;
  EXPECT_FALSE(fs::exists(folder_ / "no.txt"));

  std::string summary;
  EXPECT_EQ(CleanTo(tab.string(), "tab.txt", {"--input-format", "detect", "--header-codes", "33,1"},
                    &summary),
            CleanTo(source.string(), "source.txt", {}));
  EXPECT_NE(summary.find("header 33 harvesting / 1 up (as chosen)"), std::string::npos) << summary;
}

TEST_F(DetectCommandTest, OptionsThatDoNotFitAreUsageErrorsAndNothingIsOverwritten) {
  const std::string input = Export("corn-15-items.txt");
  const auto usage = [&](std::vector<std::string> args, const char* says) {
    args.insert(args.begin(), {"--settings", settings_});
    args.push_back(input);
    const Result r = Clean(args);
    EXPECT_EQ(r.status, 2) << says;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
  };
  usage({"--input-format", "guess"}, "--input-format");
  usage({"--header-codes", "1,0"}, "--header-codes needs --input-format detect");
  usage({"--input-format", "detect", "--header-codes", "1,1"}, "two different whole numbers");
  usage({"--input-format", "detect", "--header-codes", "33"}, "two different whole numbers");

  const fs::path copy = folder_ / "copy.txt";
  fs::copy_file(input, copy);
  const std::string before = ReadFile(copy);
  const Result onto = Clean({"--settings", settings_, "--input-format", "detect",
                             "--write-advanced", copy.string(), copy.string()});
  EXPECT_EQ(onto.status, 1);
  EXPECT_NE(onto.err.find("is the input or the output file; it is not overwritten"),
            std::string::npos)
      << onto.err;
  EXPECT_EQ(ReadFile(copy), before);
}

}  // namespace
}  // namespace tarvik

// Whole runs: from an export file to the output file, as the Run button does
// them; and the texts around a run: start-up settings, output names, counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "run/run.h"
#include "support/files.h"
#include "support/recording_progress.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TestFolder;
using testing::WriteFile;

/// A fresh folder and table per test; the folder is removed afterwards.
class PipelineTest : public ::testing::Test {
 protected:
  /// The settings the window starts with for corn.
  RunSettings Settings(const fs::path& input, const fs::path& output) const {
    RunSettings s = *StartupSettings({"Corn", 15.5, 350, 1, 56}, {4, 4, 20, 10, 3, 2.5F, 10});
    s.InputFile = input.string();
    s.OutputFile = output.string();
    return s;
  }

  fs::path Generated(std::int32_t points, std::uint64_t seed) const {
    FieldSimOptions options;
    options.Points = points;
    options.Seed = seed;
    const fs::path path = folder_ / ("field" + std::to_string(seed) + ".txt");
    WriteFile(path, SimulateField(options));
    return path;
  }

  RunOutcome Run(const RunSettings& settings, Progress& progress = NoProgress()) {
    return RunPipeline(count_, table_, settings, progress);
  }

  TestFolder folder_{"pipeline"};
  PointTable table_;
  std::int32_t count_ = 0;
};

TEST_F(PipelineTest, AGeneratedFieldEndsInFileOrderWithOneCodePerPointAndTheSameBytesTwice) {
  const fs::path output = folder_ / "out.txt";
  RunSettings settings = Settings(Generated(3000, 7), output);
  settings.BasicOutput = false;  // detailed: every point with its code

  const RunOutcome first = Run(settings);
  ASSERT_EQ(first.Status, RunStatus::Finished) << first.Text << " " << first.Detail;
  EXPECT_EQ(first.Text, "FINISH");
  EXPECT_EQ(first.Icon, MessageIcon::Information);
  ASSERT_EQ(count_, 3000);
  for (std::int32_t i = 1; i <= count_; ++i) {
    EXPECT_EQ(table_[i].ID, i);
    EXPECT_GE(table_[i].RemovalCode, 0);
    EXPECT_LE(table_[i].RemovalCode, 12);
  }
  std::int32_t total = 0;
  for (std::int32_t n : first.Counts.ByCode) total += n;
  EXPECT_EQ(total, 3000);
  EXPECT_EQ(first.Counts.PointsRead, 3000);
  EXPECT_EQ(first.Counts.ByCode[9], first.Counts.HighCounter);
  EXPECT_EQ(first.Counts.ByCode[10], first.Counts.LowCounter);
  // The simulated field exercises the screening rules.
  EXPECT_GT(first.Counts.ByCode[1], 0);
  EXPECT_GT(first.Counts.ByCode[2], 0);
  EXPECT_GT(first.Counts.ByCode[3], 0);
  EXPECT_GT(first.Counts.ByCode[0], 1500);

  const std::string bytes = ReadFile(output);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 12 + 3000);  // heading and every point
  fs::remove(output);
  const RunOutcome second = Run(settings);
  ASSERT_EQ(second.Status, RunStatus::Finished);
  EXPECT_EQ(ReadFile(output), bytes);
  EXPECT_EQ(second.Counts.ByCode, first.Counts.ByCode);
}

TEST_F(PipelineTest, TheBasicFileHoldsTheRetainedPointsOnly) {
  const fs::path basic = folder_ / "basic.txt";
  const RunOutcome outcome = Run(Settings(Generated(1500, 3), basic));
  ASSERT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text << " " << outcome.Detail;
  const std::string text = ReadFile(basic);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6 + outcome.Counts.ByCode[0]);
  EXPECT_EQ(text.substr(0, 16), "Project Title?\r\n");
}

TEST_F(PipelineTest, ARunShowsEachCheckInOrderWithThePointCountAsMaximum) {
  testing::RecordingProgress progress;
  const RunOutcome outcome = Run(Settings(Generated(400, 5), folder_ / "o.txt"), progress);
  ASSERT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text << " " << outcome.Detail;
  EXPECT_EQ(
      progress.Statuses(),
      (std::vector<std::string>{"Checking Header Status ...", "Checking Start Pass Delay ...",
                                "Checking End Pass Delay ...", "Checking Variable Distribution ...",
                                "Checking Data for Minimum Value ...",
                                "Checking neighborhood statistics, please wait...",
                                "Checking co-located points, please wait..."}));
  int open = 0;
  for (const auto& call : progress.calls) {
    if (call.kind == testing::RecordingProgress::Call::Begin) {
      EXPECT_EQ(open++, 0);
      EXPECT_EQ(call.number, 400);
    } else {
      EXPECT_EQ(open, 1) << "a value set or an end outside Begin/End";
      if (call.kind == testing::RecordingProgress::Call::End) --open;
    }
  }
}

TEST_F(PipelineTest, SettingAndRunErrorsNameTheCauseAndWriteNothing) {
  const fs::path input = Generated(200, 1);
  const fs::path output = folder_ / "out.txt";
  const struct {
    std::string RunSettings::*field;
    const char* text;
    RunStatus status;
    const char* message;
  } cases[] = {
      {&RunSettings::StartPassDelay, "", RunStatus::SettingError,
       "Start Pass Delay must be a whole number from -32768 to 32767."},
      {&RunSettings::EndPassDelay, "40000", RunStatus::SettingError,
       "End Pass Delay must be a whole number from -32768 to 32767."},
      {&RunSettings::MC, "abc", RunStatus::SettingError,
       "Standard Moisture Content (%) must be a number from -3.402823E+38 to 3.402823E+38."},
      {&RunSettings::SearchSD, "1e39", RunStatus::SettingError,
       "SD for Neighborhood must be a number from -3.402823E+38 to 3.402823E+38."},
      {&RunSettings::NoPointsforValidSeg, "ten", RunStatus::SettingError,
       "Minimum # of data points for a valid segment must be a whole number from -32768 to "
       "32767."},
      {&RunSettings::FEast, "1e10", RunStatus::SettingError,
       "False Easting must be a whole number from -2147483648 to 2147483647."},
      {&RunSettings::MC, "100", RunStatus::RunError,
       "Point 1: the standard moisture is 100 %, so the moisture correction is a division by "
       "zero."},
      {&RunSettings::Density, "0", RunStatus::RunError,
       "Point 1: the test weight is 0, so the yield is a division by zero."},
  };
  for (const auto& c : cases) {
    RunSettings settings = Settings(input, output);
    settings.*c.field = c.text;
    const RunOutcome outcome = Run(settings);
    EXPECT_EQ(outcome.Status, c.status) << c.text;
    EXPECT_EQ(outcome.Title,
              c.status == RunStatus::SettingError ? "Error in Settings" : "Run Error");
    EXPECT_EQ(outcome.Icon, MessageIcon::Critical);
    EXPECT_EQ(outcome.Text, c.message);
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST_F(PipelineTest, ARefusedFileAfterAGoodRunLeavesNoPoints) {
  const fs::path bad = folder_ / "bad.txt";
  std::ofstream(bad, std::ios::binary) << "-96.7,40.8,5\n";
  ASSERT_EQ(Run(Settings(Generated(200, 2), folder_ / "o.txt")).Status, RunStatus::Finished);
  ASSERT_EQ(count_, 200);
  const RunOutcome outcome = Run(Settings(bad, folder_ / "o2.txt"));
  EXPECT_EQ(outcome.Status, RunStatus::InvalidInput);
  EXPECT_EQ(outcome.Text, "Invalid Input File");
  EXPECT_EQ(outcome.Title, "Error Input File");
  EXPECT_NE(outcome.Detail.find("bad.txt"), std::string::npos) << outcome.Detail;
  EXPECT_EQ(outcome.Icon, MessageIcon::Critical);
  EXPECT_EQ(count_, 0);
  EXPECT_EQ(table_[5], YieldPoint{});  // the table was recreated
  EXPECT_FALSE(fs::exists(folder_ / "o2.txt"));
  EXPECT_EQ(Run(Settings("Input File", folder_ / "o3.txt")).Status, RunStatus::InvalidInput);
  // An empty name ends the run before anything is read.
  ASSERT_EQ(Run(Settings(Generated(200, 2), folder_ / "o.txt")).Status, RunStatus::Finished);
  EXPECT_EQ(Run(Settings("", folder_ / "o4.txt")).Text, "Invalid Input File");
  EXPECT_EQ(table_[5], YieldPoint{});
}

TEST_F(PipelineTest, TheInputFileIsNeverOverwrittenAndAMissingFolderIsNamed) {
  const fs::path input = Generated(200, 4);
  const std::string raw = ReadFile(input);
  const RunOutcome same = Run(Settings(input, input));
  EXPECT_EQ(same.Status, RunStatus::OutputError);
  EXPECT_EQ(same.Text, "The output file must not be the input file.");
  EXPECT_EQ(same.Title, "Error Output File");
  EXPECT_EQ(ReadFile(input), raw);

  const RunOutcome noFolder = Run(Settings(input, folder_ / "missing" / "out.txt"));
  EXPECT_EQ(noFolder.Status, RunStatus::OutputError);
  EXPECT_EQ(noFolder.Title, "Error Output File");
  EXPECT_NE(noFolder.Text.find("missing"), std::string::npos) << noFolder.Text;
}

TEST_F(PipelineTest, TextsFollowTheGivenDecimalSeparatorWhileTheFileKeepsTheFullStop) {
  const fs::path input = Generated(300, 6);
  ASSERT_EQ(Run(Settings(input, folder_ / "point.txt")).Status, RunStatus::Finished);
  RunSettings comma = Settings(input, folder_ / "comma.txt");
  comma.MC = "15,5";
  comma.SearchSD = "2,5";
  comma.DecimalPoint = ',';
  ASSERT_EQ(Run(comma).Status, RunStatus::Finished);
  EXPECT_EQ(ReadFile(folder_ / "comma.txt"), ReadFile(folder_ / "point.txt"));
}

TEST_F(PipelineTest, TheInputBrowsePreloadProposesTheSmallestEastingAndNorthing) {
  const std::string input = Generated(300, 9).string();
  const PreloadOutcome loaded = PreloadInput(count_, table_, input, "15.5", "56");
  ASSERT_EQ(loaded.Result, PreloadOutcome::Kind::Loaded) << loaded.Detail;
  ASSERT_EQ(count_, 300);
  std::int32_t minEasting = table_[1].Easting;
  std::int32_t minNorthing = table_[1].Northing;
  for (std::int32_t i = 1; i <= count_; ++i) {
    minEasting = std::min(minEasting, table_[i].Easting);
    minNorthing = std::min(minNorthing, table_[i].Northing);
  }
  EXPECT_GT(minEasting, 600000);
  EXPECT_EQ(loaded.FEast, minEasting);
  EXPECT_EQ(loaded.FNorth, minNorthing);

  // A moisture that is no number, or a division by zero: no message, the fields are reset.
  for (auto [mc, density] : {std::pair{"abc", "56"}, std::pair{"15.5", "0"}}) {
    EXPECT_EQ(PreloadInput(count_, table_, input, mc, density).Result, PreloadOutcome::Kind::Failed)
        << mc << " " << density;
  }
  EXPECT_EQ(PreloadInput(count_, table_, "", "15.5", "56").Result,
            PreloadOutcome::Kind::InvalidInput);
  const PreloadOutcome missing =
      PreloadInput(count_, table_, (folder_ / "none.txt").string(), "15.5", "56");
  EXPECT_EQ(missing.Result, PreloadOutcome::Kind::InvalidInput);
  EXPECT_NE(missing.Detail.find("none.txt"), std::string::npos) << missing.Detail;
  EXPECT_EQ(count_, 0);
}

TEST(RunPipeline, StartUpTextsComeFromTheCropAndTheCriteria) {
  CropRecord corn{"Corn", 15.5, 300, 0, 56};
  Criteria criteria{4, 4, 20, 10.5F, 3, 2.5F, 10};
  const auto ten = StartupSettings(corn, criteria);
  ASSERT_TRUE(ten.has_value());
  EXPECT_EQ(ten->MC, "15.5");
  EXPECT_EQ(ten->UpperLimit, "300");
  EXPECT_EQ(ten->SearchY, "10.5");
  EXPECT_EQ(ten->SearchSize, "10");  // half to even
  EXPECT_EQ(ten->Title, "Project Title?");
  criteria.SearchY = 11.5F;
  EXPECT_EQ(StartupSettings(corn, criteria)->SearchSize, "12");
  criteria.SearchY = 40000;
  EXPECT_FALSE(StartupSettings(corn, criteria).has_value());

  const auto values = ConvertRunSettings(*ten);
  ASSERT_TRUE(values) << values.reason();
  EXPECT_EQ(values->BufferHalfWidth, 2);  // 10 / 4 = 2.5 rounds to 2
  EXPECT_EQ(values->SearchSD, 2.5F);
  RunSettings other = *ten;
  other.SearchSize = "14";
  const auto fourteen = ConvertRunSettings(other);
  ASSERT_TRUE(fourteen) << fourteen.reason();
  EXPECT_EQ(fourteen->BufferHalfWidth, 4);  // 3.5 rounds to 4

  // The buffer text's range is that of its quarter, rounded half to even.
  const std::pair<const char*, bool> buffers[] = {
      {"-131074", true}, {"131069.9", true}, {"-131074.1", false}, {"131070", false}, {"", false}};
  for (const auto& [text, ok] : buffers) {
    other.SearchSize = text;
    const auto converted = ConvertRunSettings(other);
    EXPECT_EQ(converted.ok(), ok) << text;
    if (!ok && !converted) {
      EXPECT_EQ(converted.reason(), "Search Size must be a number from -131074 to 131069.");
    }
  }
}

TEST(RunPipeline, OutputNamesAreDerivedFromTheInputPath) {
  const std::pair<const char*, const char*> names[] = {
      {"C:\\data\\field12.txt", "C:\\data\\field12out.txt"},
      {"C:\\data\\a.txt", "C:\\data\\aout.txt"},
      {"Input File", "Input out.txt"},
      {"abcd", "out.txt"},
      {"abc", ""},
      {"/d/\xC3\xA9t\xC3\xA9.\xC3\xA9tx", "/d/\xC3\xA9t\xC3\xA9out.txt"}};
  for (const auto& [input, output] : names) EXPECT_EQ(DeriveOutputName(input), output) << input;
}

TEST(RunPipeline, AFinishedRunDescribesWhatEachRuleRemoved) {
  RunCounts counts;
  counts.PointsRead = 8;
  counts.ByCode = {5, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(DescribeCounts(counts),
            "8 points read, 5 retained (62.5 %).\n"
            "Code 1 (header up): 2 removed\n"
            "Code 12 (co-located): 1 removed");
  EXPECT_EQ(DescribeCounts(RunCounts{}), "0 points read, 0 retained (0.0 %).");
}

}  // namespace
}  // namespace tarvik

// Whole runs: from an export file to the output file, as the Run button does them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/run.h"
#include "support/recording_progress.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << file.rdbuf();
  return buffer.str();
}

void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary);
  file << contents;
}

/// A fresh folder per test, removed afterwards.
class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / (std::string("tarvik-pipeline-") + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  /// The settings the window starts with for corn and the supplied criteria.
  RunSettings Settings(const fs::path& input, const fs::path& output) const {
    RunSettings s;
    s.InputFile = input.string();
    s.OutputFile = output.string();
    s.MC = "15.5";
    s.Density = "56";
    s.LowerLimit = "1";
    s.UpperLimit = "350";
    s.StartPassDelay = "4";
    s.EndPassDelay = "4";
    s.SearchX = "20";
    s.SearchY = "10";
    s.SearchSize = "10";
    s.SDOutlier = "3";
    s.SearchSD = "2.5";
    s.NoPointsforValidSeg = "10";
    s.Title = "Project Title?";
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

  fs::path folder_;
};

TEST_F(PipelineTest, AGeneratedFieldEndsInFileOrderWithOneCodePerPointAndTheSameBytesTwice) {
  const fs::path input = Generated(3000, 7);
  const fs::path output = folder_ / "out.txt";
  RunSettings settings = Settings(input, output);
  settings.Option3 = false;  // detailed: every point with its code

  PointTable table;
  std::int32_t count = 0;
  const RunOutcome first = RunPipeline(count, table, settings);
  ASSERT_EQ(first.Status, RunStatus::Finished) << first.Text << " " << first.Detail;
  EXPECT_EQ(first.Text, "FINISH");
  EXPECT_EQ(first.Icon, MessageIcon::Information);
  ASSERT_EQ(count, 3000);
  std::int32_t total = 0;
  for (std::int32_t i = 1; i <= count; ++i) {
    EXPECT_EQ(table[i].ID, i);
    EXPECT_GE(table[i].RemovalCode, 0);
    EXPECT_LE(table[i].RemovalCode, 12);
  }
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
  fs::remove(output);
  const RunOutcome second = RunPipeline(count, table, settings);
  ASSERT_EQ(second.Status, RunStatus::Finished);
  EXPECT_EQ(ReadFile(output), bytes);
  EXPECT_EQ(second.Counts.ByCode, first.Counts.ByCode);
  // 12 heading lines and one row per point.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 12 + 3000);
}

TEST_F(PipelineTest, TheBasicFileHoldsTheRetainedPointsOnly) {
  const fs::path input = Generated(1500, 3);
  const fs::path basic = folder_ / "basic.txt";
  const fs::path detailed = folder_ / "detailed.txt";
  PointTable table;
  std::int32_t count = 0;
  const RunOutcome outcome = RunPipeline(count, table, Settings(input, basic));
  ASSERT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text << " " << outcome.Detail;
  EXPECT_FALSE(fs::exists(detailed));
  const std::string text = ReadFile(basic);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6 + outcome.Counts.ByCode[0]);
  EXPECT_EQ(text.substr(0, 16), "Project Title?\r\n");
}

TEST_F(PipelineTest, ARunShowsEachCheckInOrderWithThePointCountAsMaximum) {
  const fs::path input = Generated(400, 5);
  testing::RecordingProgress progress;
  PointTable table;
  std::int32_t count = 0;
  const RunOutcome outcome = RunPipeline(count, table, Settings(input, folder_ / "o.txt"), progress);
  ASSERT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text << " " << outcome.Detail;
  EXPECT_EQ(progress.Statuses(),
            (std::vector<std::string>{"Checking Header Status ...", "Checking Start Pass Delay ...",
                                      "Checking End Pass Delay ...",
                                      "Checking Variable Distribution ...",
                                      "Checking Data for Minimum Value ...",
                                      "Checking neighborhood statistics, please wait...",
                                      "Checking co-located points, please wait..."}));
  int open = 0;
  for (const auto& call : progress.calls) {
    if (call.kind == testing::RecordingProgress::Call::Begin) {
      EXPECT_EQ(open, 0);
      EXPECT_EQ(call.number, 400);
      ++open;
    } else if (call.kind == testing::RecordingProgress::Call::End) {
      EXPECT_EQ(open, 1);
      --open;
    } else {
      EXPECT_EQ(open, 1) << "a value set outside Begin/End";
    }
  }
}

TEST_F(PipelineTest, SettingErrorsNameTheFieldAndWriteNothing) {
  const fs::path input = Generated(200, 1);
  const fs::path output = folder_ / "out.txt";
  struct Case {
    std::string RunSettings::*field;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {&RunSettings::StartPassDelay, "", "Start Pass Delay must be a whole number from -32768 to 32767."},
      {&RunSettings::EndPassDelay, "40000", "End Pass Delay must be a whole number from -32768 to 32767."},
      {&RunSettings::MC, "abc", "Standard Moisture Content (%) must be a number from -3.402823E+38 to 3.402823E+38."},
      {&RunSettings::SearchSD, "1e39", "SD for Neighborhood must be a number from -3.402823E+38 to 3.402823E+38."},
      {&RunSettings::NoPointsforValidSeg, "ten", "Minimum # of data points for a valid segment must be a whole number from -32768 to 32767."},
      {&RunSettings::FEast, "1e10", "False Easting must be a whole number from -2147483648 to 2147483647."},
  };
  for (const Case& c : cases) {
    RunSettings settings = Settings(input, output);
    settings.*c.field = c.text;
    PointTable table;
    std::int32_t count = 0;
    const RunOutcome outcome = RunPipeline(count, table, settings);
    EXPECT_EQ(outcome.Status, RunStatus::SettingError);
    EXPECT_EQ(outcome.Title, "Error in Settings");
    EXPECT_EQ(outcome.Icon, MessageIcon::Critical);
    EXPECT_EQ(outcome.Text, c.message);
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST_F(PipelineTest, DivisionByZeroStopsTheRunWithItsCause) {
  const fs::path input = Generated(200, 1);
  const fs::path output = folder_ / "out.txt";
  for (auto [mc, density] : {std::pair{"100", "56"}, std::pair{"15.5", "0"}}) {
    RunSettings settings = Settings(input, output);
    settings.MC = mc;
    settings.Density = density;
    PointTable table;
    std::int32_t count = 0;
    const RunOutcome outcome = RunPipeline(count, table, settings);
    EXPECT_EQ(outcome.Status, RunStatus::RunError);
    EXPECT_EQ(outcome.Title, "Run Error");
    EXPECT_FALSE(outcome.Text.empty());
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST_F(PipelineTest, ARefusedFileAfterAGoodRunLeavesNoPoints) {
  const fs::path good = Generated(200, 2);
  const fs::path bad = folder_ / "bad.txt";
  WriteFile(bad, "-96.7,40.8,5\n");
  PointTable table;
  std::int32_t count = 0;
  ASSERT_EQ(RunPipeline(count, table, Settings(good, folder_ / "o.txt")).Status,
            RunStatus::Finished);
  ASSERT_EQ(count, 200);
  const RunOutcome outcome = RunPipeline(count, table, Settings(bad, folder_ / "o2.txt"));
  EXPECT_EQ(outcome.Status, RunStatus::InvalidInput);
  EXPECT_EQ(outcome.Text, "Invalid Input File");
  EXPECT_EQ(outcome.Title, "Error Input File");
  EXPECT_NE(outcome.Detail.find("bad.txt"), std::string::npos) << outcome.Detail;
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(fs::exists(folder_ / "o2.txt"));
  const RunOutcome missing = RunPipeline(count, table, Settings("Input File", folder_ / "o3.txt"));
  EXPECT_EQ(missing.Status, RunStatus::InvalidInput);
}

TEST_F(PipelineTest, TheInputFileIsNeverOverwrittenAndAFailedWriteKeepsTheOldOutput) {
  const fs::path input = Generated(200, 4);
  const std::string raw = ReadFile(input);
  PointTable table;
  std::int32_t count = 0;
  const RunOutcome same = RunPipeline(count, table, Settings(input, input));
  EXPECT_EQ(same.Status, RunStatus::OutputError);
  EXPECT_EQ(same.Text, "The output file must not be the input file.");
  EXPECT_EQ(same.Title, "Error Output File");
  EXPECT_EQ(ReadFile(input), raw);

  const RunOutcome noFolder =
      RunPipeline(count, table, Settings(input, folder_ / "missing" / "out.txt"));
  EXPECT_EQ(noFolder.Status, RunStatus::OutputError);
  EXPECT_EQ(noFolder.Title, "Error Output File");
  EXPECT_NE(noFolder.Text.find("missing"), std::string::npos) << noFolder.Text;
}

TEST_F(PipelineTest, TextsFollowTheGivenDecimalSeparatorWhileTheFileKeepsTheFullStop) {
  const fs::path input = Generated(300, 6);
  const fs::path pointOut = folder_ / "point.txt";
  const fs::path commaOut = folder_ / "comma.txt";
  PointTable table;
  std::int32_t count = 0;
  ASSERT_EQ(RunPipeline(count, table, Settings(input, pointOut)).Status, RunStatus::Finished);
  RunSettings comma = Settings(input, commaOut);
  comma.MC = "15,5";
  comma.SearchSD = "2,5";
  comma.DecimalPoint = ',';
  ASSERT_EQ(RunPipeline(count, table, comma).Status, RunStatus::Finished);
  EXPECT_EQ(ReadFile(commaOut), ReadFile(pointOut));
}

TEST_F(PipelineTest, TheInputBrowsePreloadProposesTheSmallestEastingAndNorthing) {
  const fs::path input = Generated(300, 9);
  PointTable table;
  std::int32_t count = 0;
  const PreloadOutcome loaded = PreloadInput(count, table, input.string(), "15.5", "56");
  ASSERT_EQ(loaded.Result, PreloadOutcome::Kind::Loaded) << loaded.Detail;
  ASSERT_EQ(count, 300);
  std::int32_t minEasting = table[1].Easting;
  std::int32_t minNorthing = table[1].Northing;
  for (std::int32_t i = 1; i <= count; ++i) {
    minEasting = std::min(minEasting, table[i].Easting);
    minNorthing = std::min(minNorthing, table[i].Northing);
  }
  EXPECT_GT(minEasting, 600000);
  EXPECT_EQ(loaded.FEast, minEasting);
  EXPECT_EQ(loaded.FNorth, minNorthing);

  // A moisture that is no number, or a division by zero: no message, the fields are reset.
  for (auto [mc, density] : {std::pair{"abc", "56"}, std::pair{"15.5", "0"}}) {
    EXPECT_EQ(PreloadInput(count, table, input.string(), mc, density).Result,
              PreloadOutcome::Kind::Failed)
        << mc << " " << density;
  }
  EXPECT_EQ(PreloadInput(count, table, "", "15.5", "56").Result,
            PreloadOutcome::Kind::InvalidInput);
  const PreloadOutcome missing =
      PreloadInput(count, table, (folder_ / "none.txt").string(), "15.5", "56");
  EXPECT_EQ(missing.Result, PreloadOutcome::Kind::InvalidInput);
  EXPECT_NE(missing.Detail.find("none.txt"), std::string::npos) << missing.Detail;
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace tarvik

// The delay step: flows and moistures moved back to where the grain was cut,
// the delay settings, and the delay estimated from generated fields.
#include "input/delay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/removal_codes.h"
#include "input/advanced_export.h"
#include "input/delay_estimate.h"
#include "run/run.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

using testing::ReadFile;
using testing::WriteFile;

/// Points logged at `times`, in file order: flow 10 + position, moisture 20 + position.
std::unique_ptr<PointTable> Logged(const std::vector<std::int32_t>& times, std::int32_t& count) {
  auto table = std::make_unique<PointTable>();
  count = static_cast<std::int32_t>(times.size());
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& p = (*table)[i];
    p.GPSTime = times[static_cast<std::size_t>(i - 1)];
    p.GrainFlow = static_cast<float>(10 + i);
    p.Moisture = static_cast<float>(20 + i);
    p.HeaderStatus = 33;
  }
  return table;
}

/// The flow each point took, as the position it was logged at (0: kept its
/// own and marked with code 13).
std::vector<std::int32_t> FlowSources(const std::vector<std::int32_t>& times, std::int32_t delay) {
  std::int32_t count = 0;
  auto table = Logged(times, count);
  FlowDelay(count, *table, delay);
  std::vector<std::int32_t> sources;
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& p = (*table)[i];
    if (p.RemovalCode == kNoFlowAfterDelay) {
      EXPECT_EQ(p.GrainFlow, 10 + i) << "a point without a delayed flow keeps its own";
      sources.push_back(0);
    } else {
      EXPECT_EQ(p.RemovalCode, kRetained);
      sources.push_back(static_cast<std::int32_t>(p.GrainFlow) - 10);
    }
  }
  return sources;
}

TEST(FlowDelay, TakesTheFlowLoggedThatManySecondsLaterOrCode13) {
  using V = std::vector<std::int32_t>;
  // Exact times; the last point has nothing within 1 s of 107 before the end of the file.
  EXPECT_EQ(FlowSources({100, 101, 102, 103, 104, 105}, 2), V({3, 4, 5, 6, 6, 0}));
  // A pause of 8 s: nothing is taken across it.
  EXPECT_EQ(FlowSources({100, 101, 102, 110, 111, 112}, 2), V({3, 3, 0, 6, 6, 0}));
  // A step of 6 s is no pause; one of 7 s is.
  EXPECT_EQ(FlowSources({100, 106}, 6), V({2, 0}));
  EXPECT_EQ(FlowSources({100, 107}, 7), V({0, 0}));
  // A double log: the first record at the time wins; a missed second takes
  // the later neighbour, whose interval covers it.
  EXPECT_EQ(FlowSources({100, 101, 101, 102, 104}, 1), V({2, 4, 4, 5, 5}));
  // A short step back in time stays within the run, and is looked up in it;
  // a point whose nearest record is itself keeps its flow.
  EXPECT_EQ(FlowSources({100, 102, 101, 103}, 1), V({3, 4, 2, 4}));
}

TEST(FlowDelay, ZeroMovesNothingAndHeaderUpPointsAreLeftToTheirRule) {
  std::int32_t count = 0;
  auto table = Logged({100, 101, 102, 200}, count);
  const PointTable before = *table;
  EXPECT_EQ(FlowDelay(count, *table, 0), 0);
  EXPECT_EQ(MoistureDelay(count, *table, 0), 0);
  EXPECT_TRUE(table->records == before.records);

  // Marked points keep their code; the count says how many were marked.
  (*table)[3].RemovalCode = kHeaderUp;
  EXPECT_EQ(FlowDelay(count, *table, 5), 3);
  EXPECT_EQ((*table)[3].RemovalCode, kHeaderUp);
  EXPECT_EQ((*table)[4].RemovalCode, kNoFlowAfterDelay);
}

TEST(MoistureDelay, MovesMoistureAndKeepsItsOwnWhereNoneWasLogged) {
  std::int32_t count = 0;
  auto table = Logged({100, 101, 102, 103, 120}, count);
  EXPECT_EQ(MoistureDelay(count, *table, 2), 2);
  std::vector<float> moisture;
  for (std::int32_t i = 1; i <= count; ++i) {
    moisture.push_back((*table)[i].Moisture);
    EXPECT_EQ((*table)[i].RemovalCode, kRetained);
    EXPECT_EQ((*table)[i].GrainFlow, 10 + i);
  }
  EXPECT_EQ(moisture, std::vector<float>({23, 24, 24, 24, 25}));
}

TEST(DelaySettings, DelaysAreWholeSecondsFromZeroAndOnlyTheFlowMayBeAuto) {
  // The reason of a refusal, or nothing with `out` set.
  const auto convert = [](const std::string& flow, const std::string& moisture,
                          ConvertedSettings& out) -> std::optional<std::string> {
    RunSettings s = *StartupSettings({"Corn", 15.5, 350, 1, 56}, {4, 4, 20, 10, 3, 2.5F, 10});
    s.FlowDelay = flow;
    s.MoistureDelay = moisture;
    const auto converted = ConvertRunSettings(s);
    if (!converted) return converted.reason();
    out = *converted;
    return std::nullopt;
  };
  ConvertedSettings out;
  EXPECT_EQ(convert("", "", out), std::nullopt);
  EXPECT_EQ(out.FlowDelay, 0);
  EXPECT_FALSE(out.EstimateFlowDelay);
  EXPECT_EQ(convert(" 12 ", "3", out), std::nullopt);
  EXPECT_EQ(out.FlowDelay, 12);
  EXPECT_EQ(out.MoistureDelay, 3);
  EXPECT_EQ(convert("Auto", "", out), std::nullopt);
  EXPECT_TRUE(out.EstimateFlowDelay);

  const std::string flow =
      "Flow Delay must be a whole number of seconds from 0 to 32767, or \"auto\".";
  const std::string moisture = "Moisture Delay must be a whole number of seconds from 0 to 32767.";
  for (const char* text : {"-1", "-0.6", "abc", "12s", "40000"}) {
    EXPECT_EQ(convert(text, "", out), flow) << text;
    EXPECT_EQ(convert("", text, out), moisture) << text;
  }
  EXPECT_EQ(convert("", "auto", out), moisture);
}

/// A generated field read as the run reads it.
std::unique_ptr<PointTable> Generated(const FieldSimOptions& options, std::int32_t& count) {
  auto table = std::make_unique<PointTable>();
  const ReadResult read = ParseAdvancedExport(SimulateField(options), "field", *table, count);
  EXPECT_TRUE(read.ok()) << read.reason();
  return table;
}

TEST(EstimateFlowDelay, FindsTheDelayOfGeneratedFieldsWithinOneSecond) {
  struct Shape {
    std::uint64_t seed;
    std::int32_t points;
    double heading;
    std::int16_t swath;
  };
  for (const Shape& shape : {Shape{1, 6000, 0, 360}, Shape{2, 9000, 37, 240},
                             Shape{3, 4000, 200, 480}, Shape{4, 5000, 300, 360}}) {
    for (const std::int32_t delay : {0, 4, 8, 12, 16}) {
      FieldSimOptions options;
      options.Seed = shape.seed;
      options.Points = shape.points;
      options.Heading = shape.heading;
      options.Swath = shape.swath;
      options.FlowDelay = delay;
      std::int32_t count = 0;
      const auto table = Generated(options, count);
      const DelayEstimate estimate = EstimateFlowDelay(count, *table);
      SCOPED_TRACE("seed " + std::to_string(shape.seed) + ", heading " +
                   std::to_string(shape.heading) + ", delay " + std::to_string(delay));
      EXPECT_TRUE(estimate.Clear);
      EXPECT_NEAR(estimate.Delay, delay, 1);
      ASSERT_EQ(estimate.Scores.size(), std::size_t{kMaxEstimatedDelay + 1});
      for (std::int32_t d = 0; d <= kMaxEstimatedDelay; ++d) {
        EXPECT_EQ(estimate.Scores[static_cast<std::size_t>(d)].Delay, d);
      }
      EXPECT_GT(estimate.Pairs, estimate.Points);
    }
  }
}

TEST(EstimateFlowDelay, IsTheSameEveryTimeAndMovesNothing) {
  FieldSimOptions options;
  options.Seed = 9;
  options.Points = 3000;
  std::int32_t count = 0;
  const auto table = Generated(options, count);
  const PointTable before = *table;
  const DelayEstimate first = EstimateFlowDelay(count, *table);
  EXPECT_EQ(EstimateFlowDelay(count, *table), first);
  EXPECT_TRUE(table->records == before.records);
}

TEST(EstimateFlowDelay, AFieldWithoutAYieldPatternHasNoClearDelay) {
  FieldSimOptions options;
  options.Seed = 5;
  options.Points = 8000;
  options.FlowDelay = 10;
  std::int32_t count = 0;
  const auto table = Generated(options, count);
  // One yield everywhere, with noise: the flow follows the area cut.
  std::uint64_t state = 12345;
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& p = (*table)[i];
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double noise = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
    const double interval = p.GPSInterval > 0 ? p.GPSInterval : 1;
    p.GrainFlow = static_cast<float>(0.0004 * p.Swath * p.Distance / interval * (1 + 0.2 * noise));
  }
  const DelayEstimate estimate = EstimateFlowDelay(count, *table);
  EXPECT_FALSE(estimate.Clear);
  EXPECT_EQ(estimate.Delay, 0);
  EXPECT_EQ(estimate.Scores.size(), std::size_t{kMaxEstimatedDelay + 1});

  // Too few points to compare: no scores, no delay.
  std::int32_t few = 0;
  const auto pass = Logged({100, 101, 102}, few);
  const DelayEstimate none = EstimateFlowDelay(few, *pass);
  EXPECT_FALSE(none.Clear);
  EXPECT_TRUE(none.Scores.empty());
}

/// Whole runs with and without a delay, on the bundled sample and generated fields.
class DelayRunTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) const {
    WriteFile(folder_ / name, text);
    return (folder_ / name).string();
  }
  /// Runs `input` with the delay texts; the output file's bytes.
  std::string Run(const std::string& input, const std::string& flow, const std::string& moisture,
                  bool detailed, RunOutcome& outcome) {
    RunSettings s = *StartupSettings({"Corn", 15.5, 350, 1, 56}, {4, 4, 20, 10, 3, 2.5F, 10});
    s.InputFile = input;
    s.OutputFile = (folder_ / "out.txt").string();
    s.BasicOutput = !detailed;
    s.FlowDelay = flow;
    s.MoistureDelay = moisture;
    outcome = RunPipeline(count_, *table_, s);
    EXPECT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text;
    return ReadFile(s.OutputFile);
  }

  testing::TestFolder folder_{"delay"};
  std::unique_ptr<PointTable> table_ = std::make_unique<PointTable>();
  std::int32_t count_ = 0;
};

TEST_F(DelayRunTest, NoDelayAndDelaysOfZeroLeaveEveryByteAsItWas) {
  FieldSimOptions options;
  options.Seed = 21;
  options.Points = 4000;
  const std::vector<std::string> inputs = {
      std::string(TARVIK_SOURCE_DIR) + "/samples/sample-field.txt",
      Write("generated.txt", SimulateField(options))};
  for (const std::string& input : inputs) {
    for (const bool detailed : {false, true}) {
      RunOutcome plain;
      RunOutcome zero;
      const std::string expected = Run(input, "", "", detailed, plain);
      EXPECT_TRUE(Run(input, "0", " 0 ", detailed, zero) == expected) << input;
      EXPECT_EQ(zero.Detail, plain.Detail);
      EXPECT_EQ(zero.Counts.ByCode, plain.Counts.ByCode);
      EXPECT_FALSE(zero.Counts.FlowDelayed);
      EXPECT_EQ(DescribeDelay(zero.Delay), "");
    }
  }
}

TEST_F(DelayRunTest, ADelayedRunWritesCode13AndNamesTheDelay) {
  FieldSimOptions options;
  options.Seed = 4;
  options.Points = 4000;
  options.FlowDelay = 9;
  const std::string input = Write("late.txt", SimulateField(options));

  RunOutcome fixed;
  const std::string detailed = Run(input, "9", "4", true, fixed);
  EXPECT_TRUE(fixed.Counts.FlowDelayed);
  EXPECT_GT(fixed.Counts.ByCode[kNoFlowAfterDelay], 0);
  EXPECT_EQ(DescribeDelay(fixed.Delay), "flow delay 9 s, moisture delay 4 s");
  EXPECT_NE(fixed.Detail.find("\nCode 13 (no flow after delay): "), std::string::npos);
  EXPECT_TRUE(fixed.Detail.ends_with("\nFlow delay 9 s, moisture delay 4 s.")) << fixed.Detail;
  // The detailed output gives those points VID 13, one row per point.
  std::int32_t rows13 = 0;
  std::istringstream lines(detailed);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream row(line);
    std::string easting, northing, yield, moisture, vid;
    if (row >> easting >> northing >> yield >> moisture >> vid && vid == "13") ++rows13;
  }
  EXPECT_EQ(rows13, fixed.Counts.ByCode[kNoFlowAfterDelay]);

  // "auto" finds it and moves the flows as the fixed delay does.
  RunOutcome estimated;
  EXPECT_TRUE(Run(input, "auto", "4", true, estimated) == detailed);
  EXPECT_TRUE(estimated.Delay.Estimated);
  EXPECT_EQ(estimated.Delay.FlowDelay, 9);
  EXPECT_EQ(estimated.Delay.Scores.size(), std::size_t{kMaxEstimatedDelay + 1});
  EXPECT_EQ(DescribeDelay(estimated.Delay), "flow delay 9 s (estimated), moisture delay 4 s");
  const std::string scores = DescribeDelayScores(estimated.Delay);
  EXPECT_NE(scores.find("\n  delay  9 s: "), std::string::npos) << scores;
  EXPECT_NE(scores.find("<- chosen"), std::string::npos);
}

}  // namespace
}  // namespace tarvik

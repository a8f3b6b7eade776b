// The screening checks, the distribution check with its statistics, and the
// regrouping of the table by block, each on small hand-built tables.
#include "checks/screening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "checks/basic_statistics.h"
#include "checks/distribution.h"
#include "checks/ordering.h"
#include "core/errors.h"
#include "core/point_table.h"
#include "core/removal_codes.h"
#include "support/recording_progress.h"

namespace tarvik {
namespace {

using testing::RecordingProgress;

/// Puts `points` at positions 1..n, numbering their IDs in file order.
std::int32_t Fill(PointTable& table, std::vector<YieldPoint> points) {
  for (std::size_t k = 0; k < points.size(); ++k) {
    points[k].ID = static_cast<std::int32_t>(k + 1);
    table.records[k + 1] = std::move(points[k]);
  }
  return static_cast<std::int32_t>(points.size());
}

std::vector<int> Codes(const std::int32_t& count, const PointTable& table) {
  std::vector<int> codes;
  for (std::int32_t i = 1; i <= count; ++i) codes.push_back(table[i].RemovalCode);
  return codes;
}

/// The progress calls as one line, e.g. "Begin(Checking ...,3) 1 2 3 End".
std::string Trace(const RecordingProgress& progress) {
  std::string out;
  for (const RecordingProgress::Call& call : progress.calls) {
    if (!out.empty()) out += ' ';
    if (call.kind == RecordingProgress::Call::Begin) {
      out += "Begin(" + call.status + "," + std::to_string(call.number) + ")";
    } else if (call.kind == RecordingProgress::Call::SetValue) {
      out += std::to_string(call.number);
    } else {
      out += "End";
    }
  }
  return out;
}

/// One retained point of `segment` logged at `time`.
YieldPoint Timed(std::int16_t segment, std::int32_t time, std::int16_t code = 0) {
  YieldPoint p;
  p.Segment = segment;
  p.GPSTime = time;
  p.RemovalCode = code;
  return p;
}

YieldPoint WithYield(float yield, std::int16_t code = 0) {
  YieldPoint p;
  p.Yield = yield;
  p.RemovalCode = code;
  return p;
}

YieldPoint Logged(float flow, float moisture, std::int16_t distance, std::int16_t interval,
                  std::int16_t code = 0) {
  YieldPoint p;
  p.GrainFlow = flow;
  p.Moisture = moisture;
  p.Distance = distance;
  p.GPSInterval = interval;
  p.RemovalCode = code;
  return p;
}

TEST(ScreeningProgress, EachCheckShowsItsStatusAndPositions) {
  PointTable table;
  const std::int32_t count = Fill(table, {Timed(1, 10), Timed(1, 11), Timed(1, 12)});
  RecordingProgress header, start, end, minimum, distribution;
  CheckHeaderStatus(count, table, header);
  CheckStartPassDelay(count, table, 0, start);
  CheckEndPassDelay(count, table, 0, end);
  CheckMinimumYield(count, table, -1.0F, minimum);
  CheckVariableDistribution(count, table, 3.0F, distribution);
  EXPECT_EQ(Trace(header), "Begin(Checking Header Status ...,3) 1 2 3 End");
  EXPECT_EQ(Trace(start), "Begin(Checking Start Pass Delay ...,3) 1 2 3 End");
  EXPECT_EQ(Trace(end), "Begin(Checking End Pass Delay ...,3) 0 1 2 End");
  EXPECT_EQ(Trace(minimum), "Begin(Checking Data for Minimum Value ...,3) End");
  EXPECT_EQ(Trace(distribution), "Begin(Checking Variable Distribution ...,3) 1 2 3 End");
}

TEST(Screening, AnEmptyTableMarksNothingBeyondTheCount) {
  PointTable table;
  const std::int32_t count = 0;
  table[1].HeaderStatus = 1;  // beyond the count: never looked at
  table[1].Yield = -5;
  EXPECT_EQ(CheckHeaderStatus(count, table), 0);
  EXPECT_EQ(CheckStartPassDelay(count, table, 5), 0);
  EXPECT_EQ(CheckEndPassDelay(count, table, 5), 0);
  EXPECT_EQ(CheckMinimumYield(count, table, 0.0F), 0);
  EXPECT_EQ(CheckMaximumYield(count, table, -10.0F), 0);
  const DistributionCounts counts = CheckVariableDistribution(count, table, 0.0F);
  EXPECT_EQ(counts.GrainFlow + counts.Speed + counts.Moisture, 0);
  EXPECT_EQ(CheckValidSegments(count, table, 5), 0);
  EXPECT_EQ(table[1].RemovalCode, 0);
}

TEST(HeaderStatus, MarksOnlyStatusOne) {
  PointTable table;
  std::vector<YieldPoint> points(5);
  const std::int16_t statuses[] = {33, 1, 0, 1, -1};
  for (std::size_t k = 0; k < points.size(); ++k) points[k].HeaderStatus = statuses[k];
  const std::int32_t count = Fill(table, points);
  EXPECT_EQ(CheckHeaderStatus(count, table), 2);
  EXPECT_EQ(Codes(count, table), (std::vector<int>{0, 1, 0, 1, 0}));
}

/// The codes after the start and then the end check, each run only when its delay is given; the
/// counts they return must match the codes they leave.
std::vector<int> DelayCodes(const std::vector<YieldPoint>& points,
                            std::optional<std::int16_t> start, std::optional<std::int16_t> end) {
  PointTable table;
  const std::int32_t count = Fill(table, points);
  const std::int32_t marked[2] = {start ? CheckStartPassDelay(count, table, *start) : 0,
                                  end ? CheckEndPassDelay(count, table, *end) : 0};
  std::vector<int> codes = Codes(count, table);
  EXPECT_EQ(marked[0], std::count(codes.begin(), codes.end(), kStartPassDelay));
  EXPECT_EQ(marked[1], std::count(codes.begin(), codes.end(), kEndPassDelay));
  return codes;
}

TEST(PassDelay, MarksTheFirstAndLastSecondsOfEachSegment) {
  // One point a second; elapsed 3 equals the delay and stays.
  EXPECT_EQ(DelayCodes({Timed(1, 100), Timed(1, 101), Timed(1, 102), Timed(1, 103), Timed(1, 104),
                        Timed(2, 200), Timed(2, 202), Timed(2, 203)},
                       3, {}),
            (std::vector<int>{2, 2, 2, 0, 0, 2, 2, 0}));
  // The header-up point at 100 must not start the segment: it starts at 101.
  EXPECT_EQ(
      DelayCodes({Timed(1, 100, kHeaderUp), Timed(1, 101), Timed(1, 102), Timed(1, 103)}, 2, {}),
      (std::vector<int>{1, 2, 2, 0}));
  // Delay 0 removes only times before the start; a negative delay keeps its sign: elapsed -2 is
  // below -1, elapsed 0 is not.
  EXPECT_EQ(DelayCodes({Timed(1, 100), Timed(1, 99), Timed(1, 101), Timed(1, 98)}, 0, {}),
            (std::vector<int>{0, 2, 0, 2}));
  EXPECT_EQ(DelayCodes({Timed(1, 100), Timed(1, 98), Timed(1, 99)}, -1, {}),
            (std::vector<int>{0, 2, 0}));
  // Segment 1 lies wholly in the start delay and is invisible to the end check; segment 2 ends at
  // its last retained point, 204 (205 is header-up), and the point 2 s before it stays.
  EXPECT_EQ(DelayCodes({Timed(1, 100), Timed(1, 101), Timed(2, 200), Timed(2, 201), Timed(2, 202),
                        Timed(2, 203), Timed(2, 204), Timed(2, 205, kHeaderUp)},
                       2, 2),
            (std::vector<int>{2, 2, 2, 2, 0, 3, 3, 1}));
  // End delay 0: only points logged after the segment's last retained point.
  EXPECT_EQ(DelayCodes({Timed(1, 100), Timed(1, 102), Timed(1, 101)}, {}, 0),
            (std::vector<int>{0, 3, 0}));
}

TEST(PassDelay, TimeDifferenceBeyond32BitsStopsTheRun) {
  PointTable table;
  const std::vector<YieldPoint> points = {Timed(1, std::numeric_limits<std::int32_t>::min()),
                                          Timed(1, std::numeric_limits<std::int32_t>::max())};
  std::int32_t count = Fill(table, points);
  RecordingProgress progress;
  EXPECT_THROW(CheckStartPassDelay(count, table, 5, progress), RunError);
  EXPECT_EQ(progress.calls.back().kind, RecordingProgress::Call::End);
  count = Fill(table, points);
  EXPECT_THROW(CheckEndPassDelay(count, table, 5), RunError);
}

TEST(YieldLimits, StrictLimitsAndEarlierCodesKept) {
  PointTable table;
  std::int32_t count = Fill(
      table, {WithYield(9.99F), WithYield(10.0F), WithYield(50.0F), WithYield(200.0F),
              WithYield(200.01F), WithYield(1.0F, kStartPassDelay), WithYield(500.0F, kHeaderUp)});
  EXPECT_EQ(CheckMinimumYield(count, table, 10.0F), 1);
  EXPECT_EQ(CheckMaximumYield(count, table, 200.0F), 1);
  EXPECT_EQ(Codes(count, table), (std::vector<int>{7, 0, 0, 0, 8, 2, 1}));
  // A lower limit above the upper one removes everything.
  count = Fill(table, {WithYield(10), WithYield(50), WithYield(100)});
  CheckMinimumYield(count, table, 60.0F);
  CheckMaximumYield(count, table, 40.0F);
  EXPECT_EQ(Codes(count, table), (std::vector<int>{7, 7, 8}));
}

TEST(ValidSegments, CountsRetainedPointsOfEachRun) {
  PointTable table;
  // Runs: 1 (3 retained, exactly the minimum: kept), 2 (2 retained), 1 again (a run of its own,
  // 1 retained), and the final 3 (2 retained; its code-1 point stays 1).
  std::int32_t count =
      Fill(table, {Timed(1, 0), Timed(1, 0), Timed(1, 0, kHeaderUp), Timed(1, 0), Timed(2, 0),
                   Timed(2, 0), Timed(1, 0), Timed(3, 0), Timed(3, 0, kHeaderUp), Timed(3, 0)});
  EXPECT_EQ(CheckValidSegments(count, table, 3), 5);
  EXPECT_EQ(Codes(count, table), (std::vector<int>{0, 0, 1, 0, 11, 11, 11, 11, 1, 11}));
  // A minimum of 0 or 1 removes nothing.
  count = Fill(table, {Timed(1, 0), Timed(2, 0, kHeaderUp), Timed(3, 0), Timed(3, 0)});
  EXPECT_EQ(CheckValidSegments(count, table, 1), 0);
  EXPECT_EQ(CheckValidSegments(count, table, 0), 0);
  EXPECT_EQ(Codes(count, table), (std::vector<int>{0, 1, 0, 0}));
}

TEST(ValidSegments, HandlesTablesBeyond16BitPositions) {
  PointTable table;
  std::vector<YieldPoint> points(40000, Timed(1, 0));
  for (std::size_t k = 39990; k < points.size(); ++k) points[k].Segment = 2;
  const std::int32_t count = Fill(table, points);
  // 39,990 retained points are more than any 16-bit minimum.
  EXPECT_EQ(CheckValidSegments(count, table, std::numeric_limits<std::int16_t>::max()), 10);
  const std::vector<int> codes = Codes(count, table);
  EXPECT_EQ(std::count(codes.begin(), codes.begin() + 39990, 0), 39990);
  EXPECT_EQ(std::count(codes.begin() + 39990, codes.end(), 11), 10);
}

TEST(BasicStatistics, MeanAndSampleDeviation) {
  const std::vector<double> values = {1, 2, 3, 4};
  const SampleStats stats = ComputeSampleStats(4, values);
  EXPECT_EQ(stats.N, 4);
  EXPECT_DOUBLE_EQ(stats.Mean, 2.5);
  EXPECT_DOUBLE_EQ(stats.StdDev, std::sqrt(5.0 / 3.0));
  // Dividing before adding keeps the mean of huge values finite.
  const std::vector<double> huge = {DBL_MAX, DBL_MAX};
  EXPECT_EQ(ComputeMean(2, huge), DBL_MAX);
  const SampleStats one = ComputeSampleStats(1, values);
  EXPECT_TRUE(one.Mean == 1 && one.StdDev == 0);
  const SampleStats none = ComputeSampleStats(0, {});
  EXPECT_TRUE(none.N == 0 && none.Mean == 0 && none.StdDev == 0);
}

/// The codes CheckVariableDistribution leaves on `points` with `threshold`.
std::vector<int> DistributionCodes(const std::vector<YieldPoint>& points, float threshold) {
  PointTable table;
  const std::int32_t count = Fill(table, points);
  CheckVariableDistribution(count, table, threshold);
  return Codes(count, table);
}

TEST(Distribution, LastFailedTestWinsAndEarlierCodesStayOut) {
  PointTable table;
  // z over the retained twelve: flow 1.66 (20), moisture 2.14 (25), speed 2.14 (100).
  std::vector<YieldPoint> points(8, Logged(10, 15, 50, 1));
  points.push_back(Logged(20, 25, 50, 1));                     // flow and moisture: 6
  points.push_back(Logged(20, 15, 100, 1));                    // flow and speed: 5
  points.push_back(Logged(20, 15, 50, 1));                     // flow only: 4
  points.push_back(Logged(10, 25, 100, 1));                    // speed and moisture: 6
  points.push_back(Logged(1000, 90, 5000, 1, kEndPassDelay));  // in no statistic
  const std::int32_t count = Fill(table, points);
  const DistributionCounts counts = CheckVariableDistribution(count, table, 1.5F);
  EXPECT_EQ(Codes(count, table), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 6, 5, 4, 6, 3}));
  EXPECT_EQ(counts.GrainFlow, 1);
  EXPECT_EQ(counts.Speed, 1);
  EXPECT_EQ(counts.Moisture, 2);
}

TEST(Distribution, ZScoreIsRoundedToSinglePrecisionBeforeTheTest) {
  // Two flows give z = sqrt(0.5) = 0.70710678118... for both; in single precision that is
  // 0.70710677, which equals the threshold and so stays.
  const std::vector<YieldPoint> points = {Logged(10, 15, 50, 1), Logged(20, 15, 50, 1)};
  const auto threshold = static_cast<float>(std::sqrt(0.5));
  EXPECT_EQ(DistributionCodes(points, threshold), (std::vector<int>{0, 0}));
  EXPECT_EQ(DistributionCodes(points, std::nextafter(threshold, 0.0F)), (std::vector<int>{4, 4}));
}

TEST(Distribution, ZeroIntervalLeavesOnlyTheSpeedStatistics) {
  // Speeds 40, 40, 40, 80 give mean 50 and StdDev 20, so z(80) is exactly 1.5; the two
  // zero-interval points would change that if they took part. They still take part in flow and
  // moisture (z 2.04 each; without them the StdDev would be 0).
  const std::vector<YieldPoint> points = {Logged(10, 15, 40, 1),  Logged(10, 15, 40, 1),
                                          Logged(10, 15, 40, 1),  Logged(10, 15, 80, 1),
                                          Logged(20, 15, 300, 0), Logged(10, 25, 0, 0)};
  EXPECT_EQ(DistributionCodes(points, 1.5F), (std::vector<int>{0, 0, 0, 0, 4, 6}));
  EXPECT_EQ(DistributionCodes(points, std::nextafter(1.5F, 0.0F)),
            (std::vector<int>{0, 0, 0, 5, 4, 6}));
}

TEST(Distribution, SpeedIsTheDistanceDividedByTheInterval) {
  // Distances 100 in 2 s and 150 in 3 s are the usual 50 in/s; 50 in 2 s is the one slow point
  // (z 2.47 against speeds 50 x 7 and 25). Distance alone would mark 150 and keep the slow one.
  const std::vector<YieldPoint> points = {
      Logged(10, 15, 50, 1),  Logged(10, 15, 50, 1),  Logged(10, 15, 50, 1),
      Logged(10, 15, 50, 1),  Logged(10, 15, 50, 1),  Logged(10, 15, 100, 2),
      Logged(10, 15, 150, 3), Logged(10, 15, 50, 2)};
  EXPECT_EQ(DistributionCodes(points, 2.0F), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 5}));
}

TEST(Distribution, NoSpreadMarksNothingForThatVariable) {
  // Moisture and speed all equal, flow varies: a threshold of 0 marks the flows off the mean and
  // nothing for the other two. A single point has no spread anywhere, whatever the threshold.
  EXPECT_EQ(DistributionCodes({Logged(8, 15, 50, 1), Logged(10, 15, 50, 1), Logged(12, 15, 50, 1),
                               Logged(10, 15, 50, 1)},
                              0.0F),
            (std::vector<int>{4, 0, 4, 0}));
  EXPECT_EQ(DistributionCodes({Logged(8, 15, 50, 1)}, -1.0F), std::vector<int>{0});
}

YieldPoint InBlock(std::int16_t block) {
  YieldPoint p;
  p.Block = block;
  return p;
}

TEST(SortByBlocks, LeavesTheOrderOfItsSwaps) {
  PointTable table;
  // IDs 1..7 with blocks 2, 10, 1, 0, 1, 2, 1. By hand:
  //   block 0: swap 1,4       -> 4 2 3 1 5 6 7
  //   block 1: swap 2,3; 3,5; 4,7 -> 4 3 2 1 5 6 7 -> 4 3 5 1 2 6 7 -> 4 3 5 7 2 6 1
  //   block 2: swap 5,6; 6,7  -> 4 3 5 7 6 2 1 -> 4 3 5 7 6 1 2
  // Point 2 (block 10) is never placed. A stable sort would put 1 before 6.
  std::int32_t count = Fill(
      table, {InBlock(2), InBlock(10), InBlock(1), InBlock(0), InBlock(1), InBlock(2), InBlock(1)});
  SortByBlocks(count, table);
  std::vector<int> ids;
  for (std::int32_t i = 1; i <= count; ++i) ids.push_back(table[i].ID);
  EXPECT_EQ(ids, (std::vector<int>{4, 3, 5, 7, 6, 1, 2}));

  // A grouped table, and the positions beyond the count, stay as they are.
  count = Fill(table, {InBlock(0), InBlock(0), InBlock(1), InBlock(3), InBlock(3), InBlock(9)});
  table[count + 1] = InBlock(0);
  table[count + 1].ID = 99;
  const PointTable before = table;
  SortByBlocks(count, table);
  EXPECT_TRUE(table.records == before.records);
}

/// The straightforward restore: one search per misplaced position.
void QuadraticRestore(const std::int32_t& count, PointTable& table) {
  for (std::int32_t i = 1; i <= count; ++i) {
    if (table[i].ID == i) continue;
    for (std::int32_t j = i; j <= count; ++j) {
      if (table[j].ID == i) {
        std::swap(table[i], table[j]);
        break;
      }
    }
  }
}

/// A table of `count` points with every field telling them apart.
std::int32_t RandomField(PointTable& table, std::int32_t count, std::mt19937& random) {
  std::vector<YieldPoint> points(static_cast<std::size_t>(count));
  for (std::size_t k = 0; k < points.size(); ++k) {
    YieldPoint& p = points[k];
    p.Block = static_cast<std::int16_t>(random() % 11);
    p.RemovalCode = static_cast<std::int16_t>(random() % 13);
    p.Yield = static_cast<float>(random() % 30000) / 100.0F;
    p.GPSTime = static_cast<std::int32_t>(random());
    p.SerialNo = std::to_string(k * 7);
    p.LoadNo = std::to_string(random());
  }
  return Fill(table, points);
}

TEST(RestoreInputOrder, UndoesSortByBlocksWithEveryField) {
  std::mt19937 random(7);
  PointTable table;
  const std::int32_t count = RandomField(table, 500, random);
  PointTable expected = table;
  SortByBlocks(count, table);
  // Codes set while the table is regrouped travel with their points.
  for (std::int32_t i = 1; i <= count; i += 3) {
    table[i].RemovalCode = kCoLocated;
    expected[table[i].ID].RemovalCode = kCoLocated;
  }
  RestoreInputOrder(count, table);
  EXPECT_TRUE(table.records == expected.records);
}

TEST(RestoreInputOrder, LeavesWhatTheQuadraticSearchLeaves) {
  std::mt19937 random(11);
  for (const std::int32_t count : {0, 1, 2, 3, 10, 257, 1000}) {
    PointTable table;
    RandomField(table, count, random);
    std::vector<std::int32_t> ids(static_cast<std::size_t>(count));
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), random);
    for (std::int32_t i = 1; i <= count; ++i) table[i].ID = ids[static_cast<std::size_t>(i - 1)];
    PointTable oracle = table;
    QuadraticRestore(count, oracle);
    RestoreInputOrder(count, table);
    EXPECT_TRUE(table.records == oracle.records) << "count " << count;
  }
}

TEST(RestoreInputOrder, RefusesIdsThatAreNotOneToCount) {
  for (const std::vector<std::int32_t>& ids :
       std::vector<std::vector<std::int32_t>>{{2, 2, 1}, {3, 0, 1}, {2, 4, 1}, {-1, 2, 3}}) {
    PointTable table;
    const std::int32_t count = Fill(table, {InBlock(0), InBlock(1), InBlock(2)});
    for (std::int32_t i = 1; i <= count; ++i) table[i].ID = ids[static_cast<std::size_t>(i - 1)];
    const PointTable before = table;
    EXPECT_THROW(RestoreInputOrder(count, table), RunError);
    EXPECT_TRUE(table.records == before.records);
  }
  PointTable table;
  const std::int32_t count = Fill(table, {InBlock(0), InBlock(0)});
  table[2].ID = 1;
  try {
    RestoreInputOrder(count, table);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(),
                 "Position 2 holds ID 1, which another point also holds: the table's file order "
                 "cannot be restored.");
  }
}

}  // namespace
}  // namespace tarvik

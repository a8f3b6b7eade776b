// The screening checks on small hand-built tables.
#include "checks/screening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "checks/distribution.h"
#include "core/errors.h"
#include "core/point_table.h"
#include "core/removal_codes.h"
#include "support/recording_progress.h"
#include "support/tables.h"

namespace tarvik {
namespace {

using testing::Codes;
using testing::Fill;
using testing::RecordingProgress;
using testing::Trace;

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

}  // namespace
}  // namespace tarvik

// The distribution check and the sample statistics it takes, on small
// hand-built tables.
#include "checks/distribution.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "checks/basic_statistics.h"
#include "core/point_table.h"
#include "core/removal_codes.h"
#include "support/tables.h"

namespace tarvik {
namespace {

using testing::Codes;
using testing::Fill;

/// One retained point with these readings.
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
      Logged(10, 15, 50, 1), Logged(10, 15, 50, 1),  Logged(10, 15, 50, 1),  Logged(10, 15, 50, 1),
      Logged(10, 15, 50, 1), Logged(10, 15, 100, 2), Logged(10, 15, 150, 3), Logged(10, 15, 50, 2)};
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

}  // namespace
}  // namespace tarvik

// The figures of a finished run: counts and shares per code, yield
// statistics, the shared histogram and the CSV file.
#include "run/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "core/removal_codes.h"

namespace tarvik {
namespace {

struct Reading {
  std::int16_t code;
  float yield;
  std::int16_t distance = 60;  // 0: no area covered
};

std::int32_t Fill(PointTable& table, const std::vector<Reading>& readings) {
  std::int32_t count = 0;
  for (const Reading& r : readings) {
    YieldPoint& p = table[++count];
    p.ID = count;
    p.RemovalCode = r.code;
    p.Yield = r.yield;
    p.Swath = 360;
    p.Distance = r.distance;
  }
  return count;
}

TEST(RunSummaryTest, CountsSharesAndStatisticsOfAHandMadeTable) {
  PointTable table;
  const std::int32_t count = Fill(table, {{kRetained, 10},
                                          {kRetained, 20},
                                          {kRetained, 30},
                                          {kRetained, 40},
                                          {kHeaderUp, 100},
                                          {kBelowMinimumYield, 0, 0}});
  ConvertedSettings settings;
  settings.LowerLimit = 1.5f;
  const RunSummary s = SummariseRun(count, table, settings);

  EXPECT_EQ(s.PointsRead, 6);
  EXPECT_EQ(s.Retained, 4);
  EXPECT_EQ(s.Removed, 2);
  EXPECT_DOUBLE_EQ(s.RetainedPercent, 400.0 / 6);
  EXPECT_DOUBLE_EQ(s.RemovedPercent, 200.0 / 6);
  ASSERT_EQ(s.Codes.size(), 12u);
  for (const CodeRow& row : s.Codes) {
    const std::int32_t expected = row.Code == kHeaderUp || row.Code == kBelowMinimumYield;
    EXPECT_EQ(row.Count, expected) << row.Rule;
    EXPECT_DOUBLE_EQ(row.Percent, expected * 100.0 / 6) << row.Rule;
  }
  EXPECT_EQ(s.Settings.LowerLimit, 1.5f);

  // The point without area is left out of "all"; five remain, an odd count.
  EXPECT_EQ(s.AllYields.Count, 5);
  EXPECT_DOUBLE_EQ(s.AllYields.Mean, 40);
  EXPECT_DOUBLE_EQ(s.AllYields.SD, std::sqrt(5000.0 / 4));
  EXPECT_DOUBLE_EQ(*s.AllYields.CV, 100 * std::sqrt(5000.0 / 4) / 40);
  EXPECT_EQ(s.AllYields.Minimum, 10);
  EXPECT_EQ(s.AllYields.Median, 30);
  EXPECT_EQ(s.AllYields.Maximum, 100);
  // Four retained: the median is the mean of the middle two.
  EXPECT_EQ(s.RetainedYields.Count, 4);
  EXPECT_DOUBLE_EQ(s.RetainedYields.Mean, 25);
  EXPECT_DOUBLE_EQ(s.RetainedYields.SD, std::sqrt(500.0 / 3));
  EXPECT_EQ(s.RetainedYields.Median, 25);
}

TEST(RunSummaryTest, RuleNamesAreThoseOfTheCodes) {
  EXPECT_EQ(RuleName(kRetained), nullptr);
  EXPECT_STREQ(RuleName(kHeaderUp), "Header status");
  EXPECT_STREQ(RuleName(kAboveNeighbours), "Above neighbourhood band");
  EXPECT_STREQ(RuleName(kShortSegment), "Too few points in segment");
  EXPECT_STREQ(RuleName(kCoLocated), "Co-located");
  EXPECT_STREQ(RuleName(kNoFlowAfterDelay), "No flow after delay");
  EXPECT_EQ(RuleName(kCodeCount), nullptr);
  EXPECT_EQ(RuleName(-1), nullptr);
}

TEST(RunSummaryTest, NoRetainedPointAndNoPointAtAll) {
  PointTable table;
  const std::int32_t count = Fill(table, {{kHeaderUp, 50}, {kCoLocated, 70}});
  const RunSummary s = SummariseRun(count, table, {});
  EXPECT_EQ(s.Retained, 0);
  EXPECT_EQ(s.RetainedPercent, 0);
  EXPECT_EQ(s.RemovedPercent, 100);
  EXPECT_EQ(s.RetainedYields.Count, 0);
  EXPECT_FALSE(s.RetainedYields.CV);
  EXPECT_EQ(s.AllYields.Count, 2);
  EXPECT_EQ(s.AllYields.Median, 60);
  EXPECT_EQ(std::accumulate(s.Histogram.All.begin(), s.Histogram.All.end(), 0) +
                s.Histogram.AllBelow + s.Histogram.AllAbove,
            2);
  EXPECT_EQ(std::accumulate(s.Histogram.Retained.begin(), s.Histogram.Retained.end(), 0), 0);
  const std::string csv = SummaryCsv(s, "empty.txt");
  EXPECT_NE(csv.find("Retained points,0,,,,,,\r\n"), std::string::npos) << csv;

  const RunSummary none = SummariseRun(0, PointTable(), {});
  EXPECT_EQ(none.PointsRead, 0);
  EXPECT_EQ(none.RetainedPercent, 0);
  EXPECT_TRUE(none.Histogram.Edges.empty());
  EXPECT_EQ(none.Codes.size(), 12u);
}

TEST(YieldStatisticsTest, MedianOfOddAndEvenCountsAndAZeroMean) {
  EXPECT_EQ(DescribeYields({3, 1, 2}).Median, 2);
  EXPECT_EQ(DescribeYields({4, 1, 3, 2}).Median, 2.5);
  const YieldStatistics one = DescribeYields({7});
  EXPECT_EQ(one.Median, 7);
  EXPECT_EQ(one.SD, 0);
  EXPECT_EQ(*one.CV, 0);
  EXPECT_FALSE(DescribeYields({-1, 1}).CV);
  EXPECT_EQ(Percentile({10, 20, 30, 40, 100}, 0.99), 97.6);
  EXPECT_EQ(Percentile({}, 0.5), 0);
}

TEST(YieldHistogramTest, SharedRoundBinsWithWildReadingsBeyondThem) {
  const YieldHistogram h = BuildHistogram({10, 20, 30, 40, 100}, {10, 20, 30, 40}, 20);
  // The 1st to 99th percentile, 10 to 97.6, in bins of a round width.
  ASSERT_EQ(h.Edges.size(), 19u);
  EXPECT_EQ(h.Edges.front(), 10);
  EXPECT_EQ(h.Edges[1], 15);
  EXPECT_EQ(h.Edges.back(), 100);
  const std::vector<std::int32_t> expected = {1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(h.All, expected);
  EXPECT_EQ(h.Retained, expected);
  EXPECT_EQ(h.AllBelow, 0);
  EXPECT_EQ(h.AllAbove, 1);

  // One value: one bin that holds it.
  const YieldHistogram single = BuildHistogram({55}, {55}, 20);
  ASSERT_EQ(single.All.size(), 1u);
  EXPECT_EQ(single.All[0], 1);
  EXPECT_LE(single.Edges[0], 55);
  EXPECT_GT(single.Edges[1], 55);

  // A retained yield beyond the percentiles widens the bins to hold it.
  std::vector<double> all(200, 50.0);
  all.push_back(500);
  const YieldHistogram widened = BuildHistogram(all, {50, 500}, 20);
  EXPECT_EQ(widened.AllAbove, 0);
  EXPECT_EQ(std::accumulate(widened.Retained.begin(), widened.Retained.end(), 0), 2);
}

TEST(SummaryCsvTest, SectionsInOrderWithQuotedPath) {
  PointTable table;
  const std::int32_t count = Fill(table, {{kRetained, 10}, {kHeaderUp, 20}});
  const std::string csv = SummaryCsv(SummariseRun(count, table, {}), "a,b.txt");
  EXPECT_EQ(csv.rfind("Input file,\"a,b.txt\"\r\nPoints,Count,Percent\r\nRead,2,100.00\r\n"
                      "Retained,1,50.00\r\nRemoved,1,50.00\r\n",
                      0),
            0u)
      << csv;
  EXPECT_NE(csv.find("\r\n1,Header status,1,50.00\r\n"), std::string::npos);
  EXPECT_NE(csv.find("\r\nRetained points,1,10.00,0.00,0.00,10.00,10.00,10.00\r\n"),
            std::string::npos);
  EXPECT_NE(csv.find("\r\nSetting,Value\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tarvik

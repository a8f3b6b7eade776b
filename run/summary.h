// What a finished run removed and why, and the yields before and after, for
// people: the figures behind the results window, its CSV file and the JSON
// summary of tarvik-clean.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/point_table.h"
#include "run/run.h"

namespace tarvik {

/// One removal code's share of the points read.
struct CodeRow {
  int Code = 0;            // removal code, 1..kCodeCount-1
  std::string Rule;        // RuleName(Code)
  std::int32_t Count = 0;  // points removed by the rule
  double Percent = 0;      // of the points read, 0..100
};

/// Yield figures of one set of points, bu/ac. With Count 0 the others are 0.
struct YieldStatistics {
  std::int32_t Count = 0;
  double Mean = 0;
  double SD = 0;             // sample standard deviation (n - 1); 0 for one point
  std::optional<double> CV;  // SD / Mean in percent; none when the mean is 0
  double Minimum = 0;
  double Median = 0;  // the middle value, or the mean of the two middle values
  double Maximum = 0;
};

/// Yield counts on equal bins shared by all points and the retained ones.
struct YieldHistogram {
  std::vector<double> Edges;      // bin edges, bu/ac, ascending; one more than bins
  std::vector<std::int32_t> All;  // points of positive area per bin
  std::vector<std::int32_t> Retained;
  std::int32_t AllBelow = 0;  // points of positive area below the first edge
  std::int32_t AllAbove = 0;  // and above the last
};

/// Everything a finished run gives to see at a glance.
struct RunSummary {
  std::int32_t PointsRead = 0;
  std::int32_t Retained = 0;
  double RetainedPercent = 0;  // of the points read
  std::int32_t Removed = 0;
  double RemovedPercent = 0;
  std::vector<CodeRow> Codes;  // one row per named removal code, in code order
  YieldStatistics AllYields;   // points with a positive area (swath and distance above 0)
  YieldStatistics RetainedYields;
  YieldHistogram Histogram;
  ConvertedSettings Settings;  // the run's settings as converted
  DelayOutcome Delay;          // what the flow and moisture delays did
};

/// Bins of the histogram.
inline constexpr int kHistogramBins = 20;

/// The summary of the table a finished run left: positions 1..count.
RunSummary SummariseRun(const std::int32_t& count, const PointTable& table,
                        const ConvertedSettings& settings, const DelayOutcome& delay = {});

/// Count, mean, SD, CV, minimum, median and maximum of `yields`.
YieldStatistics DescribeYields(std::vector<double> yields);

/// The value below which `fraction` (0..1) of the sorted `values` lie, by
/// linear interpolation between the closest ranks; 0 when there are none.
double Percentile(const std::vector<double>& sorted, double fraction);

/// Bins from the 1st to the 99th percentile of `all` (widened to hold every
/// retained yield), so that a few wild readings do not squeeze the rest into
/// one bin; those beyond count as below or above.
YieldHistogram BuildHistogram(const std::vector<double>& all, const std::vector<double>& retained,
                              int bins = kHistogramBins);

/// The summary as CSV (comma separated, full stop, CR LF): the counts, one
/// row per code, the yield statistics, the histogram and the settings.
std::string SummaryCsv(const RunSummary& summary, const std::string& inputFile);

}  // namespace tarvik

#include "checks/distribution.h"

#include <cmath>
#include <span>
#include <vector>

#include "checks/basic_statistics.h"
#include "core/removal_codes.h"

namespace tarvik {

namespace {

/// Ground speed in inches per second.
double Speed(const YieldPoint& point) {
  return static_cast<double>(point.Distance) / static_cast<double>(point.GPSInterval);
}

/// Whether `value` lies more than `threshold` standard deviations from the
/// mean. The z-score is rounded to single precision before the comparison; a
/// variable without spread (StdDev 0) marks nothing.
bool IsOutlier(double value, const SampleStats& stats, float threshold) {
  if (stats.StdDev == 0) return false;
  const auto z = static_cast<float>(std::fabs(value - stats.Mean) / stats.StdDev);
  return z > threshold;
}

}  // namespace

DistributionCounts CheckVariableDistribution(const std::int32_t& count, PointTable& table,
                                             const float& sdOutlier, Progress& progress) {
  ProgressScope stage(progress, "Checking Variable Distribution ...", count);
  const std::int32_t last = count;
  const std::size_t room = last > 0 ? static_cast<std::size_t>(last) : 0;
  std::vector<double> speeds;
  std::vector<double> moistures;
  std::vector<double> flows;
  speeds.reserve(room);
  moistures.reserve(room);
  flows.reserve(room);

  // Gathering pass over the retained points. A point logged with a zero
  // interval has no speed: it stays out of the speed array only.
  for (std::int32_t i = 1; i <= last; ++i) {
    stage.SetValue(i);
    const YieldPoint& point = table[i];
    if (point.RemovalCode != kRetained) continue;
    if (point.GPSInterval != 0) speeds.push_back(Speed(point));
    moistures.push_back(point.Moisture);
    flows.push_back(point.GrainFlow);
  }

  const auto size = [](const std::vector<double>& v) {
    return static_cast<std::int32_t>(v.size());
  };
  const SampleStats speed = ComputeSampleStats(size(speeds), std::span<const double>(speeds));
  const SampleStats moisture =
      ComputeSampleStats(size(moistures), std::span<const double>(moistures));
  const SampleStats flow = ComputeSampleStats(size(flows), std::span<const double>(flows));

  // Testing pass: every test applies to a point retained when its testing
  // began, so the last failed test decides its code.
  DistributionCounts counts;
  for (std::int32_t i = 1; i <= last; ++i) {
    YieldPoint& point = table[i];
    if (point.RemovalCode != kRetained) continue;
    if (IsOutlier(point.GrainFlow, flow, sdOutlier)) point.RemovalCode = kGrainFlowOutlier;
    if (point.GPSInterval != 0 && IsOutlier(Speed(point), speed, sdOutlier)) {
      point.RemovalCode = kSpeedOutlier;
    }
    if (IsOutlier(point.Moisture, moisture, sdOutlier)) point.RemovalCode = kMoistureOutlier;
    if (point.RemovalCode == kGrainFlowOutlier) ++counts.GrainFlow;
    if (point.RemovalCode == kSpeedOutlier) ++counts.Speed;
    if (point.RemovalCode == kMoistureOutlier) ++counts.Moisture;
  }
  return counts;
}

}  // namespace tarvik

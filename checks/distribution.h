// Grain flow, speed and moisture outliers against the field's distribution.
#pragma once

#include <cstdint>

#include "core/point_table.h"
#include "core/progress.h"

namespace tarvik {

/// How many points each test of the distribution check marked last.
struct DistributionCounts {
  std::int32_t GrainFlow = 0;  // code 4
  std::int32_t Speed = 0;      // code 5
  std::int32_t Moisture = 0;   // code 6
};

/// Codes 4, 5, 6: retained points more than `sdOutlier` standard deviations
/// from the mean grain flow, speed or moisture; the last failed test wins.
DistributionCounts CheckVariableDistribution(const std::int32_t& count, PointTable& table,
                                             const float& sdOutlier,
                                             Progress& progress = NoProgress());

}  // namespace tarvik

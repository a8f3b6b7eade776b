// Dry yield of every point from grain flow, area and moisture.
#pragma once

#include <cstdint>

#include "core/point_table.h"

namespace tarvik {

/// Fills Yield (bu/ac at `targetMoisture`) for positions 1..count.
/// Throws RunError on a division by zero (test weight 0 with a non-zero
/// area, target moisture 100) or a yield beyond the float range.
void ComputeYield(const std::int32_t& count, PointTable& table, const float& targetMoisture,
                  const float& testWeight);

}  // namespace tarvik

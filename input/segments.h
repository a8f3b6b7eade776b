// Splitting the points into segments (passes).
#pragma once

#include <cstdint>

#include "core/point_table.h"

namespace tarvik {

/// Largest GPS time step, in seconds, that stays within one segment.
inline constexpr std::int32_t kMaxTimeStepInSegment = 6;

/// Sets ID, Segment and PointInSegment of positions 1..count (file order).
/// Throws RunError when a 16-bit counter or a time difference overflows.
void NumberSegments(const std::int32_t& count, PointTable& table);

}  // namespace tarvik

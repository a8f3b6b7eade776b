// Removal rules that look at one point and its pass: header status, pass
// delays, yield limits and the minimum size of a segment.
#pragma once

#include <cstdint>

#include "core/point_table.h"
#include "core/progress.h"

namespace tarvik {

/// Code 1: every point logged with HeaderStatus 1. Returns the count marked.
std::int32_t CheckHeaderStatus(const std::int32_t& count, PointTable& table,
                               Progress& progress = NoProgress());

/// Code 2: retained points less than `startPassDelay` s after the first
/// retained point of their segment. Returns the count marked.
std::int32_t CheckStartPassDelay(const std::int32_t& count, PointTable& table,
                                 const std::int16_t& startPassDelay,
                                 Progress& progress = NoProgress());

/// Code 3: retained points less than `endPassDelay` s before the last
/// retained point of their segment. Returns the count marked.
std::int32_t CheckEndPassDelay(const std::int32_t& count, PointTable& table,
                               const std::int16_t& endPassDelay, Progress& progress = NoProgress());

/// Code 7: retained points whose Yield is below `lowerLimit`.
std::int32_t CheckMinimumYield(const std::int32_t& count, PointTable& table,
                               const float& lowerLimit, Progress& progress = NoProgress());

/// Code 8: retained points whose Yield is above `upperLimit`. Shows no progress.
std::int32_t CheckMaximumYield(const std::int32_t& count, PointTable& table,
                               const float& upperLimit);

/// Code 11: the retained points of every segment that keeps fewer than
/// `minimumPoints` retained points. Shows no progress. Returns the count marked.
std::int32_t CheckValidSegments(const std::int32_t& count, PointTable& table,
                                const std::int16_t& minimumPoints);

}  // namespace tarvik

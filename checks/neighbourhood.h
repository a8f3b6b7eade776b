// Yield against an inverse-distance estimate from the oriented neighbourhood.
#pragma once

#include <cstdint>

#include "core/point_table.h"
#include "core/progress.h"

namespace tarvik {

/// Most neighbours kept for one centre point.
inline constexpr std::int16_t kMaxNeighbours = 64;

/// Codes 9 (above the band) and 10 (below it). The table must be grouped by
/// block (SortByBlocks). Adds to `highCounter` / `lowCounter` per mark.
void CheckNeighbourhood(const std::int32_t& count, PointTable& table, std::int32_t& highCounter,
                        std::int32_t& lowCounter, const float& searchX, const float& searchY,
                        const float& searchSD, Progress& progress = NoProgress());

}  // namespace tarvik

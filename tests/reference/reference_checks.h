// The neighbourhood and co-located checks written step by step as their
// rules read, scanning the table position by position. They are slow on
// purpose: the engine's checks must leave exactly the table these leave.
#pragma once

#include <cstdint>

#include "core/point_table.h"
#include "core/progress.h"

namespace tarvik::reference {

/// Codes 9 and 10, as checks/neighbourhood.h describes them.
void CheckNeighbourhood(const std::int32_t& count, PointTable& table, std::int32_t& highCounter,
                        std::int32_t& lowCounter, const float& searchX, const float& searchY,
                        const float& searchSD, Progress& progress = NoProgress());

/// Code 12, as checks/colocated.h describes it.
void CheckCoLocatedPoints(const std::int32_t& count, PointTable& table,
                          std::int32_t& duplicateCounter, Progress& progress = NoProgress());

}  // namespace tarvik::reference

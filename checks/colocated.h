// Points logged at the same whole-metre position.
#pragma once

#include <cstdint>

#include "core/point_table.h"
#include "core/progress.h"

namespace tarvik {

/// Code 12: every retained point sharing Easting and Northing with another
/// retained point. The table must be grouped by block. Adds 1 to
/// `duplicateCounter` per partner marked (not per centre).
void CheckCoLocatedPoints(const std::int32_t& count, PointTable& table,
                          std::int32_t& duplicateCounter, Progress& progress = NoProgress());

}  // namespace tarvik

// Field extent and the 3 by 3 block grid with its buffer bands.
#pragma once

#include <cstdint>

#include "core/point_table.h"

namespace tarvik {

/// Bounding box of the points in metres, widened by 1 m on each side by Run.
struct FieldExtent {
  std::int32_t MinEasting = 10000000;
  std::int32_t MaxEasting = 0;
  std::int32_t MinNorthing = 10000000;
  std::int32_t MaxNorthing = 0;
};

/// Sets Block of positions 1..count: 1..9 for the grid cells (south-west to
/// north-east), 0 within `bufferHalfWidth` metres of an inner grid line.
void AssignBlocks(const std::int32_t& count, PointTable& table, const FieldExtent& extent,
                  const std::int16_t& bufferHalfWidth);

}  // namespace tarvik

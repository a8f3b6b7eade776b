// Regrouping the table by block and putting it back into file order.
#pragma once

#include <cstdint>

#include "core/point_table.h"

namespace tarvik {

/// Groups positions 1..count by Block 0, 1, ..., 9 with the ten extraction
/// passes of swaps (the resulting order within a block matters).
void SortByBlocks(const std::int32_t& count, PointTable& table);

/// Puts the point whose ID is i at position i, for i = 1..count.
void RestoreInputOrder(const std::int32_t& count, PointTable& table);

}  // namespace tarvik

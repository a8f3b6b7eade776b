#include "checks/ordering.h"

#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"

namespace tarvik {

void SortByBlocks(const std::int32_t& count, PointTable& table) {
  const std::int32_t last = count;
  // One extraction pass per block number; each pass swaps the points of its
  // block to the write position in the order it meets them, which moves the
  // points still unplaced and so decides the order within later blocks.
  std::int32_t p = 1;
  for (std::int16_t block = 0; block <= 9; ++block) {
    for (std::int32_t i = p; i <= last; ++i) {
      if (table[i].Block != block) continue;
      if (i != p) std::swap(table[p], table[i]);
      ++p;
    }
  }
}

void RestoreInputOrder(const std::int32_t& count, PointTable& table) {
  const std::int32_t last = count;
  if (last < 1) return;

  // The IDs must be 1..count, each once; otherwise the order cannot be
  // restored, and the table is left as it is.
  std::vector<bool> seen(static_cast<std::size_t>(last) + 1, false);
  for (std::int32_t i = 1; i <= last; ++i) {
    const std::int32_t id = table[i].ID;
    if (id < 1 || id > last) {
      throw RunError("Position " + std::to_string(i) + " holds ID " + std::to_string(id) +
                     ", outside 1 to " + std::to_string(last) +
                     ": the table's file order cannot be restored.");
    }
    if (seen[static_cast<std::size_t>(id)]) {
      throw RunError("Position " + std::to_string(i) + " holds ID " + std::to_string(id) +
                     ", which another point also holds: the table's file order cannot be "
                     "restored.");
    }
    seen[static_cast<std::size_t>(id)] = true;
  }

  // Follow each cycle of the permutation: every swap puts one point at the
  // position of its ID for good, so at most count - 1 swaps are made.
  for (std::int32_t i = 1; i <= last; ++i) {
    while (table[i].ID != i) {
      const std::int32_t home = table[i].ID;
      std::swap(table[i], table[home]);
    }
  }
}

}  // namespace tarvik

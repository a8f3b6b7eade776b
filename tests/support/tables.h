// Small hand-built point tables for the tests of single stages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/point_table.h"

namespace tarvik::testing {

/// Puts `points` at positions 1..n, numbering their IDs in file order.
inline std::int32_t Fill(PointTable& table, std::vector<YieldPoint> points) {
  for (std::size_t k = 0; k < points.size(); ++k) {
    points[k].ID = static_cast<std::int32_t>(k + 1);
    table.records[k + 1] = std::move(points[k]);
  }
  return static_cast<std::int32_t>(points.size());
}

/// The removal codes of positions 1..count.
inline std::vector<int> Codes(const std::int32_t& count, const PointTable& table) {
  std::vector<int> codes;
  for (std::int32_t i = 1; i <= count; ++i) codes.push_back(table[i].RemovalCode);
  return codes;
}

}  // namespace tarvik::testing

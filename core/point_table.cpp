#include "core/point_table.h"

namespace tarvik {

void RecreateTable(PointTable& table) {
  table.records.assign(static_cast<std::size_t>(kMaxPoints) + 1, YieldPoint{});
}

}  // namespace tarvik

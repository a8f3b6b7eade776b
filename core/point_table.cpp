#include "core/point_table.h"

#include "core/large_pages.h"

namespace tarvik {

PointTable::PointTable() {
  constexpr auto kPositions = static_cast<std::size_t>(kMaxPoints) + 1;
  records.reserve(kPositions);
  // 13 MB of records, first written just below.
  AdviseLargePages(records.data(), kPositions * sizeof(YieldPoint));
  records.resize(kPositions);
}

void RecreateTable(PointTable& table) {
  table.records.assign(static_cast<std::size_t>(kMaxPoints) + 1, YieldPoint{});
}

}  // namespace tarvik

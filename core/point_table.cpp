#include "core/point_table.h"

#ifdef __linux__
#include <sys/mman.h>

#include <cstdint>
#endif

namespace tarvik {

PointTable::PointTable() {
  constexpr auto kPositions = static_cast<std::size_t>(kMaxPoints) + 1;
  records.reserve(kPositions);
#ifdef __linux__
  // The 13 MB of records are better held in large pages where the system
  // offers them: a few hundred page faults when they are first written
  // rather than thousands. Only a hint; nothing changes when it is not taken.
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = reinterpret_cast<std::uintptr_t>(records.data());
  const auto end = begin + kPositions * sizeof(YieldPoint);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  if (end > first) {
    ::madvise(reinterpret_cast<void*>(first), (end - first) & ~(kPage - 1), MADV_HUGEPAGE);
  }
#endif
  records.resize(kPositions);
}

void RecreateTable(PointTable& table) {
  table.records.assign(static_cast<std::size_t>(kMaxPoints) + 1, YieldPoint{});
}

}  // namespace tarvik

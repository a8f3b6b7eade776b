#include "core/large_pages.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#include <cstdint>

namespace tarvik {

void AdviseLargePages(const void* data, std::size_t bytes) {
#ifdef __linux__
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (begin + bytes) & ~(kPage - 1);
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)data, (void)bytes;
#endif
}

}  // namespace tarvik

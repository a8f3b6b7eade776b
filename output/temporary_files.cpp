#include "output/temporary_files.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace tarvik {

namespace {

/// One file per slot; enough for every job of the command line at once.
constexpr int kSlots = 128;

enum SlotState : int { kFree, kFilling, kInUse };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX] = {};
};

std::array<Slot, kSlots> slots;

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

}  // namespace

int RememberTemporaryFile(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = slots[static_cast<std::size_t>(i)];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.state.store(kInUse);
    return i;
  }
  return -1;
}

void ForgetTemporaryFile(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  Slot& s = slots[static_cast<std::size_t>(slot)];
  // Filling again keeps a handler off the path while it is cleared.
  s.state.store(kFilling);
  s.path[0] = '\0';
  s.state.store(kFree);
}

void RemoveTemporaryFiles() noexcept {
  for (Slot& slot : slots) {
    if (slot.state.load() == kInUse) ::unlink(slot.path);
  }
}

}  // namespace tarvik

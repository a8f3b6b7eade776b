// Checks of the table at the boundaries of the run's stages, in debug builds
// only: a stage that breaks what the later ones rely on stops the program
// there, under any test, instead of shifting results quietly. In release
// builds (NDEBUG) every call is empty.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/point_table.h"

namespace tarvik {

class StageChecks {
 public:
  /// After `stage`: the IDs are 1..count, at their own positions when
  /// `fileOrder`, and no point that had a code is back at 0.
  void After([[maybe_unused]] const char* stage, [[maybe_unused]] const std::int32_t& count,
             [[maybe_unused]] const PointTable& table, [[maybe_unused]] bool fileOrder) {
#ifndef NDEBUG
    codes_.resize(static_cast<std::size_t>(count > 0 ? count : 0) + 1, 0);
    std::vector<bool> seen(codes_.size(), false);
    for (std::int32_t i = 1; i <= count; ++i) {
      const YieldPoint& point = table[i];
      if (point.ID < 1 || point.ID > count || seen[static_cast<std::size_t>(point.ID)]) {
        Fail(stage, "the IDs are no longer 1 to the count", i);
      }
      if (fileOrder && point.ID != i) Fail(stage, "the file order was not restored", i);
      seen[static_cast<std::size_t>(point.ID)] = true;
      std::int16_t& code = codes_[static_cast<std::size_t>(point.ID)];
      if (code != 0 && point.RemovalCode == 0) Fail(stage, "a code was set back to 0", i);
      code = point.RemovalCode;
    }
#endif
  }

 private:
#ifndef NDEBUG
  [[noreturn]] static void Fail(const char* stage, const char* what, std::int32_t position) {
    std::fprintf(stderr, "After %s: %s (position %ld).\n", stage, what,
                 static_cast<long>(position));
    std::abort();
  }

  std::vector<std::int16_t> codes_;  // by ID, as the last check saw them
#endif
};

}  // namespace tarvik

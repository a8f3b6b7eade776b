#include "input/segments.h"

#include <cstdlib>
#include <limits>
#include <string>

#include "core/errors.h"

namespace tarvik {

namespace {

constexpr std::int32_t kMaxCounter = std::numeric_limits<std::int16_t>::max();

}  // namespace

void NumberSegments(const std::int32_t& count, PointTable& table) {
  std::int32_t segment = 0;
  std::int32_t pointInSegment = 0;
  std::int16_t lastStatus = 0;
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& point = table[i];
    bool newSegment = false;
    if (i == 1) {
      segment = 1;
      pointInSegment = 1;
    } else if (point.HeaderStatus != lastStatus) {
      newSegment = true;
    } else {
      // The difference of two 32-bit times may itself need more than 32 bits.
      const std::int64_t step = std::int64_t{point.GPSTime} - std::int64_t{table[i - 1].GPSTime};
      const std::int64_t gap = std::llabs(step);
      if (gap > std::numeric_limits<std::int32_t>::max()) {
        StopAtPoint(i, "the GPS time step from " + std::to_string(table[i - 1].GPSTime) + " to " +
                           std::to_string(point.GPSTime) + " is beyond the 32-bit range.");
      }
      newSegment = gap > kMaxTimeStepInSegment;
    }

    if (newSegment) {
      if (segment == kMaxCounter) StopAtPoint(i, "more than 32767 segments.");
      ++segment;
      pointInSegment = 1;
    } else if (i != 1) {
      if (pointInSegment == kMaxCounter) {
        StopAtPoint(i, "segment " + std::to_string(segment) + " has more than 32767 points.");
      }
      ++pointInSegment;
    }

    point.ID = i;
    point.Segment = static_cast<std::int16_t>(segment);
    point.PointInSegment = static_cast<std::int16_t>(pointInSegment);
    lastStatus = point.HeaderStatus;
  }
}

}  // namespace tarvik

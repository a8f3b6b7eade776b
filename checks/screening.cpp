#include "checks/screening.h"

#include <limits>
#include <string>

#include "core/errors.h"
#include "core/removal_codes.h"

namespace tarvik {

namespace {

/// later - earlier as a 32-bit signed number of seconds; a difference beyond
/// that range stops the run.
std::int32_t SecondsBetween(std::int32_t later, std::int32_t earlier, const YieldPoint& point,
                            const char* edge) {
  const std::int64_t difference = std::int64_t{later} - earlier;
  if (difference < std::numeric_limits<std::int32_t>::min() ||
      difference > std::numeric_limits<std::int32_t>::max()) {
    throw RunError("Point " + std::to_string(point.ID) + " of segment " +
                   std::to_string(point.Segment) + ": the time between it and the " + edge +
                   " of its segment is beyond the 32-bit range of seconds.");
  }
  return static_cast<std::int32_t>(difference);
}

}  // namespace

std::int32_t CheckHeaderStatus(const std::int32_t& count, PointTable& table, Progress& progress) {
  ProgressScope stage(progress, "Checking Header Status ...", count);
  const std::int32_t last = count;
  std::int32_t marked = 0;
  for (std::int32_t i = 1; i <= last; ++i) {
    stage.SetValue(i);
    YieldPoint& point = table[i];
    if (point.HeaderStatus == 1) {
      point.RemovalCode = kHeaderUp;
      ++marked;
    }
  }
  return marked;
}

std::int32_t CheckStartPassDelay(const std::int32_t& count, PointTable& table,
                                 const std::int16_t& startPassDelay, Progress& progress) {
  ProgressScope stage(progress, "Checking Start Pass Delay ...", count);
  const std::int32_t last = count;
  const std::int32_t delay = startPassDelay;
  std::int16_t segment = 0;  // segment numbers start at 1, so the first retained point opens one
  std::int32_t startTime = 0;
  std::int32_t marked = 0;
  for (std::int32_t i = 1; i <= last; ++i) {
    stage.SetValue(i);
    YieldPoint& point = table[i];
    if (point.RemovalCode != kRetained) continue;
    if (point.Segment != segment) {
      startTime = point.GPSTime;
      segment = point.Segment;
    }
    if (SecondsBetween(point.GPSTime, startTime, point, "start") < delay) {
      point.RemovalCode = kStartPassDelay;
      ++marked;
    }
  }
  return marked;
}

std::int32_t CheckEndPassDelay(const std::int32_t& count, PointTable& table,
                               const std::int16_t& endPassDelay, Progress& progress) {
  ProgressScope stage(progress, "Checking End Pass Delay ...", count);
  const std::int32_t last = count;
  const std::int32_t delay = endPassDelay;
  std::int16_t segment = 0;
  std::int32_t endTime = 0;
  std::int32_t marked = 0;
  for (std::int32_t i = last; i >= 1; --i) {
    stage.SetValue(last - i);
    YieldPoint& point = table[i];
    if (point.RemovalCode != kRetained) continue;
    if (point.Segment != segment) {
      endTime = point.GPSTime;
      segment = point.Segment;
    }
    if (SecondsBetween(endTime, point.GPSTime, point, "end") < delay) {
      point.RemovalCode = kEndPassDelay;
      ++marked;
    }
  }
  return marked;
}

std::int32_t CheckMinimumYield(const std::int32_t& count, PointTable& table,
                               const float& lowerLimit, Progress& progress) {
  // The bar keeps whatever value it had: this check only shows its status.
  ProgressScope stage(progress, "Checking Data for Minimum Value ...", count);
  const std::int32_t last = count;
  std::int32_t marked = 0;
  for (std::int32_t i = 1; i <= last; ++i) {
    YieldPoint& point = table[i];
    if (point.RemovalCode == kRetained && point.Yield < lowerLimit) {
      point.RemovalCode = kBelowMinimumYield;
      ++marked;
    }
  }
  return marked;
}

std::int32_t CheckMaximumYield(const std::int32_t& count, PointTable& table,
                               const float& upperLimit) {
  const std::int32_t last = count;
  std::int32_t marked = 0;
  for (std::int32_t i = 1; i <= last; ++i) {
    YieldPoint& point = table[i];
    if (point.RemovalCode == kRetained && point.Yield > upperLimit) {
      point.RemovalCode = kAboveMaximumYield;
      ++marked;
    }
  }
  return marked;
}

std::int32_t CheckValidSegments(const std::int32_t& count, PointTable& table,
                                const std::int16_t& minimumPoints) {
  const std::int32_t last = count;
  if (last < 1) return 0;
  const std::int32_t minimum = minimumPoints;
  std::int32_t marked = 0;
  // A segment is a maximal run of neighbouring positions with one Segment
  // number; it runs from `first` up to the position before `next`.
  std::int32_t first = 1;
  while (first <= last) {
    const std::int16_t segment = table[first].Segment;
    std::int32_t retained = 0;
    std::int32_t next = first;
    while (next <= last && table[next].Segment == segment) {
      if (table[next].RemovalCode == kRetained) ++retained;
      ++next;
    }
    if (retained < minimum) {
      for (std::int32_t i = first; i < next; ++i) {
        if (table[i].RemovalCode == kRetained) {
          table[i].RemovalCode = kShortSegment;
          ++marked;
        }
      }
    }
    first = next;
  }
  return marked;
}

}  // namespace tarvik

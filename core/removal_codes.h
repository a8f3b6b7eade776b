// Codes that the checks write into YieldPoint::RemovalCode.
#pragma once

#include <cstdint>

namespace tarvik {

inline constexpr std::int16_t kRetained = 0;
inline constexpr std::int16_t kHeaderUp = 1;           // HeaderStatus 1
inline constexpr std::int16_t kStartPassDelay = 2;     // within the start delay of its segment
inline constexpr std::int16_t kEndPassDelay = 3;       // within the end delay of its segment
inline constexpr std::int16_t kGrainFlowOutlier = 4;   // grain flow outside the SD band
inline constexpr std::int16_t kSpeedOutlier = 5;       // speed outside the SD band
inline constexpr std::int16_t kMoistureOutlier = 6;    // moisture outside the SD band
inline constexpr std::int16_t kBelowMinimumYield = 7;  // yield below the lower limit
inline constexpr std::int16_t kAboveMaximumYield = 8;  // yield above the upper limit
inline constexpr std::int16_t kAboveNeighbours = 9;    // yield above the neighbourhood band
inline constexpr std::int16_t kBelowNeighbours = 10;   // yield below the neighbourhood band
inline constexpr std::int16_t kShortSegment = 11;      // segment keeps too few points
inline constexpr std::int16_t kCoLocated = 12;         // same easting and northing as another point
inline constexpr std::int16_t kNoFlowAfterDelay = 13;  // no flow logged at the delayed time

inline constexpr int kCodeCount = 14;  // codes 0..13

/// Codes a run reports: 0..12, and 13 only when a flow delay moved the flows.
inline constexpr int ReportedCodeCount(bool flowDelayed) {
  return flowDelayed ? kCodeCount : kNoFlowAfterDelay;
}

/// The name of the rule behind a removal code ("Header status", ...), as
/// summaries, maps and exports show it; null for code 0 and for codes
/// without a rule.
const char* RuleName(int code);

/// Short English name of a removal code, for summaries ("header", "start delay", ...).
const char* RemovalCodeName(int code);

}  // namespace tarvik

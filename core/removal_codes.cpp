#include "core/removal_codes.h"

#include <array>
#include <cstddef>

namespace tarvik {

namespace {

/// The rule of each removal code, indexed by code; a code without a name
/// gets no row. One line per code.
constexpr std::array<const char*, kCodeCount> kRuleNames = {
    nullptr,  // retained
    "Header status",
    "Start pass delay",
    "End pass delay",
    "Grain flow outlier",
    "Speed outlier",
    "Moisture outlier",
    "Below lower yield limit",
    "Above upper yield limit",
    "Above neighbourhood band",
    "Below neighbourhood band",
    "Too few points in segment",
    "Co-located",
    "No flow after delay",
};

}  // namespace

const char* RuleName(int code) {
  if (code < 0 || code >= static_cast<int>(kRuleNames.size())) return nullptr;
  return kRuleNames[static_cast<std::size_t>(code)];
}

const char* RemovalCodeName(int code) {
  switch (code) {
    case kRetained:
      return "retained";
    case kHeaderUp:
      return "header up";
    case kStartPassDelay:
      return "start delay";
    case kEndPassDelay:
      return "end delay";
    case kGrainFlowOutlier:
      return "flow outlier";
    case kSpeedOutlier:
      return "speed outlier";
    case kMoistureOutlier:
      return "moisture outlier";
    case kBelowMinimumYield:
      return "below minimum";
    case kAboveMaximumYield:
      return "above maximum";
    case kAboveNeighbours:
      return "above neighbours";
    case kBelowNeighbours:
      return "below neighbours";
    case kShortSegment:
      return "short segment";
    case kCoLocated:
      return "co-located";
    case kNoFlowAfterDelay:
      return "no flow after delay";
    default:
      return "unknown";
  }
}

}  // namespace tarvik

#include "core/removal_codes.h"

namespace tarvik {

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

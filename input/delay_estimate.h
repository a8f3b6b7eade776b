// Estimating the flow delay from the field itself: the delay that makes the
// yield map most coherent across neighbouring passes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/point_table.h"
#include "core/progress.h"

namespace tarvik {

/// Candidate delays are 0 to this many seconds.
inline constexpr std::int32_t kMaxEstimatedDelay = 25;

/// How the estimate is made and what its scores mean, for reports.
inline constexpr const char* kDelayMethod =
    "each candidate delay from 0 to 25 s moves the flows; each point's yield is compared with "
    "its two nearest points in neighbouring passes run the other way";
inline constexpr const char* kDelayMeasure =
    "1 - Geary's ratio of the ranks of the compared yields: 1 when neighbours agree, 0 when they "
    "are unrelated";

/// The coherence of the yield map with the flows moved by one candidate delay.
struct DelayScore {
  std::int32_t Delay = 0;  // s
  double Score = 0;        // see kDelayMeasure; higher is more coherent

  friend bool operator==(const DelayScore&, const DelayScore&) = default;
};

/// What the estimate found.
struct DelayEstimate {
  bool Clear = false;              // one delay stands out; else there is no clear delay
  std::int32_t Delay = 0;          // s: the best candidate when clear, else 0
  std::int32_t Points = 0;         // points compared
  std::int32_t Pairs = 0;          // point pairs in opposite passes compared
  std::vector<DelayScore> Scores;  // every candidate, 0..25 s in order; empty without pairs

  friend bool operator==(const DelayEstimate&, const DelayEstimate&) = default;
};

/// Estimates the flow delay of positions 1..count as the reader left them
/// (flows as logged). Points logged with the header up or within 10 s of
/// such a record, without distance, swath or interval, or without a flow at
/// every candidate delay take no part. A delay is clear when its score
/// stands above every candidate 4 s or more away and both halves of the
/// field (a checkerboard of large squares) find it within 1 s.
/// Deterministic: the same table gives the same estimate.
DelayEstimate EstimateFlowDelay(const std::int32_t& count, const PointTable& table,
                                Progress& progress = NoProgress());

}  // namespace tarvik

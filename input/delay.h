// Moving logged flows and moistures back onto the positions where the grain
// was cut: the flow sensor sees the grain some seconds after the header cut it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/point_table.h"

namespace tarvik {

/// Where the value a point takes after a delay was logged. Records are split
/// into runs of logging at every time step of more than 6 s (either way); a
/// delayed value is looked up within the point's own run only.
class DelayLookup {
 public:
  /// Indexes the GPS times of positions 1..count.
  DelayLookup(const std::int32_t& count, const PointTable& table);

  /// The position whose value point `position` takes `delay` s later: the
  /// first record, in file order, of its run logged at GPSTime + delay; else
  /// the nearest one logged within 1 s of that time (the later one on a tie,
  /// whose interval covers the missing second). 0 when there is none. A delay
  /// of 0 gives the point itself.
  std::int32_t Source(std::int32_t position, std::int32_t delay) const;

 private:
  /// First position in file order of `run` logged at `time`, or 0.
  std::int32_t FirstAt(std::size_t run, std::int64_t time) const;

  std::vector<std::int32_t> time_;     // GPSTime by position
  std::vector<std::size_t> runOf_;     // run index by position
  std::vector<std::size_t> runStart_;  // offset of each run in `byTime_`, plus the end
  std::vector<std::pair<std::int64_t, std::int32_t>> byTime_;  // (time, position) per run, sorted
};

/// Code 13: moves GrainFlow of positions 1..count `delay` s back (see
/// DelayLookup::Source). A point with no flow logged at the delayed time is
/// marked kNoFlowAfterDelay and keeps its own flow. A delay of 0 changes
/// nothing. Returns the count marked.
std::int32_t FlowDelay(const std::int32_t& count, PointTable& table, const std::int32_t& delay);

/// Moves Moisture of positions 1..count `delay` s back, as FlowDelay moves
/// the flow, but marks nothing: a point without a delayed moisture keeps its
/// own. Returns the count of points that kept their own.
std::int32_t MoistureDelay(const std::int32_t& count, PointTable& table, const std::int32_t& delay);

}  // namespace tarvik

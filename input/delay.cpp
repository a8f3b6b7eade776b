#include "input/delay.h"

#include <algorithm>
#include <cstdlib>

#include "core/removal_codes.h"
#include "input/segments.h"

namespace tarvik {

DelayLookup::DelayLookup(const std::int32_t& count, const PointTable& table) {
  const auto n = static_cast<std::size_t>(std::max(count, 0));
  time_.resize(n + 1);
  runOf_.resize(n + 1);
  byTime_.reserve(n);
  for (std::int32_t i = 1; i <= count; ++i) {
    time_[static_cast<std::size_t>(i)] = table[i].GPSTime;
    const bool gap = i == 1 || std::llabs(std::int64_t{table[i].GPSTime} - table[i - 1].GPSTime) >
                                   kMaxTimeStepInSegment;
    if (gap) runStart_.push_back(byTime_.size());
    runOf_[static_cast<std::size_t>(i)] = runStart_.size() - 1;
    byTime_.emplace_back(table[i].GPSTime, i);
  }
  runStart_.push_back(byTime_.size());
  for (std::size_t run = 0; run + 1 < runStart_.size(); ++run) {
    std::sort(byTime_.begin() + static_cast<std::ptrdiff_t>(runStart_[run]),
              byTime_.begin() + static_cast<std::ptrdiff_t>(runStart_[run + 1]));
  }
}

std::int32_t DelayLookup::FirstAt(std::size_t run, std::int64_t time) const {
  const auto first = byTime_.begin() + static_cast<std::ptrdiff_t>(runStart_[run]);
  const auto last = byTime_.begin() + static_cast<std::ptrdiff_t>(runStart_[run + 1]);
  const auto found = std::lower_bound(first, last, std::make_pair(time, std::int32_t{0}));
  return found != last && found->first == time ? found->second : 0;
}

std::int32_t DelayLookup::Source(std::int32_t position, std::int32_t delay) const {
  if (delay == 0) return position;
  const auto p = static_cast<std::size_t>(position);
  const std::size_t run = runOf_[p];
  const std::int64_t target = std::int64_t{time_[p]} + delay;
  if (const std::int32_t exact = FirstAt(run, target)) return exact;
  if (const std::int32_t later = FirstAt(run, target + 1)) return later;
  return FirstAt(run, target - 1);
}

namespace {

/// Moves one field of every point by `delay` s; `moved` gets the logged value
/// of the source. Returns the positions that have no source.
template <typename Field>
std::vector<std::int32_t> MoveField(const std::int32_t& count, PointTable& table,
                                    std::int32_t delay, Field field) {
  std::vector<std::int32_t> missing;
  if (delay == 0 || count < 1) return missing;
  const DelayLookup lookup(count, table);
  // The logged values, so that a point never reads one already moved.
  std::vector<float> logged(static_cast<std::size_t>(count) + 1);
  for (std::int32_t i = 1; i <= count; ++i) logged[static_cast<std::size_t>(i)] = table[i].*field;
  for (std::int32_t i = 1; i <= count; ++i) {
    const std::int32_t source = lookup.Source(i, delay);
    if (source == 0) {
      missing.push_back(i);
    } else {
      table[i].*field = logged[static_cast<std::size_t>(source)];
    }
  }
  return missing;
}

}  // namespace

std::int32_t FlowDelay(const std::int32_t& count, PointTable& table, const std::int32_t& delay) {
  std::int32_t marked = 0;
  for (const std::int32_t i : MoveField(count, table, delay, &YieldPoint::GrainFlow)) {
    if (table[i].RemovalCode != kRetained) continue;
    table[i].RemovalCode = kNoFlowAfterDelay;
    ++marked;
  }
  return marked;
}

std::int32_t MoistureDelay(const std::int32_t& count, PointTable& table,
                           const std::int32_t& delay) {
  return static_cast<std::int32_t>(MoveField(count, table, delay, &YieldPoint::Moisture).size());
}

}  // namespace tarvik

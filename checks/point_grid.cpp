#include "checks/point_grid.h"

#include <cmath>
#include <limits>

#include "core/removal_codes.h"

namespace tarvik {

namespace {

/// The retained points at positions 1..count, in ascending position.
std::vector<PointGrid::Entry> RetainedPoints(const PointTable& table, std::int32_t count) {
  std::vector<PointGrid::Entry> points;
  points.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    if (point.RemovalCode == kRetained) points.push_back({i, point.Easting, point.Northing});
  }
  return points;
}

}  // namespace

PointGrid::PointGrid(const PointTable& table, std::int32_t count, std::int64_t minCellSize)
    : PointGrid(RetainedPoints(table, count), minCellSize) {}

PointGrid::PointGrid(std::span<const Entry> points, std::int64_t minCellSize) {
  if (points.empty()) {
    starts_.assign(2, 0);
    return;
  }
  minEasting_ = minNorthing_ = std::numeric_limits<std::int64_t>::max();
  maxEasting_ = maxNorthing_ = std::numeric_limits<std::int64_t>::min();
  for (const Entry& point : points) {
    minEasting_ = std::min<std::int64_t>(minEasting_, point.Easting);
    maxEasting_ = std::max<std::int64_t>(maxEasting_, point.Easting);
    minNorthing_ = std::min<std::int64_t>(minNorthing_, point.Northing);
    maxNorthing_ = std::max<std::int64_t>(maxNorthing_, point.Northing);
  }

  // About one point per cell where the points are spread evenly, and never
  // many more cells than points, however long and thin the extent.
  const auto count = static_cast<std::int64_t>(points.size());
  const std::int64_t width = maxEasting_ - minEasting_ + 1;
  const std::int64_t height = maxNorthing_ - minNorthing_ + 1;
  const double even = std::ceil(std::sqrt(static_cast<double>(width) * static_cast<double>(height) /
                                          static_cast<double>(count)));
  size_ = std::max<std::int64_t>({minCellSize, static_cast<std::int64_t>(even), 1});
  size_ = std::min(size_, std::max(width, height));
  const std::int64_t cellLimit = 4 * count + 16;
  while (true) {
    columns_ = (width - 1) / size_ + 1;
    rows_ = (height - 1) / size_ + 1;
    if (columns_ * rows_ <= cellLimit) break;
    size_ *= 2;
  }

  // Counting sort by cell; positions ascend within each cell.
  const auto cells = static_cast<std::size_t>(columns_ * rows_);
  std::vector<std::int32_t> cellOf(points.size());
  starts_.assign(cells + 1, 0);
  for (std::size_t k = 0; k < points.size(); ++k) {
    const std::int64_t cell = Row(points[k].Northing) * columns_ + Column(points[k].Easting);
    cellOf[k] = static_cast<std::int32_t>(cell);
    ++starts_[static_cast<std::size_t>(cell) + 1];
  }
  for (std::size_t k = 1; k <= cells; ++k) starts_[k] += starts_[k - 1];
  entries_.resize(points.size());
  std::vector<std::int32_t> next(starts_.begin(), starts_.end() - 1);
  for (std::size_t k = 0; k < points.size(); ++k) {
    entries_[static_cast<std::size_t>(next[static_cast<std::size_t>(cellOf[k])]++)] = points[k];
  }
}

std::span<const PointGrid::Entry> PointGrid::CellAt(std::int64_t easting,
                                                    std::int64_t northing) const {
  if (entries_.empty() || easting < minEasting_ || easting > maxEasting_ ||
      northing < minNorthing_ || northing > maxNorthing_) {
    return {};
  }
  return Cell(Row(northing) * columns_ + Column(easting));
}

std::int32_t BlockScanEnd::After(const PointTable& table, std::int32_t count, std::int32_t centre) {
  const std::int32_t block = table[centre].Block;
  if (block != block_ || centre < from_ || centre >= end_) {
    block_ = block;
    from_ = centre;
    end_ = centre + 1;
  }
  while (end_ <= count && (table[end_].RemovalCode != kRetained || table[end_].Block == block_)) {
    ++end_;
  }
  return end_;
}

}  // namespace tarvik

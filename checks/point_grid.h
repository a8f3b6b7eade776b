// The one candidate search of the checks that look for points near a point:
// the retained points filed by a uniform grid of square cells.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "core/point_table.h"

namespace tarvik {

/// The points of a table that are retained when the grid is made, filed by
/// cells of whole metres. Each cell lists its points in ascending table
/// position, so a scan of a cell meets them in table order.
class PointGrid {
 public:
  struct Entry {
    std::int32_t Position;
    std::int32_t Easting;
    std::int32_t Northing;
  };

  /// Files the retained points at positions 1..count. Cells are at least
  /// `minCellSize` metres wide, and wider when the points are sparse for the
  /// extent they cover.
  PointGrid(const PointTable& table, std::int32_t count, std::int64_t minCellSize);

  /// Files the given points, which must come in ascending position.
  PointGrid(std::span<const Entry> points, std::int64_t minCellSize);

  /// Calls visit(entries) for every row of cells that can hold a point whose
  /// easting lies within `reachEast` metres of `easting` and whose northing
  /// within `reachNorth` metres of `northing`: the entries of the row's cells
  /// that cover that easting range, cell by cell from the west, each cell's
  /// in ascending position. A reach below 0 visits nothing.
  template <typename Visit>
  void ForEachRowNear(std::int64_t easting, std::int64_t northing, std::int64_t reachEast,
                      std::int64_t reachNorth, Visit&& visit) const {
    if (reachEast < 0 || reachNorth < 0 || entries_.empty()) return;
    const std::int64_t c0 = Column(easting - reachEast);
    const std::int64_t c1 = Column(easting + reachEast);
    const std::int64_t r0 = Row(northing - reachNorth);
    const std::int64_t r1 = Row(northing + reachNorth);
    for (std::int64_t r = r0; r <= r1; ++r) {
      // The cells of a row are stored one after another.
      const auto first =
          static_cast<std::size_t>(starts_[static_cast<std::size_t>(r * columns_ + c0)]);
      const auto last =
          static_cast<std::size_t>(starts_[static_cast<std::size_t>(r * columns_ + c1 + 1)]);
      if (first < last) visit(std::span<const Entry>(entries_.data() + first, last - first));
    }
  }

  /// The cell that holds (easting, northing); empty when it lies outside
  /// the grid.
  std::span<const Entry> CellAt(std::int64_t easting, std::int64_t northing) const;

  /// Width of a cell, metres.
  std::int64_t CellSize() const { return size_; }

 private:
  std::int64_t Column(std::int64_t easting) const {
    return (std::clamp(easting, minEasting_, maxEasting_) - minEasting_) / size_;
  }
  std::int64_t Row(std::int64_t northing) const {
    return (std::clamp(northing, minNorthing_, maxNorthing_) - minNorthing_) / size_;
  }
  std::span<const Entry> Cell(std::int64_t index) const {
    const auto k = static_cast<std::size_t>(index);
    return {entries_.data() + starts_[k], entries_.data() + starts_[k + 1]};
  }

  std::int64_t minEasting_ = 0;
  std::int64_t maxEasting_ = 0;
  std::int64_t minNorthing_ = 0;
  std::int64_t maxNorthing_ = 0;
  std::int64_t size_ = 1;
  std::int64_t columns_ = 1;
  std::int64_t rows_ = 1;
  std::vector<std::int32_t> starts_;  // first entry of each cell, then the end
  std::vector<Entry> entries_;
};

/// Where a centre's scan through its own block ends: at the first position
/// after the centre whose point is retained and lies in another block. The
/// table must change only by points ceasing to be retained; then a scan of
/// the centres in ascending order costs one pass over the table.
class BlockScanEnd {
 public:
  /// The end position for the centre at `centre`: a position in
  /// centre + 1 .. count, or count + 1 when the scan runs to the end.
  std::int32_t After(const PointTable& table, std::int32_t count, std::int32_t centre);

 private:
  std::int32_t block_ = -1 - 0x7FFF;  // no block holds this number
  std::int32_t from_ = 0;
  std::int32_t end_ = 0;  // positions from_ + 1 .. end_ - 1 are not retained or in block_
};

}  // namespace tarvik

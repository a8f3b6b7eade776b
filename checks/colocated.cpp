// Points logged at the same whole-metre position. Each centre looks for its
// partners only in its own cell of the point grid, among the positions that
// a scan of the buffer band and of its own block would pass.
#include "checks/colocated.h"

#include "checks/point_grid.h"
#include "core/removal_codes.h"

namespace tarvik {

void CheckCoLocatedPoints(const std::int32_t& count, PointTable& table,
                          std::int32_t& duplicateCounter, Progress& progress) {
  const std::int32_t last = count;
  ProgressScope stage(progress, "Checking co-located points, please wait...", last);

  // First position outside the buffer band, whatever its code.
  std::int32_t firstNonZero = 0;
  for (std::int32_t j = 1; j <= last; ++j) {
    if (table[j].Block > 0) {
      firstNonZero = j;
      break;
    }
  }

  const PointGrid grid(table, last, 1);
  BlockScanEnd blockEnd;
  std::int16_t currentBlock = 0;
  std::int32_t blockStart = 1;
  for (std::int32_t i = 1; i <= last; ++i) {
    stage.SetValue(i);
    YieldPoint& centre = table[i];
    if (centre.RemovalCode != kRetained) continue;

    if (centre.Block != currentBlock) {
      blockStart = i;
      currentBlock = centre.Block;
    }

    // A partner is marked at once, so no later centre meets it again.
    bool found = false;
    const auto cell = grid.CellAt(centre.Easting, centre.Northing);
    const auto markPartners = [&](std::int32_t first, std::int32_t lastPosition) {
      for (const PointGrid::Entry& entry : cell) {
        const std::int32_t j = entry.Position;
        if (j > lastPosition) break;
        if (j < first || j == i) continue;
        if (entry.Easting != centre.Easting || entry.Northing != centre.Northing) continue;
        YieldPoint& partner = table[j];
        if (partner.RemovalCode != kRetained) continue;
        partner.RemovalCode = kCoLocated;
        ++duplicateCounter;
        found = true;
      }
    };
    if (centre.Block != 0) {
      // The buffer band up to the first block position, then the own block;
      // the block's end is found after the first scan's marks.
      markPartners(1, firstNonZero);
      markPartners(blockStart, blockEnd.After(table, last, i) - 1);
    } else {
      markPartners(1, last);
    }

    if (found) centre.RemovalCode = kCoLocated;
  }
}

}  // namespace tarvik

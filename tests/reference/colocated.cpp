// Points logged at the same whole-metre position, searched block by block as
// the neighbourhood check does. The engine's check is measured against this one.
#include "reference/reference_checks.h"

#include "core/removal_codes.h"

namespace tarvik::reference {

namespace {

/// Partner test of the retained position j against the centre i: a partner
/// is marked at once, so no later scan meets it again.
void Examine(PointTable& table, std::int32_t i, std::int32_t j, std::int32_t& duplicateCounter,
             bool& found) {
  if (j == i) return;
  YieldPoint& partner = table[j];
  if (partner.Easting != table[i].Easting || partner.Northing != table[i].Northing) return;
  partner.RemovalCode = kCoLocated;
  ++duplicateCounter;
  found = true;
}

}  // namespace

void CheckCoLocatedPoints(const std::int32_t& count, PointTable& table,
                          std::int32_t& duplicateCounter, Progress& progress) {
  const std::int32_t last = count;
  progress.Begin("Checking co-located points, please wait...", last);

  // First position outside the buffer band, whatever its code.
  std::int32_t firstNonZero = 0;
  for (std::int32_t j = 1; j <= last; ++j) {
    if (table[j].Block > 0) {
      firstNonZero = j;
      break;
    }
  }

  std::int16_t currentBlock = 0;
  std::int32_t blockStart = 1;
  for (std::int32_t i = 1; i <= last; ++i) {
    progress.SetValue(i);
    bool found = false;
    YieldPoint& centre = table[i];
    if (centre.RemovalCode != kRetained) continue;

    if (centre.Block != currentBlock) {
      blockStart = i;
      currentBlock = centre.Block;
    }

    if (centre.Block != 0) {
      for (std::int32_t j = 1; j <= firstNonZero; ++j) {
        if (table[j].RemovalCode != kRetained) continue;
        Examine(table, i, j, duplicateCounter, found);
      }
      for (std::int32_t j = blockStart; j <= last; ++j) {
        if (table[j].RemovalCode != kRetained) continue;
        if (table[j].Block != centre.Block) break;
        Examine(table, i, j, duplicateCounter, found);
      }
    } else {
      for (std::int32_t j = 1; j <= last; ++j) {
        if (table[j].RemovalCode != kRetained) continue;
        Examine(table, i, j, duplicateCounter, found);
      }
    }

    if (found) centre.RemovalCode = kCoLocated;
  }
  progress.End();
}

}  // namespace tarvik::reference

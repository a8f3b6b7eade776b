#include "input/blocks.h"

#include <cmath>
#include <limits>
#include <string>

#include "core/errors.h"

namespace tarvik {

namespace {

constexpr int kGridSize = 3;

/// MaxValue - MinValue of the extent, which must be a positive 32-bit value.
std::int32_t Span(std::int32_t minValue, std::int32_t maxValue, const char* what) {
  const std::int64_t span = std::int64_t{maxValue} - std::int64_t{minValue};
  if (span <= 0 || span > std::numeric_limits<std::int32_t>::max()) {
    throw RunError(std::string("The field extent has a ") + what + " of " + std::to_string(span) +
                   " metres; the block grid needs 1 to 2147483647.");
  }
  return static_cast<std::int32_t>(span);
}

/// Grid column or row of a coordinate: 1 to 3 inside the extent.
double Cell(std::int32_t value, std::int32_t minValue, std::int32_t span) {
  return std::floor((static_cast<double>(value) - minValue) / span * kGridSize) + 1;
}

}  // namespace

void AssignBlocks(const std::int32_t& count, PointTable& table, const FieldExtent& extent,
                  const std::int16_t& bufferHalfWidth) {
  const std::int32_t width = Span(extent.MinEasting, extent.MaxEasting, "width");
  const std::int32_t height = Span(extent.MinNorthing, extent.MaxNorthing, "height");

  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& point = table[i];
    const double column = Cell(point.Easting, extent.MinEasting, width);
    const double row = Cell(point.Northing, extent.MinNorthing, height);
    const double block = (row - 1) * kGridSize + column;
    if (block < std::numeric_limits<std::int16_t>::min() ||
        block > std::numeric_limits<std::int16_t>::max()) {
      throw RunError("Point " + std::to_string(point.ID) + " lies far outside the field extent.");
    }
    point.Block = static_cast<std::int16_t>(block);
  }

  // Points near an inner grid line belong to no block.
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& point = table[i];
    for (int k = 1; k < kGridSize; ++k) {
      const double share = k / static_cast<double>(kGridSize);
      if (std::abs(share * width + extent.MinEasting - point.Easting) < bufferHalfWidth) {
        point.Block = 0;
      }
      if (std::abs(share * height + extent.MinNorthing - point.Northing) < bufferHalfWidth) {
        point.Block = 0;
      }
    }
  }
}

}  // namespace tarvik

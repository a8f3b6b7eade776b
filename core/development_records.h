// The prepared points of the development window's test: records of 9 items
// (VData, ID, Segment, Point, HStat, Easting, Northing, Yield, GPS time).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/point_table.h"
#include "core/result.h"

namespace tarvik {

/// Most points the test holds (positions 1 to 15,000).
inline constexpr std::int32_t kMaxTestPoints = 15000;

/// The points of `contents`: position 0 blank, then one point per record in
/// file order; or the reason, naming `displayName` and the line, when the
/// text is not such a file. Never throws for bad input.
Result<std::vector<YieldPoint>> ParseDevelopmentRecords(std::string_view contents,
                                                        const std::string& displayName);

}  // namespace tarvik

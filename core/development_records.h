// The prepared points of the development window's test: records of 9 items
// (VData, ID, Segment, Point, HStat, Easting, Northing, Yield, GPS time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/point_table.h"

namespace tarvik {

/// Most points the test holds (positions 1 to 15,000).
inline constexpr std::int32_t kMaxTestPoints = 15000;

/// Reads the records of `contents` into `points`, position 0 blank, then one
/// point per record in file order. Returns the reason, naming `displayName`
/// and the line, when the text is not such a file; `points` is then
/// unchanged. Never throws for bad input.
std::optional<std::string> ParseDevelopmentRecords(std::string_view contents,
                                                   const std::string& displayName,
                                                   std::vector<YieldPoint>& points);

}  // namespace tarvik

// The development window's test: read prepared points, write them back.
#pragma once

#include <optional>
#include <string>

#include "core/development_records.h"

namespace tarvik::ui {

/// Most points the test holds (positions 1 to 15,000).
using tarvik::kMaxTestPoints;

/// Reads `inputPath` (records of 9 items: VData, ID, Segment, Point, HStat,
/// Easting, Northing, Yield, GPS time) and writes them to `outputPath` below
/// a heading line, items separated by commas, texts quoted, lines ending in
/// CR LF. Returns the reason when a file cannot be read or written.
std::optional<std::string> RunDevelopmentTest(const std::string& inputPath,
                                              const std::string& outputPath);

}  // namespace tarvik::ui

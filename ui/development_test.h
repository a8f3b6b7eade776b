// The development window's test: read prepared points, write them back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvik::ui {

/// Most points the test holds (positions 1 to 15,000).
inline constexpr std::int32_t kMaxTestPoints = 15000;

/// Reads `inputPath` (records of 9 items: VData, ID, Segment, Point, HStat,
/// Easting, Northing, Yield, GPS time) and writes them to `outputPath` below
/// a heading line, items separated by commas, texts quoted, lines ending in
/// CR LF. Returns the reason when a file cannot be read or written.
std::optional<std::string> RunDevelopmentTest(const std::string& inputPath,
                                              const std::string& outputPath);

}  // namespace tarvik::ui

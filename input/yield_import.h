// Reader of the text layouts that combines and their export settings produce:
// 17, 16 or 15 comma-separated items per line, or delimited columns under a
// heading line. Fills the same table as ReadAdvancedExport and says which
// layout it found and how it read the header status codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/point_table.h"

namespace tarvik {

/// The header status codes of a file that mean "harvesting" and "header up".
struct HeaderCodes {
  std::int16_t Harvesting = 33;
  std::int16_t Up = 1;

  friend bool operator==(const HeaderCodes&, const HeaderCodes&) = default;
};

/// What is wrong with header codes that ParseHeaderCodes does not take.
inline constexpr const char* kHeaderCodesError =
    "Header codes must be two different whole numbers, the harvesting code first, such as 33,32.";

/// "HARVEST,UP": two different whole numbers from -32768 to 32767 (blanks
/// around them allowed). Nothing for any other text.
std::optional<HeaderCodes> ParseHeaderCodes(std::string_view text);

/// What an import came to. `layout` describes what was detected and how the
/// header codes were read, for example "15 items (variety, no GPS status,
/// PDOP or elevation); header 33 harvesting / 32 up". It is set on success
/// and, on a refusal, as far as the layout was known.
struct ImportResult {
  bool ok = false;
  std::string reason;
  std::string layout;
};

/// Reads the whole file into `table` and sets `count`, as ReadAdvancedExport
/// does: on any failure the table is left unchanged and `count` is 0. The
/// header codes of the file become 33 (harvesting) and 1 (header up); `codes`
/// names the file's own codes instead of detecting them.
ImportResult ReadYieldExport(const std::string& fileName, PointTable& table, std::int32_t& count,
                             const std::optional<HeaderCodes>& codes = std::nullopt);

/// The same over text already in memory; `displayName` names it in reasons.
ImportResult ParseYieldExport(std::string_view contents, std::string_view displayName,
                              PointTable& table, std::int32_t& count,
                              const std::optional<HeaderCodes>& codes = std::nullopt);

}  // namespace tarvik

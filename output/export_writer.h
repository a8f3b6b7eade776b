// The table as a 17-item Advanced Export file, for other programs and for
// checking what an import understood.
#pragma once

#include <cstdint>
#include <string>

#include "core/point_table.h"

namespace tarvik {

/// Text of positions 1..count as 17-item records, lines ending in CR LF.
/// Numbers are written so that ReadAdvancedExport gives back the same
/// values; the four texts are quoted. Throws OutputError when a text holds a
/// double quote or a line break, which the layout cannot carry.
std::string FormatAdvancedExport(const std::int32_t& count, const PointTable& table);

/// Writes FormatAdvancedExport's text to `path` through a temporary file and
/// a rename, so that the file appears only complete. Throws OutputError.
void WriteAdvancedExport(const std::string& path, const std::int32_t& count,
                         const PointTable& table);

}  // namespace tarvik

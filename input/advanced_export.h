// Reader of the yield monitor's Advanced Export text files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/point_table.h"
#include "core/result.h"

namespace tarvik {

/// What a read came to. A refusal's reason says where and what, for example
/// "field.txt:12: item 5 (GPSInterval): \"abc\" is not a number".
using ReadResult = Status<>;

/// The contents of an input file, or the reason naming it: none named, it
/// does not exist, is a folder, cannot be opened or read, or is larger than
/// 256 MiB. Shared by the readers of every input layout.
Result<std::string> ReadExportFile(const std::string& fileName);

/// Reads the whole file into `table`, in place, and sets `count`; positions 0
/// and above the count are blank. On any failure every position of the table
/// is blank and `count` is 0. Never throws for bad input.
ReadResult ReadAdvancedExport(const std::string& fileName, PointTable& table, std::int32_t& count);

/// The same over text already in memory; `displayName` names it in reasons.
ReadResult ParseAdvancedExport(std::string_view contents, std::string_view displayName,
                               PointTable& table, std::int32_t& count);

}  // namespace tarvik

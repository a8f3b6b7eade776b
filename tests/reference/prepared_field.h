// Generated fields prepared as the run hands them to the neighbourhood check.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/point_table.h"
#include "run/run.h"

namespace tarvik::reference {

/// The supplied corn values and criteria, converted (buffer half-width 2 m).
ConvertedSettings SuppliedValues();

/// Reads `text` and runs every stage before the neighbourhood check with
/// `values`, leaving the table grouped by block. Returns the reason when the
/// text is refused or a stage stops.
std::string PrepareField(std::string_view text, const ConvertedSettings& values, PointTable& table,
                         std::int32_t& count);

}  // namespace tarvik::reference

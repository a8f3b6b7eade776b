// The two GSLIB output files.
#pragma once

#include <cstdint>
#include <string>

#include "core/point_table.h"

namespace tarvik {

/// Text of the basic file: retained points only, with Easting, Northing,
/// Yield and Moisture. Lines end with CR LF. Throws RunError when a
/// coordinate less its offset leaves the 32-bit range.
std::string FormatBasicOutput(const std::string& title, const std::int32_t& count,
                              const PointTable& table, const bool& rescale,
                              const std::int32_t& falseEasting, const std::int32_t& falseNorthing);

/// Text of the detailed file: every point with ten variables.
std::string FormatDetailedOutput(const std::string& title, const std::int32_t& count,
                                 const PointTable& table, const bool& rescale,
                                 const std::int32_t& falseEasting,
                                 const std::int32_t& falseNorthing);

/// Writes the basic file. The file appears only complete: it is written to a
/// temporary file beside the target and renamed over it. Throws OutputError
/// (naming the path and the reason) or RunError; on either the target is untouched.
void WriteBasicOutput(const std::string& title, const std::string& outputPath,
                      const std::int32_t& count, const PointTable& table, const bool& rescale,
                      const std::int32_t& falseEasting, const std::int32_t& falseNorthing);

/// Writes the detailed file, as WriteBasicOutput.
void WriteDetailedOutput(const std::string& title, const std::string& outputPath,
                         const std::int32_t& count, const PointTable& table, const bool& rescale,
                         const std::int32_t& falseEasting, const std::int32_t& falseNorthing);

/// Writes `contents` to `path` through a temporary file in the same folder and
/// a rename. Throws OutputError.
void WriteFileAtomically(const std::string& path, const std::string& contents);

}  // namespace tarvik

// The entries of tarvik-clean's map and export modules: plain functions, so
// that the program finds them by name. Both sides are built together.
#pragma once

#include <cstdint>
#include <string>

#include "core/point_table.h"

#ifdef _WIN32
#define TARVIK_MODULE_ENTRY extern "C" __declspec(dllexport)
#else
#define TARVIK_MODULE_ENTRY extern "C" __attribute__((visibility("default")))
#endif

namespace tarvik::modules {

inline constexpr const char* kMapModule = "tarvik-map";
inline constexpr const char* kExportModule = "tarvik-export";

/// Starts painting without a display; returns what StopPainting ends.
using StartPaintingEntry = void*();
inline constexpr const char* kStartPaintingName = "TarvikStartPainting";
using StopPaintingEntry = void(void*);
inline constexpr const char* kStopPaintingName = "TarvikStopPainting";
/// Writes a map file; false with the reason in `error`.
using SaveMapEntry = bool(const std::string* path, const std::int32_t* count,
                          const PointTable* table, const std::string* title, int width, int height,
                          std::string* error);
inline constexpr const char* kSaveMapName = "TarvikSaveMap";
/// Writes a GIS file in the format and coordinates named `format` and `crs`;
/// false with the reason in `error`.
using ExportFieldEntry = bool(const std::string* path, const std::string* format,
                              const std::string* crs, const std::int32_t* count,
                              const PointTable* table, std::string* error);
inline constexpr const char* kExportFieldName = "TarvikExportField";

}  // namespace tarvik::modules

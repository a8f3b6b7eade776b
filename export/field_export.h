// A run's points as a GIS file: GeoPackage, Shapefile, GeoJSON, FlatGeobuf
// or CSV, written through GDAL/OGR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/point_table.h"

namespace tarvik {

enum class ExportFormat { GeoPackage, Shapefile, GeoJSON, FlatGeobuf, CSV };

/// The coordinate system of the points' geometry.
enum class ExportCRS {
  WGS84,  // longitude and latitude, EPSG:4326
  UTM,    // the WGS 84 / UTM zone (north or south) of the field's centre
  Grid,   // the run's own easting and northing: Transverse Mercator at 99 degrees west
};

/// The format named by "gpkg", "shp", "geojson", "fgb" or "csv".
std::optional<ExportFormat> ExportFormatFromName(std::string_view name);
/// The format of a path's extension (case-insensitive); nothing for another.
std::optional<ExportFormat> ExportFormatFromPath(const std::string& path);
/// "gpkg", "shp", "geojson", "fgb" or "csv".
const char* ExportExtension(ExportFormat format);
/// The format's name for people: "GeoPackage", "Shapefile", ...
const char* ExportFormatTitle(ExportFormat format);

/// The choice named by "wgs84", "utm" or "grid".
std::optional<ExportCRS> ExportCRSFromName(std::string_view name);

/// The name of the rule that gave `code` ("Header status", ...); empty for
/// retained points and for codes without a rule.
const char* ExportRuleName(int code);

/// The EPSG code of the WGS 84 / UTM zone that holds the centre of the
/// points' longitudes and latitudes (326zz north, 327zz south); zone 14 north
/// when there are no points.
int ExportUTMZoneEPSG(const std::int32_t& count, const PointTable& table);

/// How an export went: nothing wrong, or why the file could not be written.
struct ExportOutcome {
  bool ok = true;
  std::string error;  // "Cannot export PATH: reason", when not ok
};

/// Writes every point of positions 1..count, retained and removed, as a
/// point feature to `path` in `format`, with a summary table and a default
/// style where the format holds them. The file (a Shapefile's files
/// together) appears only when complete; on failure nothing is left behind
/// and an existing file at `path` is kept.
ExportOutcome ExportField(const std::string& path, ExportFormat format, ExportCRS crs,
                          const std::int32_t& count, const PointTable& table);

}  // namespace tarvik

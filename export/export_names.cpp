#include <array>
#include <cctype>
#include <filesystem>
#include <string>

#include "core/removal_codes.h"
#include "export/field_export.h"

// The names of the export's formats and coordinate choices: no GDAL here, so
// that tarvik-clean can check its options without loading GDAL.
namespace tarvik {

namespace {

struct FormatName {
  ExportFormat format;
  const char* extension;
  const char* title;
};

constexpr std::array<FormatName, 5> kFormatNames{{
    {ExportFormat::GeoPackage, "gpkg", "GeoPackage"},
    {ExportFormat::Shapefile, "shp", "Shapefile"},
    {ExportFormat::GeoJSON, "geojson", "GeoJSON"},
    {ExportFormat::FlatGeobuf, "fgb", "FlatGeobuf"},
    {ExportFormat::CSV, "csv", "CSV"},
}};

const FormatName& Info(ExportFormat format) {
  for (const FormatName& info : kFormatNames) {
    if (info.format == format) return info;
  }
  return kFormatNames[0];
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

std::optional<ExportFormat> ExportFormatFromName(std::string_view name) {
  const std::string lower = Lower(name);
  for (const FormatName& info : kFormatNames) {
    if (lower == info.extension) return info.format;
  }
  return std::nullopt;
}

std::optional<ExportFormat> ExportFormatFromPath(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension.size() < 2) return std::nullopt;
  return ExportFormatFromName(std::string_view(extension).substr(1));
}

const char* ExportExtension(ExportFormat format) {
  return Info(format).extension;
}

const char* ExportFormatTitle(ExportFormat format) {
  return Info(format).title;
}

std::optional<ExportCRS> ExportCRSFromName(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "wgs84") return ExportCRS::WGS84;
  if (lower == "utm") return ExportCRS::UTM;
  if (lower == "grid") return ExportCRS::Grid;
  return std::nullopt;
}

const char* ExportRuleName(int code) {
  const char* rule = RuleName(code);
  return rule != nullptr ? rule : "";
}

}  // namespace tarvik

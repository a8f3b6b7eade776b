// tarvik-clean's export module: the GIS export and GDAL behind a plain entry.
#include "cli/module_entry.h"
#include "export/field_export.h"

TARVIK_MODULE_ENTRY bool TarvikExportField(const std::string* path, const std::string* format,
                                           const std::string* crs, const std::int32_t* count,
                                           const tarvik::PointTable* table, std::string* error) {
  const auto chosenFormat = tarvik::ExportFormatFromName(*format);
  const auto chosenCRS = tarvik::ExportCRSFromName(*crs);
  if (!chosenFormat || !chosenCRS) {
    *error = "Cannot export " + *path + ": no format " + *format + " or coordinates " + *crs + ".";
    return false;
  }
  const tarvik::ExportOutcome outcome =
      tarvik::ExportField(*path, *chosenFormat, *chosenCRS, *count, *table);
  if (!outcome.ok) *error = outcome.error;
  return outcome.ok;
}

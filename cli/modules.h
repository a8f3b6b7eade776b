// Maps and GIS exports for tarvik-clean. They need Qt and GDAL, whose
// hundred-odd libraries would slow every start of the program, so they live
// in two modules that are loaded the first time a map or an export is asked
// for: a plain run starts with the engine alone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/point_table.h"

namespace tarvik::modules {

/// Lets map files be painted while it lives: loads the map module and
/// starts Qt on the offscreen platform. Error() says why when it could not.
class MapPainting {
 public:
  MapPainting();
  ~MapPainting();
  MapPainting(const MapPainting&) = delete;
  MapPainting& operator=(const MapPainting&) = delete;

  const std::optional<std::string>& Error() const { return error_; }

 private:
  void* painting_ = nullptr;
  std::optional<std::string> error_;
};

/// The map of positions 1..count as a PNG file (see map::SaveMapFile);
/// needs a MapPainting. The reason when it cannot be written.
std::optional<std::string> SaveMapFile(const std::string& path, const std::int32_t& count,
                                       const PointTable& table, const std::string& title, int width,
                                       int height);

/// Every point of positions 1..count as a GIS file (see ExportField), the
/// format and coordinates named as tarvik-clean's options name them. The
/// reason when it cannot be written.
std::optional<std::string> ExportField(const std::string& path, const std::string& format,
                                       const std::string& crs, const std::int32_t& count,
                                       const PointTable& table);

}  // namespace tarvik::modules

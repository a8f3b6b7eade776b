// tarvik-clean's map module: the field map renderer and Qt behind plain entries.
#include "cli/module_entry.h"
#include "map/map_file.h"

TARVIK_MODULE_ENTRY void* TarvikStartPainting() {
  return new tarvik::map::OffscreenPainting();
}

TARVIK_MODULE_ENTRY void TarvikStopPainting(void* painting) {
  delete static_cast<tarvik::map::OffscreenPainting*>(painting);
}

TARVIK_MODULE_ENTRY bool TarvikSaveMap(const std::string* path, const std::int32_t* count,
                                       const tarvik::PointTable* table, const std::string* title,
                                       int width, int height, std::string* error) {
  if (auto reason = tarvik::map::SaveMapFile(*path, *count, *table, *title, width, height)) {
    *error = *reason;
    return false;
  }
  return true;
}

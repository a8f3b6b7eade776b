// Field maps as PNG files, for programs without windows. This header keeps
// Qt out of its includers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/point_table.h"

namespace tarvik::map {

/// Lets a program without windows paint: starts Qt on the offscreen
/// platform while it lives, unless Qt is running already.
class OffscreenPainting {
 public:
  OffscreenPainting();
  ~OffscreenPainting();
  OffscreenPainting(const OffscreenPainting&) = delete;
  OffscreenPainting& operator=(const OffscreenPainting&) = delete;

 private:
  struct Application;
  std::unique_ptr<Application> application_;
};

/// Default size of a map file, pixels.
inline constexpr int kMapFileWidth = 1600;
inline constexpr int kMapFileHeight = 1200;

/// The reason given when a map of `width` x `height` pixels for `path`
/// cannot be rendered: too large for the memory, or not encodable.
std::string MapNotRendered(const std::string& path, int width, int height);

/// Renders positions 1..count of a finished run's table with `title` and
/// writes it as a PNG file to `path`, which appears only complete. Needs an
/// OffscreenPainting (or a running Qt application). Returns the reason when
/// the file cannot be written. Safe to call from several threads.
std::optional<std::string> SaveMapFile(const std::string& path, const std::int32_t& count,
                                       const PointTable& table, const std::string& title,
                                       int width = kMapFileWidth, int height = kMapFileHeight);

}  // namespace tarvik::map

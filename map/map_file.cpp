#include "map/map_file.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <mutex>

#include "core/errors.h"
#include "map/field_map.h"
#include "output/writers.h"

namespace tarvik::map {

struct OffscreenPainting::Application {
  // QGuiApplication keeps references to its arguments.
  int argc = 3;
  char program[16] = "tarvik";
  char option[16] = "-platform";
  char platform[16] = "offscreen";
  char* argv[4] = {program, option, platform, nullptr};
  QGuiApplication application{argc, argv};
};

namespace {

QtMessageHandler previousHandler = nullptr;

/// Qt's note that it found no runtime folder means nothing to a user
/// who asked for a picture; everything else goes on as before.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace

OffscreenPainting::OffscreenPainting() {
  if (QCoreApplication::instance() != nullptr) return;
  previousHandler = qInstallMessageHandler(QuietHandler);
  application_ = std::make_unique<Application>();
}

OffscreenPainting::~OffscreenPainting() {
  if (application_ == nullptr) return;
  application_.reset();
  qInstallMessageHandler(previousHandler);
}

std::string MapNotRendered(const std::string& path, int width, int height) {
  return path + ": the map of " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels cannot be rendered.";
}

std::optional<std::string> SaveMapFile(const std::string& path, const std::int32_t& count,
                                       const PointTable& table, const std::string& title, int width,
                                       int height) {
  // Fonts are shared by every painter; one map at a time.
  static std::mutex painting;
  std::optional<QByteArray> png;
  {
    const std::lock_guard<std::mutex> lock(painting);
    png = EncodePng(RenderMap(MakeFieldMap(count, table, title), QSize(width, height)));
  }
  if (!png) return MapNotRendered(path, width, height);
  try {
    WriteFileAtomically(path, png->toStdString());
  } catch (const OutputError& error) {
    return error.what();
  }
  return std::nullopt;
}

}  // namespace tarvik::map

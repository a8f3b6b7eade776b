// Benchmarks of the field map on a finished run of a simulated 62,000-point
// field: the full redraw the results window does on every zoom, pan and
// check box, and a map file.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "core/settings_files.h"
#include "map/field_map.h"
#include "run/run.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

/// The map of the simulated field after a run with the supplied corn settings.
const map::FieldMap& FieldOf62000Points() {
  static const map::FieldMap field = [] {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "tarvik-map-bench";
    std::filesystem::create_directories(folder);
    FieldSimOptions options;
    options.Points = kMaxPoints;
    options.Seed = 1;
    std::ofstream(folder / "field.txt", std::ios::binary) << SimulateField(options);

    const std::string settings = std::string(TARVIK_SOURCE_DIR) + "/settings";
    const CropFile crops = ReadCropFile(SettingsFilePath(settings, kCropFileName));
    const CriteriaFile criteria = ReadCriteriaFile(SettingsFilePath(settings, kCriteriaFileName));
    const CropRecord* corn = crops ? FindCrop(*crops, "Corn") : nullptr;
    std::optional<RunSettings> texts;
    if (corn != nullptr && criteria) texts = StartupSettings(*corn, *criteria);
    if (!texts) {
      std::fprintf(stderr, "settings/ of the source tree cannot be used\n");
      std::exit(1);
    }
    texts->InputFile = (folder / "field.txt").string();
    texts->OutputFile = (folder / "fieldout.txt").string();
    auto table = std::make_unique<PointTable>();
    std::int32_t count = 0;
    const RunOutcome outcome = RunPipeline(count, *table, *texts);
    std::filesystem::remove_all(folder);
    if (outcome.Status != RunStatus::Finished) {
      std::fprintf(stderr, "the run failed: %s\n", outcome.Text.c_str());
      std::exit(1);
    }
    return map::MakeFieldMap(count, *table, "field.txt");
  }();
  return field;
}

/// One full redraw into a picture of the given size, as the window paints.
void BM_Redraw(benchmark::State& state) {
  const map::FieldMap& field = FieldOf62000Points();
  const QSize size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  map::MapView view;
  for (auto _ : state) {
    QPainter painter(&image);
    map::PaintMap(painter, QRectF(QPointF(0, 0), size), field, view);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(field.Points.size()));
}

/// The redraw of a view zoomed four times: most points fall outside.
void BM_RedrawZoomed(benchmark::State& state) {
  const map::FieldMap& field = FieldOf62000Points();
  const QSize size(720, 560);
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  map::MapView view;
  view.Zoom = 4;
  for (auto _ : state) {
    QPainter painter(&image);
    map::PaintMap(painter, QRectF(QPointF(0, 0), size), field, view);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}

/// A map file's picture, rendered and encoded as the PNG it is written as.
void BM_MapFile(benchmark::State& state) {
  const map::FieldMap& field = FieldOf62000Points();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::optional<QByteArray> png = map::EncodePng(map::RenderMap(field, QSize(1600, 1200)));
    bytes = png ? static_cast<std::size_t>(png->size()) : 0;
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_MakeFieldMap(benchmark::State& state) {
  const map::FieldMap& field = FieldOf62000Points();
  PointTable table;
  std::int32_t count = 0;
  for (const map::MapPoint& p : field.Points) {
    YieldPoint& point = table[++count];
    point.Easting = static_cast<std::int32_t>(p.X);
    point.Northing = static_cast<std::int32_t>(p.Y);
    point.RemovalCode = p.Code;
    point.Yield = p.Yield;
  }
  for (auto _ : state) benchmark::DoNotOptimize(map::MakeFieldMap(count, table, "field"));
}

}  // namespace
}  // namespace tarvik

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Fonts need a Qt application; the offscreen platform needs no display.
  int qtArgc = 3;
  char program[] = "tarvik-map-bench";
  char option[] = "-platform";
  char platform[] = "offscreen";
  char* qtArgv[] = {program, option, platform, nullptr};
  QGuiApplication application(qtArgc, qtArgv);
  using tarvik::BM_Redraw;
  benchmark::RegisterBenchmark("MapRedraw/window", BM_Redraw)
      ->Args({720, 560})
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("MapRedraw/file", BM_Redraw)
      ->Args({1600, 1200})
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("MapRedraw/zoomed", tarvik::BM_RedrawZoomed)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("MapFile/1600/1200", tarvik::BM_MapFile)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("MakeFieldMap", tarvik::BM_MakeFieldMap)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

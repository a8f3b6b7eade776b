// Benchmarks of the cleaning run on a simulated field of 62,000 points: the
// reader, every stage on the table the run hands it, the two formatters, and
// the whole headless run from file to file.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "bench/whole_run.h"
#include "core/number_text.h"
#include "core/point_table.h"
#include "core/settings_files.h"
#include "input/advanced_export.h"
#include "output/writers.h"
#include "run/run.h"
#include "run/stages.h"
#include "tools/fieldsim.h"
#ifdef TARVIK_WITH_EXPORT
#include "export/field_export.h"
#endif

namespace tarvik {
namespace {

constexpr std::uint64_t kFieldSeed = 1;

/// A stage of the run: its place in kRunStages; kDone is after the last.
using Stage = std::size_t;
constexpr Stage kDone = kRunStages.size();

/// The settings of the run: the supplied corn values and criteria as the
/// window's fields hold them at start-up, and the same converted.
struct BenchSettings {
  RunSettings texts;
  ConvertedSettings values;
};

/// Reads settings/ of the source tree; the reason on failure.
std::optional<std::string> LoadSettings(BenchSettings& s) {
  const std::string folder = std::string(TARVIK_SOURCE_DIR) + "/settings";
  const CropFile crops = ReadCropFile(SettingsFilePath(folder, kCropFileName));
  if (!crops) return crops.reason();
  const CriteriaFile criteria = ReadCriteriaFile(SettingsFilePath(folder, kCriteriaFileName));
  if (!criteria) return criteria.reason();
  const CropRecord* corn = FindCrop(*crops, "Corn");
  if (corn == nullptr) return std::string("crop.dat has no Corn");
  auto texts = StartupSettings(*corn, *criteria);
  if (!texts) return std::string("criteria.dat's SearchY does not convert");
  s.texts = *texts;
  s.texts.Title = "Benchmark field";
  auto values = ConvertRunSettings(s.texts);
  if (!values) return values.reason();
  s.values = *values;
  return std::nullopt;
}

/// One stage with the run's arguments. `extent` is written by the
/// coordinates' stage and read by the block grid's.
void RunOneStage(Stage stage, const std::int32_t& count, PointTable& table, FieldExtent& extent,
                 const BenchSettings& s) {
  StageState state{count, table, s.values, NoProgress()};
  state.extent = extent;
  kRunStages[stage].run(state);
  extent = state.extent;
}

/// The simulated field, and its table as the run leaves it just before one
/// stage. Moving forward runs the stages in between; moving back reads anew.
class Field {
 public:
  static Field& Get() {
    static Field field;
    return field;
  }

  const std::string& Text() const { return text_; }
  const BenchSettings& Settings() const { return settings_; }
  const std::string& Problem() const { return problem_; }

  /// The table as the run hands it to `stage` (kDone: after the last check).
  const PointTable& Before(Stage stage, std::int32_t& count, FieldExtent& extent) {
    if (next_ > stage) Read();
    while (next_ < stage) {
      RunOneStage(next_, count_, *table_, extent_, settings_);
      ++next_;
    }
    count = count_;
    extent = extent_;
    return *table_;
  }

 private:
  Field() : table_(std::make_unique<PointTable>()) {
    FieldSimOptions options;
    options.Seed = kFieldSeed;
    options.Points = kMaxPoints;
    text_ = SimulateField(options);
    if (auto problem = LoadSettings(settings_)) problem_ = *problem;
    Read();
  }

  void Read() {
    const ReadResult read = ParseAdvancedExport(text_, "simulated field", *table_, count_);
    if (!read.ok()) problem_ = read.reason();
    extent_ = FieldExtent();
    next_ = 0;
  }

  std::string text_;
  BenchSettings settings_;
  std::string problem_;
  std::unique_ptr<PointTable> table_;
  std::int32_t count_ = 0;
  FieldExtent extent_;
  Stage next_ = 0;
};

void ReportRate(benchmark::State& state, std::int32_t points) {
  state.counters["points/s"] =
      benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ParseAdvancedExport(benchmark::State& state) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  for (auto _ : state) {
    const ReadResult read = ParseAdvancedExport(field.Text(), "simulated field", *table, count);
    benchmark::DoNotOptimize(read.ok());
  }
  ReportRate(state, count);
}

/// One stage on a fresh copy of the table the run would hand it; the copy
/// is made outside the timed region.
void BM_Stage(benchmark::State& state, Stage stage) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  std::int32_t count = 0;
  FieldExtent extent;
  const PointTable& prepared = field.Before(stage, count, extent);
  auto work = std::make_unique<PointTable>();
  for (auto _ : state) {
    state.PauseTiming();
    work->records = prepared.records;
    FieldExtent workExtent = extent;
    state.ResumeTiming();
    RunOneStage(stage, count, *work, workExtent, field.Settings());
    benchmark::ClobberMemory();
  }
  ReportRate(state, count);
}

/// Signature shared by FormatBasicOutput and FormatDetailedOutput.
using OutputFormatter = std::string (*)(const std::string&, const std::int32_t&, const PointTable&,
                                        const bool&, const std::int32_t&, const std::int32_t&);

/// One output text of the cleaned table, without re-scaling.
void BM_Format(benchmark::State& state, OutputFormatter format) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  std::int32_t count = 0;
  FieldExtent extent;
  const PointTable& table = field.Before(kDone, count, extent);
  const RunSettings& t = field.Settings().texts;
  const bool rescale = false;
  const std::int32_t zero = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(format(t.Title, count, table, rescale, zero, zero));
  }
  // The same figure as the whole run's label: the stages were chained as the run chains them.
  state.SetLabel(std::to_string(CountCodes(count, table)[0]) + " of " + std::to_string(count) +
                 " retained");
  ReportRate(state, count);
}

/// The whole headless run, file to file, as the Run button does it.
void BM_RunPipeline(benchmark::State& state, bool cleanedDataOnly) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  RunSettings settings = field.Settings().texts;
  settings.BasicOutput = cleanedDataOnly;
  std::int32_t count = 0;
  const RunOutcome outcome =
      TimeWholeRun(state, "tarvik-bench", "field.txt", field.Text(), settings, count);
  if (outcome.Status != RunStatus::Finished) return;
  state.SetLabel(std::to_string(outcome.Counts.ByCode[0]) + " of " + std::to_string(count) +
                 " retained");
  ReportRate(state, count);
}

#ifdef TARVIK_WITH_EXPORT
/// The GIS export of the cleaned table to a file in a temporary folder.
void BM_ExportField(benchmark::State& state, ExportFormat format, ExportCRS crs) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  std::int32_t count = 0;
  FieldExtent extent;
  const PointTable& table = field.Before(kDone, count, extent);
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error) / "tarvik-bench-export";
  fs::create_directories(folder, error);
  if (error) return state.SkipWithError("cannot create the temporary folder");
  const std::string path = (folder / (std::string("field.") + ExportExtension(format))).string();
  ExportOutcome outcome;
  for (auto _ : state) {
    outcome = ExportField(path, format, crs, count, table);
    if (!outcome.ok) break;
  }
  fs::remove_all(folder, error);
  if (!outcome.ok) return state.SkipWithError(outcome.error.c_str());
  ReportRate(state, count);
}
#endif

/// Every stage runs many times.
void RegisterAll() {
  using benchmark::RegisterBenchmark;
  InMilliseconds(RegisterBenchmark("ParseAdvancedExport", BM_ParseAdvancedExport));
  for (Stage stage = 0; stage < kDone; ++stage) {
    // Each iteration copies the 62,000-point table untimed first.
    InMilliseconds(RegisterBenchmark(kRunStages[stage].name, BM_Stage, stage))->MinTime(0.1);
  }
  InMilliseconds(RegisterBenchmark("FormatBasicOutput", BM_Format, &FormatBasicOutput));
  InMilliseconds(RegisterBenchmark("FormatDetailedOutput", BM_Format, &FormatDetailedOutput));
  InMilliseconds(RegisterBenchmark("RunPipeline/basic", BM_RunPipeline, true))->MinTime(0.5);
  InMilliseconds(RegisterBenchmark("RunPipeline/detailed", BM_RunPipeline, false))->MinTime(0.5);
#ifdef TARVIK_WITH_EXPORT
  for (const ExportFormat format :
       {ExportFormat::GeoPackage, ExportFormat::Shapefile, ExportFormat::GeoJSON,
        ExportFormat::FlatGeobuf, ExportFormat::CSV}) {
    InMilliseconds(
        RegisterBenchmark((std::string("ExportField/") + ExportExtension(format)).c_str(),
                          BM_ExportField, format, ExportCRS::WGS84))
        ->MinTime(0.5);
  }
  InMilliseconds(RegisterBenchmark("ExportField/gpkg/utm", BM_ExportField, ExportFormat::GeoPackage,
                                   ExportCRS::UTM))
      ->MinTime(0.5);
#endif
}

}  // namespace

std::optional<std::string> SuppliedRunSettings(RunSettings& texts) {
  BenchSettings s;
  if (auto problem = LoadSettings(s)) return problem;
  texts = s.texts;
  return std::nullopt;
}

void RegisterSearchComparisons();

}  // namespace tarvik

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tarvik::RegisterAll();
  tarvik::RegisterSearchComparisons();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

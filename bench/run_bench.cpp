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

#include "checks/colocated.h"
#include "checks/distribution.h"
#include "checks/neighbourhood.h"
#include "checks/ordering.h"
#include "checks/screening.h"
#include "core/number_text.h"
#include "core/point_table.h"
#include "core/run.h"
#include "core/settings_files.h"
#include "input/advanced_export.h"
#include "input/blocks.h"
#include "input/segments.h"
#include "input/utm.h"
#include "input/yield.h"
#include "output/writers.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

constexpr std::uint64_t kFieldSeed = 1;

/// The stages of a run, in the run's order.
enum class Stage {
  kComputeYield,
  kNumberSegments,
  kConvertToUTM,
  kAssignBlocks,
  kCheckHeaderStatus,
  kCheckStartPassDelay,
  kCheckEndPassDelay,
  kCheckVariableDistribution,
  kCheckMinimumYield,
  kCheckMaximumYield,
  kSortByBlocks,
  kCheckNeighbourhood,
  kCheckCoLocatedPoints,
  kRestoreInputOrder,
  kCheckValidSegments,
  kDone,
};

Stage After(Stage stage) {
  return static_cast<Stage>(static_cast<int>(stage) + 1);
}

/// The settings of the run: the supplied corn values and criteria as the
/// window's fields hold them at start-up, and the same converted.
struct BenchSettings {
  RunSettings texts;
  float targetMoisture = 0;
  float testWeight = 0;
  std::int16_t bufferHalfWidth = 0;
  std::int16_t startPassDelay = 0;
  std::int16_t endPassDelay = 0;
  float sdOutlier = 0;
  float lowerLimit = 0;
  float upperLimit = 0;
  float searchX = 0;
  float searchY = 0;
  float searchSD = 0;
  std::int16_t minimumPoints = 0;
};

/// Reads settings/ of the source tree; the reason on failure.
std::optional<std::string> LoadSettings(BenchSettings& s) {
  const std::string folder = std::string(TARVIK_SOURCE_DIR) + "/settings";
  const CropFile crops = ReadCropFile(SettingsFilePath(folder, kCropFileName));
  if (!crops.ok) return crops.error;
  const CriteriaFile criteria = ReadCriteriaFile(SettingsFilePath(folder, kCriteriaFileName));
  if (!criteria.ok) return criteria.error;
  const CropRecord* corn = FindCrop(crops, "Corn");
  if (corn == nullptr) return std::string("crop.dat has no Corn");

  RunSettings& t = s.texts;
  t.MC = FormatGeneral(corn->Moisture);
  t.Density = FormatGeneral(corn->TestWeight);
  t.LowerLimit = FormatGeneral(corn->LowerLimit);
  t.UpperLimit = FormatGeneral(corn->UpperLimit);
  const Criteria& c = criteria.values;
  t.StartPassDelay = FormatGeneral(c.StartPassDelay);
  t.EndPassDelay = FormatGeneral(c.EndPassDelay);
  t.SearchX = FormatGeneral(c.SearchX);
  t.SearchY = FormatGeneral(c.SearchY);
  t.SDOutlier = FormatGeneral(c.SDOutlier);
  t.SearchSD = FormatGeneral(c.SearchSD);
  t.NoPointsforValidSeg = FormatGeneral(c.NoPointsforValidSeg);
  t.SearchSize = FormatGeneral(RoundHalfEven(c.SearchY));
  t.Title = "Benchmark field";
  t.Option3 = true;

  const auto single = [](const std::string& text, float& out) {
    const auto value = ParseSingle(text);
    if (value) out = *value;
    return value.has_value();
  };
  const auto whole = [](const std::string& text, std::int16_t& out) {
    const auto value = ParseInt16(text);
    if (value) out = *value;
    return value.has_value();
  };
  const auto buffer = ParseDecimal(t.SearchSize);
  if (!buffer) return std::string("SearchSize is not a number");
  s.bufferHalfWidth = static_cast<std::int16_t>(RoundHalfEven(*buffer / 4));
  if (!single(t.MC, s.targetMoisture) || !single(t.Density, s.testWeight) ||
      !whole(t.StartPassDelay, s.startPassDelay) || !whole(t.EndPassDelay, s.endPassDelay) ||
      !single(t.SDOutlier, s.sdOutlier) || !single(t.LowerLimit, s.lowerLimit) ||
      !single(t.UpperLimit, s.upperLimit) || !single(t.SearchX, s.searchX) ||
      !single(t.SearchY, s.searchY) || !single(t.SearchSD, s.searchSD) ||
      !whole(t.NoPointsforValidSeg, s.minimumPoints)) {
    return std::string("a supplied setting does not convert");
  }
  return std::nullopt;
}

/// Run's coordinate step: every point to UTM while the extent is gathered,
/// then the extent widened by a metre on each side.
FieldExtent ConvertToUTM(const std::int32_t& count, PointTable& table) {
  FieldExtent extent;
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& point = table[i];
    UTMPoint utm;
    utm.Latitude = point.Latitude;
    utm.Longitude = point.Longitude;
    LatLongToUTM(utm);
    point.Easting = utm.Easting;
    point.Northing = utm.Northing;
    if (point.Easting < extent.MinEasting) extent.MinEasting = point.Easting;
    if (point.Easting > extent.MaxEasting) extent.MaxEasting = point.Easting;
    if (point.Northing < extent.MinNorthing) extent.MinNorthing = point.Northing;
    if (point.Northing > extent.MaxNorthing) extent.MaxNorthing = point.Northing;
  }
  extent.MinEasting -= 1;
  extent.MaxEasting += 1;
  extent.MinNorthing -= 1;
  extent.MaxNorthing += 1;
  return extent;
}

/// One stage with the run's arguments. `extent` is written by the UTM step
/// and read by AssignBlocks.
void RunStage(Stage stage, const std::int32_t& count, PointTable& table, FieldExtent& extent,
              const BenchSettings& s) {
  std::int32_t high = 0;
  std::int32_t low = 0;
  std::int32_t duplicates = 0;
  switch (stage) {
    case Stage::kComputeYield:
      ComputeYield(count, table, s.targetMoisture, s.testWeight);
      break;
    case Stage::kNumberSegments:
      NumberSegments(count, table);
      break;
    case Stage::kConvertToUTM:
      extent = ConvertToUTM(count, table);
      break;
    case Stage::kAssignBlocks:
      AssignBlocks(count, table, extent, s.bufferHalfWidth);
      break;
    case Stage::kCheckHeaderStatus:
      CheckHeaderStatus(count, table);
      break;
    case Stage::kCheckStartPassDelay:
      CheckStartPassDelay(count, table, s.startPassDelay);
      break;
    case Stage::kCheckEndPassDelay:
      CheckEndPassDelay(count, table, s.endPassDelay);
      break;
    case Stage::kCheckVariableDistribution:
      CheckVariableDistribution(count, table, s.sdOutlier);
      break;
    case Stage::kCheckMinimumYield:
      CheckMinimumYield(count, table, s.lowerLimit);
      break;
    case Stage::kCheckMaximumYield:
      CheckMaximumYield(count, table, s.upperLimit);
      break;
    case Stage::kSortByBlocks:
      SortByBlocks(count, table);
      break;
    case Stage::kCheckNeighbourhood:
      CheckNeighbourhood(count, table, high, low, s.searchX, s.searchY, s.searchSD);
      break;
    case Stage::kCheckCoLocatedPoints:
      CheckCoLocatedPoints(count, table, duplicates);
      break;
    case Stage::kRestoreInputOrder:
      RestoreInputOrder(count, table);
      break;
    case Stage::kCheckValidSegments:
      CheckValidSegments(count, table, s.minimumPoints);
      break;
    case Stage::kDone:
      break;
  }
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
      RunStage(next_, count_, *table_, extent_, settings_);
      next_ = After(next_);
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
    if (!read.ok) problem_ = read.reason;
    extent_ = FieldExtent();
    next_ = Stage::kComputeYield;
  }

  std::string text_;
  BenchSettings settings_;
  std::string problem_;
  std::unique_ptr<PointTable> table_;
  std::int32_t count_ = 0;
  FieldExtent extent_;
  Stage next_ = Stage::kComputeYield;
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
    benchmark::DoNotOptimize(read.ok);
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
    RunStage(stage, count, *work, workExtent, field.Settings());
    benchmark::ClobberMemory();
  }
  ReportRate(state, count);
}

void BM_FormatBasicOutput(benchmark::State& state) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  std::int32_t count = 0;
  FieldExtent extent;
  const PointTable& table = field.Before(Stage::kDone, count, extent);
  const RunSettings& t = field.Settings().texts;
  const bool rescale = false;
  const std::int32_t zero = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatBasicOutput(t.Title, count, table, rescale, zero, zero));
  }
  // The same figure as the whole run's label: the stages were chained as the run chains them.
  state.SetLabel(std::to_string(CountCodes(count, table)[0]) + " of " + std::to_string(count) +
                 " retained");
  ReportRate(state, count);
}

void BM_FormatDetailedOutput(benchmark::State& state) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  std::int32_t count = 0;
  FieldExtent extent;
  const PointTable& table = field.Before(Stage::kDone, count, extent);
  const RunSettings& t = field.Settings().texts;
  const bool rescale = false;
  const std::int32_t zero = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatDetailedOutput(t.Title, count, table, rescale, zero, zero));
  }
  ReportRate(state, count);
}

/// The whole headless run, file to file, as the Run button does it.
void BM_RunPipeline(benchmark::State& state, bool cleanedDataOnly) {
  Field& field = Field::Get();
  if (!field.Problem().empty()) return state.SkipWithError(field.Problem().c_str());
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error) / "tarvik-bench";
  fs::create_directories(folder, error);
  if (error) return state.SkipWithError("cannot create the temporary folder");
  const fs::path input = folder / "field.txt";
  {
    std::ofstream file(input, std::ios::binary | std::ios::trunc);
    file.write(field.Text().data(), static_cast<std::streamsize>(field.Text().size()));
    if (!file) return state.SkipWithError("cannot write the temporary input file");
  }
  RunSettings settings = field.Settings().texts;
  settings.InputFile = input.string();
  settings.OutputFile = (folder / "fieldout.txt").string();
  settings.Option3 = cleanedDataOnly;

  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  RunOutcome outcome;
  for (auto _ : state) {
    outcome = RunPipeline(count, *table, settings);
    if (outcome.Status != RunStatus::Finished) break;
  }
  fs::remove_all(folder, error);
  if (outcome.Status != RunStatus::Finished) {
    return state.SkipWithError((outcome.Text + ": " + outcome.Detail).c_str());
  }
  state.SetLabel(std::to_string(outcome.Counts.ByCode[0]) + " of " + std::to_string(count) +
                 " retained");
  ReportRate(state, count);
}

/// Fast stages run many times; the literal neighbour searches and the whole
/// run take seconds, so a few iterations suffice.
void RegisterAll() {
  using benchmark::RegisterBenchmark;
  constexpr auto kMs = benchmark::kMillisecond;
  RegisterBenchmark("ParseAdvancedExport", BM_ParseAdvancedExport)->Unit(kMs);
  const struct {
    const char* name;
    Stage stage;
    bool slow;
  } stages[] = {
      {"ComputeYield", Stage::kComputeYield, false},
      {"NumberSegments", Stage::kNumberSegments, false},
      {"ConvertToUTM", Stage::kConvertToUTM, false},
      {"AssignBlocks", Stage::kAssignBlocks, false},
      {"CheckHeaderStatus", Stage::kCheckHeaderStatus, false},
      {"CheckStartPassDelay", Stage::kCheckStartPassDelay, false},
      {"CheckEndPassDelay", Stage::kCheckEndPassDelay, false},
      {"CheckVariableDistribution", Stage::kCheckVariableDistribution, false},
      {"CheckMinimumYield", Stage::kCheckMinimumYield, false},
      {"CheckMaximumYield", Stage::kCheckMaximumYield, false},
      {"SortByBlocks", Stage::kSortByBlocks, false},
      {"CheckNeighbourhood", Stage::kCheckNeighbourhood, true},
      {"CheckCoLocatedPoints", Stage::kCheckCoLocatedPoints, true},
      {"RestoreInputOrder", Stage::kRestoreInputOrder, false},
      {"CheckValidSegments", Stage::kCheckValidSegments, false},
  };
  for (const auto& entry : stages) {
    auto* bench = RegisterBenchmark(entry.name, BM_Stage, entry.stage)->Unit(kMs);
    if (entry.slow) {
      bench->Iterations(3);
    } else {
      // Each iteration copies the 62,000-point table untimed first.
      bench->MinTime(0.1);
    }
  }
  RegisterBenchmark("FormatBasicOutput", BM_FormatBasicOutput)->Unit(kMs);
  RegisterBenchmark("FormatDetailedOutput", BM_FormatDetailedOutput)->Unit(kMs);
  RegisterBenchmark("RunPipeline/basic", BM_RunPipeline, true)->Unit(kMs)->Iterations(3);
  RegisterBenchmark("RunPipeline/detailed", BM_RunPipeline, false)->Unit(kMs)->Iterations(3);
}

}  // namespace
}  // namespace tarvik

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tarvik::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Benchmarks of the delay step on a simulated field of 62,000 points whose
// flows are logged 12 s late: the whole estimate (every candidate delay) and
// one shift of the flows.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "core/point_table.h"
#include "input/advanced_export.h"
#include "input/delay.h"
#include "input/delay_estimate.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

/// The field's table as the reader leaves it; the reason when it cannot be read.
const PointTable& LateField(std::int32_t& count, std::string& problem) {
  static std::int32_t points = 0;
  static std::string reason;
  static const std::unique_ptr<PointTable> table = [] {
    auto read = std::make_unique<PointTable>();
    FieldSimOptions options;
    options.Seed = 1;
    options.Points = kMaxPoints;
    options.FlowDelay = 12;
    const ReadResult result =
        ParseAdvancedExport(SimulateField(options), "simulated field", *read, points);
    if (!result.ok()) reason = result.reason();
    return read;
  }();
  count = points;
  problem = reason;
  return *table;
}

void BM_EstimateFlowDelay(benchmark::State& state) {
  std::int32_t count = 0;
  std::string problem;
  const PointTable& table = LateField(count, problem);
  if (!problem.empty()) return state.SkipWithError(problem.c_str());
  DelayEstimate estimate;
  for (auto _ : state) {
    estimate = EstimateFlowDelay(count, table);
    benchmark::DoNotOptimize(estimate.Delay);
  }
  state.counters["delay"] = estimate.Delay;
  state.counters["points/s"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EstimateFlowDelay)->Unit(benchmark::kMillisecond);

void BM_FlowDelay(benchmark::State& state) {
  std::int32_t count = 0;
  std::string problem;
  const PointTable& table = LateField(count, problem);
  if (!problem.empty()) return state.SkipWithError(problem.c_str());
  auto work = std::make_unique<PointTable>();
  for (auto _ : state) {
    state.PauseTiming();
    work->records = table.records;
    state.ResumeTiming();
    benchmark::DoNotOptimize(FlowDelay(count, *work, 12));
  }
  state.counters["points/s"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FlowDelay)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvik

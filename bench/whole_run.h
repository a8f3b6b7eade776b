// The whole headless run timed from a file to a file, shared by the benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "core/point_table.h"
#include "run/run.h"

namespace tarvik {

/// A benchmark of the engine, in milliseconds: timed by the wall clock, since
/// the engine may use more than one thread, with the CPU time of them all.
inline benchmark::internal::Benchmark* InMilliseconds(benchmark::internal::Benchmark* benchmark) {
  return benchmark->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
}

/// Writes `text` as the file `name` in the temporary folder `folderName`,
/// then times RunPipeline with `settings` on it, its output beside it. Returns
/// the last outcome and leaves its count in `count`; when the run cannot be
/// timed, the benchmark is skipped with the reason and the outcome is not
/// Finished.
inline RunOutcome TimeWholeRun(benchmark::State& state, const std::string& folderName,
                               const std::string& name, std::string_view text, RunSettings settings,
                               std::int32_t& count) {
  namespace fs = std::filesystem;
  RunOutcome outcome;
  outcome.Status = RunStatus::InvalidInput;
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error) / folderName;
  fs::create_directories(folder, error);
  if (error) {
    state.SkipWithError("cannot create the temporary folder");
    return outcome;
  }
  const fs::path input = folder / name;
  {
    std::ofstream file(input, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file) {
      state.SkipWithError("cannot write the temporary input file");
      return outcome;
    }
  }
  settings.InputFile = input.string();
  settings.OutputFile = (folder / "fieldout.txt").string();

  auto table = std::make_unique<PointTable>();
  for (auto _ : state) {
    outcome = RunPipeline(count, *table, settings);
    if (outcome.Status != RunStatus::Finished) break;
  }
  fs::remove_all(folder, error);
  if (outcome.Status != RunStatus::Finished) {
    state.SkipWithError((outcome.Text + ": " + outcome.Detail).c_str());
  }
  return outcome;
}

}  // namespace tarvik

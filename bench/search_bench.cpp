// The neighbour searches side by side with their literal versions, and the
// whole run from file to file, on generated fields of three sizes and on a
// field whose buffer band holds every point.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "bench/whole_run.h"
#include "checks/colocated.h"
#include "checks/neighbourhood.h"
#include "reference/prepared_field.h"
#include "reference/reference_checks.h"
#include "run/run.h"
#include "tools/fieldsim.h"

namespace tarvik {

/// Defined in run_bench.cpp: the supplied settings as the window holds them.
std::optional<std::string> SuppliedRunSettings(RunSettings& texts);

namespace {

/// One generated field of the comparison.
struct FieldCase {
  const char* name;
  std::int32_t points;
  bool allInBufferBand;
};

constexpr FieldCase kFields[] = {
    {"10000", 10000, false},
    {"31000", 31000, false},
    {"62000", 62000, false},
    {"62000-band", 62000, true},
};

/// A buffer text whose quarter is the widest half-width: every point lies in
/// the buffer band.
constexpr const char* kWidestBuffer = "131068";
constexpr std::int16_t kWidestHalfWidth = 32767;

/// The field's text and its table as the run hands it to the neighbourhood
/// check, made once.
struct Prepared {
  std::string text;
  std::unique_ptr<PointTable> table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  std::string problem;
};

const Prepared& Get(const FieldCase& field) {
  static std::map<std::string, std::unique_ptr<Prepared>> cache;
  auto& slot = cache[field.name];
  if (!slot) {
    slot = std::make_unique<Prepared>();
    FieldSimOptions options;
    options.Seed = 1;
    options.Points = field.points;
    slot->text = SimulateField(options);
    ConvertedSettings values = reference::SuppliedValues();
    if (field.allInBufferBand) values.BufferHalfWidth = kWidestHalfWidth;
    slot->problem = reference::PrepareField(slot->text, values, *slot->table, slot->count);
  }
  return *slot;
}

enum class Check { Neighbourhood, CoLocated };

/// One check, literal or the engine's, on a fresh copy of the prepared table
/// (the copy, and for the co-located check the neighbourhood check before
/// it, outside the timed region).
void BM_Check(benchmark::State& state, FieldCase field, Check check, bool literal) {
  const Prepared& prepared = Get(field);
  if (!prepared.problem.empty()) return state.SkipWithError(prepared.problem.c_str());
  const ConvertedSettings v = reference::SuppliedValues();
  auto work = std::make_unique<PointTable>();
  std::int32_t high = 0;
  std::int32_t low = 0;
  std::int32_t duplicates = 0;
  const std::int32_t count = prepared.count;
  for (auto _ : state) {
    state.PauseTiming();
    work->records = prepared.table->records;
    if (check == Check::CoLocated) {
      CheckNeighbourhood(count, *work, high, low, v.SearchX, v.SearchY, v.SearchSD);
    }
    state.ResumeTiming();
    if (check == Check::Neighbourhood) {
      if (literal) {
        reference::CheckNeighbourhood(count, *work, high, low, v.SearchX, v.SearchY, v.SearchSD);
      } else {
        CheckNeighbourhood(count, *work, high, low, v.SearchX, v.SearchY, v.SearchSD);
      }
    } else if (literal) {
      reference::CheckCoLocatedPoints(count, *work, duplicates);
    } else {
      CheckCoLocatedPoints(count, *work, duplicates);
    }
    benchmark::ClobberMemory();
  }
}

/// The whole headless run, from the input file to the detailed output file.
void BM_WholeRun(benchmark::State& state, FieldCase field) {
  const Prepared& prepared = Get(field);
  if (!prepared.problem.empty()) return state.SkipWithError(prepared.problem.c_str());
  RunSettings settings;
  if (auto problem = SuppliedRunSettings(settings)) return state.SkipWithError(problem->c_str());
  settings.BasicOutput = false;
  if (field.allInBufferBand) settings.SearchSize = kWidestBuffer;
  std::int32_t count = 0;
  TimeWholeRun(state, "tarvik-search-bench", std::string(field.name) + ".txt", prepared.text,
               settings, count);
}

}  // namespace

/// Compare/<check>/<literal|engine>/<field> and Compare/WholeRun/<field>;
/// bench/compare.py turns them into a table of ratios.
void RegisterSearchComparisons() {
  using benchmark::RegisterBenchmark;
  for (const FieldCase& field : kFields) {
    const std::string suffix = std::string("/") + field.name;
    for (const bool literal : {true, false}) {
      const std::string kind = literal ? "literal" : "engine";
      auto* n = RegisterBenchmark(("Compare/Neighbourhood/" + kind + suffix).c_str(), BM_Check,
                                  field, Check::Neighbourhood, literal);
      auto* c = RegisterBenchmark(("Compare/CoLocated/" + kind + suffix).c_str(), BM_Check, field,
                                  Check::CoLocated, literal);
      InMilliseconds(n);
      InMilliseconds(c);
      if (literal) {
        n->Iterations(1);
        c->Iterations(1);
      } else {
        n->MinTime(0.2);
        c->MinTime(0.2);
      }
    }
    InMilliseconds(
        RegisterBenchmark(("Compare/WholeRun/engine" + suffix).c_str(), BM_WholeRun, field))
        ->MinTime(0.5);
  }
}

}  // namespace tarvik

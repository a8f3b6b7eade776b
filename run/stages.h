// The stages of a run between the read and the output, in the order they
// run. The run, the input button's preload and the benchmarks all take them
// from this one list.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/point_table.h"
#include "core/progress.h"
#include "input/blocks.h"
#include "run/run.h"

namespace tarvik {

/// What the stages share: the table and the settings they run on, and what
/// one stage hands on to later ones.
struct StageState {
  StageState(const std::int32_t& count, PointTable& table, const ConvertedSettings& settings,
             Progress& progress)
      : count(count), table(table), settings(settings), progress(progress) {}

  const std::int32_t& count;
  PointTable& table;
  const ConvertedSettings& settings;
  Progress& progress;
  bool widenExtent = true;       // false: the extent stays as the coordinates give it (preload)
  FieldExtent extent;            // set with the coordinates, read by the block grid
  bool grouped = false;          // between the regrouping by blocks and the restoring of file order
  std::int32_t highCounter = 0;  // code 9 marks of the neighbourhood check
  std::int32_t lowCounter = 0;   // code 10 marks
  std::int32_t duplicateCounter = 0;  // partners marked by the co-located check
};

/// One stage: its name, what it does, and, where it ends a group of stages,
/// the name the stage checks give that group and whether the table is then
/// in file order.
struct RunStage {
  const char* name;
  void (*run)(StageState& state);
  const char* groupEnd = nullptr;
  bool fileOrder = true;
};

/// The stages after the read and the delays, in run order: the derived
/// fields, the screening checks, the regrouping by blocks, the neighbourhood
/// checks, the restoring of the file order and the segment check.
extern const std::array<RunStage, 15> kRunStages;

/// The first stages of kRunStages, which the preload runs: the yield, the
/// passes and the coordinates.
std::span<const RunStage> PreloadStages();

}  // namespace tarvik

#include "run/stages.h"

#include "checks/colocated.h"
#include "checks/distribution.h"
#include "checks/neighbourhood.h"
#include "checks/ordering.h"
#include "checks/screening.h"
#include "input/segments.h"
#include "input/yield.h"

namespace tarvik {

namespace {

void Yield(StageState& s) {
  ComputeYield(s.count, s.table, s.settings.TargetMoisture, s.settings.TestWeight);
}

void Segments(StageState& s) {
  NumberSegments(s.count, s.table);
}

void Coordinates(StageState& s) {
  s.extent = ConvertCoordinates(s.count, s.table);
  if (s.widenExtent) WidenFieldExtent(s.extent);
}

void Blocks(StageState& s) {
  AssignBlocks(s.count, s.table, s.extent, s.settings.BufferHalfWidth);
}

void HeaderStatus(StageState& s) {
  CheckHeaderStatus(s.count, s.table, s.progress);
}

void StartPass(StageState& s) {
  CheckStartPassDelay(s.count, s.table, s.settings.StartPassDelay, s.progress);
}

void EndPass(StageState& s) {
  CheckEndPassDelay(s.count, s.table, s.settings.EndPassDelay, s.progress);
}

void Distribution(StageState& s) {
  CheckVariableDistribution(s.count, s.table, s.settings.SDOutlier, s.progress);
}

void MinimumYield(StageState& s) {
  CheckMinimumYield(s.count, s.table, s.settings.LowerLimit, s.progress);
}

void MaximumYield(StageState& s) {
  CheckMaximumYield(s.count, s.table, s.settings.UpperLimit);
}

void Regroup(StageState& s) {
  SortByBlocks(s.count, s.table);
  s.grouped = true;
}

void Neighbourhood(StageState& s) {
  CheckNeighbourhood(s.count, s.table, s.highCounter, s.lowCounter, s.settings.SearchX,
                     s.settings.SearchY, s.settings.SearchSD, s.progress);
}

void CoLocated(StageState& s) {
  CheckCoLocatedPoints(s.count, s.table, s.duplicateCounter, s.progress);
}

void FileOrder(StageState& s) {
  RestoreInputOrder(s.count, s.table);
  s.grouped = false;
}

void ValidSegments(StageState& s) {
  CheckValidSegments(s.count, s.table, s.settings.MinimumPoints);
}

}  // namespace

const std::array<RunStage, 15> kRunStages = {{
    {"ComputeYield", Yield, nullptr, true},
    {"NumberSegments", Segments, nullptr, true},
    {"ConvertToUTM", Coordinates, nullptr, true},
    {"AssignBlocks", Blocks, "the derived fields", true},
    {"CheckHeaderStatus", HeaderStatus, nullptr, true},
    {"CheckStartPassDelay", StartPass, nullptr, true},
    {"CheckEndPassDelay", EndPass, nullptr, true},
    {"CheckVariableDistribution", Distribution, nullptr, true},
    {"CheckMinimumYield", MinimumYield, nullptr, true},
    {"CheckMaximumYield", MaximumYield, "the screening checks", true},
    {"SortByBlocks", Regroup, "the regrouping", false},
    {"CheckNeighbourhood", Neighbourhood, nullptr, true},
    {"CheckCoLocatedPoints", CoLocated, "the neighbourhood checks", false},
    {"RestoreInputOrder", FileOrder, "the restoring of the file order", true},
    {"CheckValidSegments", ValidSegments, "the segment check", true},
}};

std::span<const RunStage> PreloadStages() {
  return std::span<const RunStage>(kRunStages).first(3);
}

}  // namespace tarvik

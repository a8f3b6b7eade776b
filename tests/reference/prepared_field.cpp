#include "reference/prepared_field.h"

#include "checks/distribution.h"
#include "checks/ordering.h"
#include "checks/screening.h"
#include "core/errors.h"
#include "input/advanced_export.h"
#include "input/blocks.h"
#include "input/segments.h"
#include "input/yield.h"

namespace tarvik::reference {

ConvertedSettings SuppliedValues() {
  ConvertedSettings v;
  v.TargetMoisture = 15.5F;
  v.TestWeight = 56;
  v.BufferHalfWidth = 2;
  v.StartPassDelay = 4;
  v.EndPassDelay = 4;
  v.SDOutlier = 3;
  v.LowerLimit = 1;
  v.UpperLimit = 350;
  v.SearchX = 20;
  v.SearchY = 10;
  v.SearchSD = 3.5F;
  v.MinimumPoints = 10;
  return v;
}

std::string PrepareField(std::string_view text, const ConvertedSettings& v, PointTable& table,
                         std::int32_t& count) {
  const ReadResult read = ParseAdvancedExport(text, "generated field", table, count);
  if (!read.ok()) return read.reason();
  try {
    ComputeYield(count, table, v.TargetMoisture, v.TestWeight);
    NumberSegments(count, table);
    FieldExtent extent = ConvertCoordinates(count, table);
    WidenFieldExtent(extent);
    AssignBlocks(count, table, extent, v.BufferHalfWidth);
    CheckHeaderStatus(count, table);
    CheckStartPassDelay(count, table, v.StartPassDelay);
    CheckEndPassDelay(count, table, v.EndPassDelay);
    CheckVariableDistribution(count, table, v.SDOutlier);
    CheckMinimumYield(count, table, v.LowerLimit);
    CheckMaximumYield(count, table, v.UpperLimit);
    SortByBlocks(count, table);
  } catch (const RunError& error) {
    return error.what();
  }
  return {};
}

}  // namespace tarvik::reference

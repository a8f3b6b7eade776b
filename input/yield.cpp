#include "input/yield.h"

#include <cmath>
#include <string>

#include "core/errors.h"

namespace tarvik {

namespace {

constexpr double kInchesPerFoot = 12;
constexpr double kSquareFeetPerAcre = 43560;
constexpr double kFullMoisture = 100;

}  // namespace

void ComputeYield(const std::int32_t& count, PointTable& table, const float& targetMoisture,
                  const float& testWeight) {
  const double dryShare = kFullMoisture - static_cast<double>(targetMoisture);
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& point = table[i];

    // Acres covered in the logging interval, kept in single precision.
    const double area = static_cast<float>(
        ((point.Swath / kInchesPerFoot) * point.Distance / kInchesPerFoot) / kSquareFeetPerAcre);

    float yield = 0;
    if (area != 0) {
      if (testWeight == 0) {
        StopAtPoint(i, "the test weight is 0, so the yield is a division by zero.");
      }
      const double interval = static_cast<float>(point.GPSInterval);
      yield = static_cast<float>((interval * point.GrainFlow) / (area * testWeight));
      if (!std::isfinite(yield)) {
        StopAtPoint(i, "the wet yield is beyond the single-precision range.");
      }
    }

    // Corrected to the crop's standard moisture.
    if (dryShare == 0) {
      StopAtPoint(
          i, "the standard moisture is 100 %, so the moisture correction is a division by zero.");
    }
    yield = static_cast<float>(((kFullMoisture - point.Moisture) * yield) / dryShare);
    if (!std::isfinite(yield)) StopAtPoint(i, "the yield is beyond the single-precision range.");
    point.Yield = yield;
  }
}

}  // namespace tarvik

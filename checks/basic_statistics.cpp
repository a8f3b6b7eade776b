#include "checks/basic_statistics.h"

namespace tarvik {

double ComputeMean(const std::int32_t&, std::span<const double>) { return 0; }
SampleStats ComputeSampleStats(const std::int32_t&, std::span<const double>) { return {}; }
double InverseDistanceMean(const std::int16_t&, std::span<const float>, std::span<const float>, const float&, const float&) { return 0; }
double DistanceScaledSD(const std::int16_t&, std::span<const float>, std::span<const float>, const float&) { return 0; }

}  // namespace tarvik

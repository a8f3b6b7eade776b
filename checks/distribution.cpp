#include "checks/distribution.h"

namespace tarvik {

DistributionCounts CheckVariableDistribution(const std::int32_t&, PointTable&, const float&, Progress&) { return {}; }

}  // namespace tarvik

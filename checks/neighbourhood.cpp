#include "checks/neighbourhood.h"

namespace tarvik {

void CheckNeighbourhood(const std::int32_t&, PointTable&, std::int32_t&, std::int32_t&, const float&, const float&, const float&, Progress&) {}

}  // namespace tarvik

#include "input/yield.h"

namespace tarvik {

void ComputeYield(const std::int32_t&, PointTable&, const float&, const float&) {}

}  // namespace tarvik

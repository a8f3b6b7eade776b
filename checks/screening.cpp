#include "checks/screening.h"

namespace tarvik {

std::int32_t CheckHeaderStatus(const std::int32_t&, PointTable&, Progress&) { return 0; }
std::int32_t CheckStartPassDelay(const std::int32_t&, PointTable&, const std::int16_t&, Progress&) { return 0; }
std::int32_t CheckEndPassDelay(const std::int32_t&, PointTable&, const std::int16_t&, Progress&) { return 0; }
std::int32_t CheckMinimumYield(const std::int32_t&, PointTable&, const float&, Progress&) { return 0; }
std::int32_t CheckMaximumYield(const std::int32_t&, PointTable&, const float&) { return 0; }
std::int32_t CheckValidSegments(const std::int32_t&, PointTable&, const std::int16_t&) { return 0; }

}  // namespace tarvik

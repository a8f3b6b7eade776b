#include "input/segments.h"

namespace tarvik {

void NumberSegments(const std::int32_t&, PointTable&) {}

}  // namespace tarvik

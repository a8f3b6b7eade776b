#include "input/blocks.h"

namespace tarvik {

void AssignBlocks(const std::int32_t&, PointTable&, const FieldExtent&, const std::int16_t&) {}

}  // namespace tarvik

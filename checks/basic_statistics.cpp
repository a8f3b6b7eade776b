#include "checks/basic_statistics.h"

namespace tarvik {

double ComputeMean(const std::int32_t&, std::span<const double>) { return 0; }
SampleStats ComputeSampleStats(const std::int32_t&, std::span<const double>) { return {}; }



}  // namespace tarvik

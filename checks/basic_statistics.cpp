#include "checks/basic_statistics.h"

#include <cmath>

namespace tarvik {

double ComputeMean(const std::int32_t& n, std::span<const double> values) {
  if (n <= 0) return 0;
  const double divisor = n;
  double sum = 0;
  // Each value is divided before it is added, so the sum never outgrows the values.
  for (std::int32_t i = 0; i < n; ++i) sum += values[static_cast<std::size_t>(i)] / divisor;
  return sum;
}

SampleStats ComputeSampleStats(const std::int32_t& n, std::span<const double> values) {
  SampleStats stats;
  stats.N = n;
  stats.Mean = ComputeMean(n, values);
  if (n < 2) return stats;
  const double divisor = n - 1;
  double sum = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double deviation = values[static_cast<std::size_t>(i)] - stats.Mean;
    sum += deviation * deviation / divisor;
  }
  stats.StdDev = std::sqrt(sum);
  return stats;
}

}  // namespace tarvik

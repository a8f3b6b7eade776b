// Statistics routines used by the distribution and neighbourhood checks.
#pragma once

#include <cstdint>
#include <span>

namespace tarvik {

struct SampleStats {
  std::int32_t N = 0;  // number of values described
  double Mean = 0;     // arithmetic mean
  double StdDev = 0;   // sample standard deviation (divisor n - 1); 0 when N < 2
};

/// Mean of values[0..n-1], each value divided by n before it is summed; 0 when n is 0.
double ComputeMean(const std::int32_t& n, std::span<const double> values);

/// N, mean and sample standard deviation of values[0..n-1].
SampleStats ComputeSampleStats(const std::int32_t& n, std::span<const double> values);

/// Inverse-distance weighted mean of yields[0..n-1] with weights
/// 1 / (d^2 + p^2)^q; 0 when n is 0.
double InverseDistanceMean(const std::int16_t& n, std::span<const float> yields,
                           std::span<const float> distances, const float& p, const float& q);

/// Sample standard deviation of the distance-scaled yields y / sqrt(d^2 + p^2);
/// 0 when n < 2, and 0 when rounding makes the variance negative. Throws
/// RunError when n * (n - 1) passes the 16-bit range (n above 181).
double DistanceScaledSD(const std::int16_t& n, std::span<const float> yields,
                        std::span<const float> distances, const float& p);

}  // namespace tarvik

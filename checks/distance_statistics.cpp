// The neighbourhood check's two statistics over a neighbour list.
#include <cmath>
#include <limits>
#include <string>

#include "checks/basic_statistics.h"
#include "core/errors.h"

namespace tarvik {

double InverseDistanceMean(const std::int16_t& n, std::span<const float> yields,
                           std::span<const float> distances, const float& p, const float& q) {
  if (n <= 0) return 0;
  const double pp = static_cast<double>(p) * p;
  double s1 = 0;
  double s2 = 0;
  for (std::int16_t k = 0; k < n; ++k) {
    const double d = distances[static_cast<std::size_t>(k)];
    const double base = d * d + pp;
    // A square is a product on every machine; other exponents go through pow.
    const double w = q == 2.0F ? base * base : std::pow(base, static_cast<double>(q));
    s1 += static_cast<double>(yields[static_cast<std::size_t>(k)]) / w;
    s2 += 1 / w;
  }
  return s1 / s2;
}

double DistanceScaledSD(const std::int16_t& n, std::span<const float> yields,
                        std::span<const float> distances, const float& p) {
  const double pp = static_cast<double>(p) * p;
  double s1 = 0;
  double s2 = 0;
  for (std::int16_t k = 0; k < n; ++k) {
    const double d = distances[static_cast<std::size_t>(k)];
    const double r = std::sqrt(d * d + pp);
    const double z = static_cast<double>(yields[static_cast<std::size_t>(k)]) / r;
    s1 += z;
    s2 += z * z;
  }
  if (n < 2) return 0;
  // n * (n - 1) is a 16-bit product: it fits for the 64 entries of a
  // neighbour list, and a longer list stops the run rather than wrapping.
  const std::int32_t product = std::int32_t{n} * (n - 1);
  if (product > std::numeric_limits<std::int16_t>::max()) {
    throw RunError("The spread of " + std::to_string(n) +
                   " neighbour yields is beyond the 16-bit count of pairs.");
  }
  const auto pairs = static_cast<std::int16_t>(product);
  const double variance = (n * s2 - s1 * s1) / pairs;
  return variance > 0 ? std::sqrt(variance) : 0;
}

}  // namespace tarvik

#include "input/utm.h"

#include <cmath>
#include <limits>
#include <string>

#include "core/errors.h"
#include "core/number_text.h"

namespace tarvik {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kSemiMajorAxis = 6378137;  // WGS 84, metres
constexpr double kEccentricity = 0.08181919084;
constexpr double kScaleFactor = 0.9996;
constexpr double kFalseEasting = 500000;
constexpr double kCentralMeridianDegrees = -99;

/// Rounds half to even into 32 bits, or stops the run.
std::int32_t ToMetres(double value, const char* what, const UTMPoint& point) {
  const double rounded = std::nearbyint(value);
  if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max()) {
    throw RunError(std::string("the ") + what + " of latitude " + FormatGeneral(point.Latitude) +
                   ", longitude " + FormatGeneral(point.Longitude) +
                   " is beyond the 32-bit range.");
  }
  return static_cast<std::int32_t>(rounded);
}

}  // namespace

UTMPoint LatLongToUTM(UTMPoint& point) {
  const double e2 = kEccentricity * kEccentricity;
  const double e4 = std::pow(kEccentricity, 4);
  const double e6 = std::pow(kEccentricity, 6);
  const double lambda0 = kCentralMeridianDegrees * kPi / 180;

  const double phi = static_cast<double>(point.Latitude) * kPi / 180;
  const double lambda = static_cast<double>(point.Longitude) * kPi / 180;
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double tanPhi = std::tan(phi);

  const double n = kSemiMajorAxis / std::sqrt(1 - e2 * (sinPhi * sinPhi));
  const double m =
      kSemiMajorAxis *
      ((1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256) * phi -
       (3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024) * std::sin(2 * phi) +
       (15 * e4 / 256 + 45 * e6 / 1024) * std::sin(4 * phi) - (35 * e6 / 3072) * std::sin(6 * phi));
  const double c = e2 * (cosPhi * cosPhi) / (1 - e2);
  const double dl = lambda - lambda0;
  const double t = tanPhi * tanPhi;
  const double a = dl * cosPhi;

  const double x = n * (a + (1 - t + c) * std::pow(a, 3) / 6);
  const double y = m + n * sinPhi * cosPhi * (dl * dl) / 2 +
                   n * sinPhi * std::pow(cosPhi, 3) * (5 - t + 9 * c) * std::pow(dl, 4) / 24;

  point.Easting = ToMetres(kScaleFactor * x + kFalseEasting, "easting", point);
  point.Northing = ToMetres(kScaleFactor * y, "northing", point);
  return point;
}

}  // namespace tarvik

#include "input/utm.h"

#include <bit>
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

namespace {

// Terms of the series from the ellipsoid alone.
const double kE2 = kEccentricity * kEccentricity;
const double kE4 = std::pow(kEccentricity, 4);
const double kE6 = std::pow(kEccentricity, 6);
const double kLambda0 = kCentralMeridianDegrees * kPi / 180;
const double kM1 = 1 - kE2 / 4 - 3 * kE4 / 64 - 5 * kE6 / 256;
const double kM2 = 3 * kE2 / 8 + 3 * kE4 / 32 + 45 * kE6 / 1024;
const double kM3 = 15 * kE4 / 256 + 45 * kE6 / 1024;
const double kM4 = 35 * kE6 / 3072;

}  // namespace

UTMLatitudeTerms UTMLatitudeTerms::Of(float latitude) {
  const double phi = static_cast<double>(latitude) * kPi / 180;
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double tanPhi = std::tan(phi);
  UTMLatitudeTerms terms;
  terms.N = kSemiMajorAxis / std::sqrt(1 - kE2 * (sinPhi * sinPhi));
  terms.M = kSemiMajorAxis * (kM1 * phi - kM2 * std::sin(2 * phi) + kM3 * std::sin(4 * phi) -
                              kM4 * std::sin(6 * phi));
  const double c = kE2 * (cosPhi * cosPhi) / (1 - kE2);
  const double t = tanPhi * tanPhi;
  terms.CosPhi = cosPhi;
  terms.OneLessTPlusC = 1 - t + c;
  terms.NSinCos = terms.N * sinPhi * cosPhi;
  terms.NSinCos3 = terms.N * sinPhi * std::pow(cosPhi, 3) * (5 - t + 9 * c);
  return terms;
}

UTMLongitudeTerms UTMLongitudeTerms::Of(float longitude) {
  const double lambda = static_cast<double>(longitude) * kPi / 180;
  UTMLongitudeTerms terms;
  terms.DL = lambda - kLambda0;
  terms.DL4 = std::pow(terms.DL, 4);
  return terms;
}

UTMPoint LatLongToUTM(UTMPoint& point, const UTMLatitudeTerms& latitude,
                      const UTMLongitudeTerms& longitude) {
  // The series evaluated in the order of its terms: each product and sum is
  // the one the whole formula makes.
  const double dl = longitude.DL;
  const double a = dl * latitude.CosPhi;
  const double x = latitude.N * (a + latitude.OneLessTPlusC * std::pow(a, 3) / 6);
  const double y =
      latitude.M + latitude.NSinCos * (dl * dl) / 2 + latitude.NSinCos3 * longitude.DL4 / 24;

  point.Easting = ToMetres(kScaleFactor * x + kFalseEasting, "easting", point);
  point.Northing = ToMetres(kScaleFactor * y, "northing", point);
  return point;
}

UTMPoint LatLongToUTM(UTMPoint& point) {
  return LatLongToUTM(point, UTMLatitudeTerms::Of(point.Latitude),
                      UTMLongitudeTerms::Of(point.Longitude));
}

UTMPoint UTMConverter::Convert(UTMPoint& point) {
  const auto latitudeBits = std::bit_cast<std::uint32_t>(point.Latitude);
  const auto longitudeBits = std::bit_cast<std::uint32_t>(point.Longitude);
  Kept<UTMLatitudeTerms>& latitude = latitudes_[Slot(latitudeBits)];
  if (!latitude.Valid || latitude.Bits != latitudeBits) {
    latitude = {true, latitudeBits, UTMLatitudeTerms::Of(point.Latitude)};
  }
  Kept<UTMLongitudeTerms>& longitude = longitudes_[Slot(longitudeBits)];
  if (!longitude.Valid || longitude.Bits != longitudeBits) {
    longitude = {true, longitudeBits, UTMLongitudeTerms::Of(point.Longitude)};
  }
  return LatLongToUTM(point, latitude.Terms, longitude.Terms);
}

}  // namespace tarvik

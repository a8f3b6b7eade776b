// Latitude/longitude to a Transverse Mercator grid on the 99 degrees west meridian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik {

struct UTMPoint {
  float Latitude = 0;         // degrees, north positive (input)
  float Longitude = 0;        // degrees, east positive (input)
  std::int32_t Easting = 0;   // metres (output)
  std::int32_t Northing = 0;  // metres (output)
};

/// Sets Easting and Northing of `point` and returns a copy of it.
/// Throws RunError when a result is not finite or beyond 32 bits.
UTMPoint LatLongToUTM(UTMPoint& point);

/// The terms of the projection that depend on the latitude alone.
struct UTMLatitudeTerms {
  double CosPhi = 0;
  double N = 0;              // radius of curvature in the prime vertical
  double M = 0;              // meridian arc
  double OneLessTPlusC = 0;  // 1 - t + c
  double NSinCos = 0;        // N sin(phi) cos(phi)
  double NSinCos3 = 0;       // N sin(phi) cos^3(phi) (5 - t + 9c)

  static UTMLatitudeTerms Of(float latitude);
};

/// The terms of the projection that depend on the longitude alone.
struct UTMLongitudeTerms {
  double DL = 0;   // from the central meridian, radians
  double DL4 = 0;  // its fourth power

  static UTMLongitudeTerms Of(float longitude);
};

/// LatLongToUTM from the terms of the point's latitude and longitude.
UTMPoint LatLongToUTM(UTMPoint& point, const UTMLatitudeTerms& latitude,
                      const UTMLongitudeTerms& longitude);

/// LatLongToUTM for the points of a field. The points of a field share few
/// latitudes and longitudes (as single-precision numbers), so the terms of
/// those met last are kept, and most points cost a few products; the
/// results are those of LatLongToUTM to the bit.
class UTMConverter {
 public:
  UTMPoint Convert(UTMPoint& point);

 private:
  template <typename T>
  struct Kept {
    bool Valid = false;
    std::uint32_t Bits = 0;  // of the latitude or longitude
    T Terms;
  };
  static constexpr std::size_t kSlots = 4096;
  static std::size_t Slot(std::uint32_t bits) { return (bits ^ (bits >> 12)) % kSlots; }

  std::vector<Kept<UTMLatitudeTerms>> latitudes_ = std::vector<Kept<UTMLatitudeTerms>>(kSlots);
  std::vector<Kept<UTMLongitudeTerms>> longitudes_ = std::vector<Kept<UTMLongitudeTerms>>(kSlots);
};

}  // namespace tarvik

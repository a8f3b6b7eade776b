// Latitude/longitude to a Transverse Mercator grid on the 99 degrees west meridian.
#pragma once

#include <cstdint>

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

}  // namespace tarvik

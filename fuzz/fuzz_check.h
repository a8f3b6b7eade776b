// A failed expectation inside a fuzz target: says what broke and aborts, so
// that libFuzzer keeps the input that broke it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/point_table.h"

namespace tarvik::fuzz {

[[noreturn]] inline void Broken(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "expectation broken: %.*s %.*s\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void Expect(bool holds, std::string_view what, std::string_view detail = {}) {
  if (!holds) Broken(what, detail);
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

/// What every point a reader keeps must hold: coordinates in range, finite
/// numbers, no removal code yet.
inline void ExpectReadPoint(const YieldPoint& p) {
  Expect(std::isfinite(p.Latitude) && p.Latitude <= 90, "latitude at most 90");
  Expect(std::isfinite(p.Longitude) && p.Longitude >= -180 && p.Longitude <= 180,
         "longitude from -180 to 180");
  Expect(std::isfinite(p.GrainFlow) && std::isfinite(p.Moisture) && std::isfinite(p.Elevation),
         "numbers are finite");
  Expect(p.RemovalCode == 0, "a read point is retained");
}

}  // namespace tarvik::fuzz

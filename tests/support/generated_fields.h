// Generated fields for tests.
#pragma once

#include <cstdint>

#include "tools/fieldsim.h"

namespace tarvik::testing {

/// A field of `points` records from `seed`, with passes `passLength` metres
/// long (0: a roughly square field) cut `swath` inches wide.
inline FieldSimOptions Options(std::uint64_t seed, std::int32_t points, double passLength = 0,
                               std::int16_t swath = 360) {
  FieldSimOptions options;
  options.Seed = seed;
  options.Points = points;
  options.PassLength = passLength;
  options.Swath = swath;
  return options;
}

}  // namespace tarvik::testing

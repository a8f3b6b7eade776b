// A field simulator: writes realistic Advanced Export files for tests,
// benchmarks and the bundled sample.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik {

struct FieldSimOptions {
  std::uint64_t Seed = 1;         // same seed, same bytes
  std::int32_t Points = 5000;     // records to write
  double Latitude = 40.8;         // south-west corner of the field, degrees
  double Longitude = -96.7;       // degrees
};

/// The whole file as text: one 17-item record per line, CR LF line ends.
std::string SimulateField(const FieldSimOptions& options);

}  // namespace tarvik

// A field simulator: writes realistic Advanced Export files for tests,
// benchmarks and the bundled sample.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvik {

struct FieldSimOptions {
  std::uint64_t Seed = 1;      // same seed, same bytes
  std::int32_t Points = 5000;  // records to write
  double Latitude = 40.8;      // south-west corner of the field, degrees
  double Longitude = -96.7;    // degrees
  /// Metres from headland to headland, 20 or more; 0 makes a roughly square
  /// field for the points.
  double PassLength = 0;
  std::int16_t Swath = 360;  // cut width of a full pass, inches (60 to 720)
  /// Seconds from the cut to the logged flow, exactly: each flow is logged
  /// that late and as cut, with no lag of the sensor. Unset: the combine's
  /// own 5 s transport and the sensor's lag.
  std::optional<std::int32_t> FlowDelay;
  /// Degrees clockwise from north of the first pass; the field turns about
  /// its south-west corner (0 to 360).
  double Heading = 0;
};

/// The whole file as text: one 17-item record per line, CR LF line ends.
/// With heading 0 the field lies north and east of the corner; passes run
/// north and south in turn, with headland turns south of the corner's
/// latitude and north of the far end. Same options, same bytes, on every
/// machine.
std::string SimulateField(const FieldSimOptions& options);

}  // namespace tarvik

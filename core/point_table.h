// The table of logged points that every stage of a run works on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvik {

/// Largest number of points a table holds (positions 1 to 62,000).
inline constexpr std::int32_t kMaxPoints = 62000;

/// One observation of the yield monitor. Field order is fixed.
struct YieldPoint {
  std::int16_t RemovalCode = 0;     // 0 retained, else the code of the removing rule
  std::int32_t ID = 0;              // line number of the point in the input file, from 1
  std::int16_t Segment = 0;         // segment (pass) number, from 1
  std::int16_t PointInSegment = 0;  // position within the segment, from 1
  std::int16_t Block = 0;           // 3x3 grid cell 1..9; 0 = buffer band
  std::int32_t Easting = 0;         // UTM easting, whole metres
  std::int32_t Northing = 0;        // UTM northing, whole metres
  float Yield = 0;                  // dry yield, bu/ac at the target moisture
  std::int16_t NeighbourCount = 0;  // neighbours found by the neighbourhood check
  float NeighbourMean = 0;          // inverse-distance weighted mean yield, bu/ac
  float NeighbourSD = 0;            // spread of the distance-scaled neighbour yields
  float Latitude = 0;               // degrees, north positive
  float Longitude = 0;              // degrees, east positive
  float GrainFlow = 0;              // lb/s
  std::int32_t GPSTime = 0;         // s
  std::int16_t GPSInterval = 0;     // logging interval, s
  std::int16_t Distance = 0;        // distance travelled in the interval, inches
  std::int16_t Swath = 0;           // cut width, inches
  float Moisture = 0;               // grain moisture, %
  std::int16_t HeaderStatus = 0;    // header status code (1 = header up)
  std::int16_t PassNo = 0;          // pass number of the monitor
  std::string SerialNo;             // monitor serial number
  std::string FieldID;              // field identifier
  std::string LoadNo;               // load identifier
  std::string GrainType;            // grain type
  std::int16_t GPSStatus = 0;       // GPS status code
  std::int16_t PDOP = 0;            // position dilution of precision
  float Elevation = 0;              // as logged

  friend bool operator==(const YieldPoint&, const YieldPoint&) = default;
};

/// Points at positions 1..count; position 0 and positions above the count
/// hold blank records. Always has positions 0 to kMaxPoints.
struct PointTable {
  PointTable();

  YieldPoint& operator[](std::int32_t position) {
    return records[static_cast<std::size_t>(position)];
  }
  const YieldPoint& operator[](std::int32_t position) const {
    return records[static_cast<std::size_t>(position)];
  }

  std::vector<YieldPoint> records;
};

/// Makes every record of the table blank again (positions 0 to kMaxPoints).
void RecreateTable(PointTable& table);

}  // namespace tarvik

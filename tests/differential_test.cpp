// The engine's neighbourhood and co-located checks against the literal
// position-by-position scans, on generated fields: every field of every
// record, the counters and the progress calls must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "checks/colocated.h"
#include "checks/neighbourhood.h"
#include "core/errors.h"
#include "core/removal_codes.h"
#include "reference/prepared_field.h"
#include "reference/reference_checks.h"
#include "support/generated_fields.h"
#include "support/recording_progress.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

using testing::Options;
using testing::RecordingProgress;

/// Window and band of one comparison.
struct Search {
  float X;
  float Y;
  float SD;
};

/// Settings compared on every field: windows from 2 m to 100 m, square and
/// oblong either way, and bands that are negative, zero, usual and huge.
const std::vector<Search> kSearches = {
    {20, 10, 3.5F}, {2, 2, 3.5F}, {5, 3, 1},      {10, 40, 2},    {100, 100, 3.5F},
    {100, 20, 0},   {33, 7, -1},  {20, 10, 1e6F}, {50, 50, 0.5F}, {3.5F, 9.25F, 2},
};

/// How many fields and settings the suite compared, for the summary line.
int comparisons = 0;

std::string Describe(const YieldPoint& a, const YieldPoint& b) {
  auto f = [](float x) {
    return std::to_string(x) + " (" + std::to_string(std::bit_cast<std::uint32_t>(x)) + ")";
  };
  return "ID " + std::to_string(a.ID) + ": code " + std::to_string(a.RemovalCode) + " vs " +
         std::to_string(b.RemovalCode) + ", count " + std::to_string(a.NeighbourCount) + " vs " +
         std::to_string(b.NeighbourCount) + ", mean " + f(a.NeighbourMean) + " vs " +
         f(b.NeighbourMean) + ", SD " + f(a.NeighbourSD) + " vs " + f(b.NeighbourSD);
}

/// Bitwise equality of two records, so that equal NaNs count as equal.
bool Same(const YieldPoint& a, const YieldPoint& b) {
  const auto bits = [](float x) { return std::bit_cast<std::uint32_t>(x); };
  return a.RemovalCode == b.RemovalCode && a.ID == b.ID && a.Segment == b.Segment &&
         a.PointInSegment == b.PointInSegment && a.Block == b.Block && a.Easting == b.Easting &&
         a.Northing == b.Northing && bits(a.Yield) == bits(b.Yield) &&
         a.NeighbourCount == b.NeighbourCount && bits(a.NeighbourMean) == bits(b.NeighbourMean) &&
         bits(a.NeighbourSD) == bits(b.NeighbourSD) && bits(a.Latitude) == bits(b.Latitude) &&
         bits(a.Longitude) == bits(b.Longitude) && bits(a.GrainFlow) == bits(b.GrainFlow) &&
         a.GPSTime == b.GPSTime && a.GPSInterval == b.GPSInterval && a.Distance == b.Distance &&
         a.Swath == b.Swath && bits(a.Moisture) == bits(b.Moisture) &&
         a.HeaderStatus == b.HeaderStatus && a.PassNo == b.PassNo && a.SerialNo == b.SerialNo &&
         a.FieldID == b.FieldID && a.LoadNo == b.LoadNo && a.GrainType == b.GrainType &&
         a.GPSStatus == b.GPSStatus && a.PDOP == b.PDOP && bits(a.Elevation) == bits(b.Elevation);
}

void ExpectSameTables(const PointTable& expected, const PointTable& actual, std::int32_t count,
                      const std::string& what) {
  int shown = 0;
  // A few blank positions past the count as well: nothing may be written there.
  for (std::int32_t i = 0; i <= std::min(count + 3, kMaxPoints) && shown < 5; ++i) {
    if (Same(expected[i], actual[i])) continue;
    ADD_FAILURE() << what << ", position " << i << " of " << count << ": "
                  << Describe(expected[i], actual[i]);
    ++shown;
  }
}

void ExpectSameProgress(const RecordingProgress& expected, const RecordingProgress& actual,
                        const std::string& what) {
  ASSERT_EQ(expected.calls.size(), actual.calls.size()) << what;
  for (std::size_t k = 0; k < expected.calls.size(); ++k) {
    const auto& e = expected.calls[k];
    const auto& a = actual.calls[k];
    ASSERT_TRUE(e.kind == a.kind && e.status == a.status && e.number == a.number)
        << what << ", progress call " << k;
  }
}

/// Both checks, literal and engine, on copies of `prepared` with one search.
void Compare(const PointTable& prepared, std::int32_t count, const Search& search,
             const std::string& field) {
  const std::string what = field + " X " + std::to_string(search.X) + " Y " +
                           std::to_string(search.Y) + " SD " + std::to_string(search.SD);
  // Two work tables for the whole suite; only the positions in use are copied.
  static const auto expected = std::make_unique<PointTable>();
  static const auto actual = std::make_unique<PointTable>();
  const auto used = static_cast<std::ptrdiff_t>(std::min(count + 4, kMaxPoints + 1));
  std::copy(prepared.records.begin(), prepared.records.begin() + used, expected->records.begin());
  std::copy(prepared.records.begin(), prepared.records.begin() + used, actual->records.begin());
  RecordingProgress expectedProgress;
  RecordingProgress actualProgress;
  std::int32_t counters[2][3] = {{1, 2, 3}, {1, 2, 3}};

  std::string expectedError;
  std::string actualError;
  try {
    reference::CheckNeighbourhood(count, *expected, counters[0][0], counters[0][1], search.X,
                                  search.Y, search.SD, expectedProgress);
  } catch (const RunError& error) {
    expectedError = error.what();
  }
  try {
    CheckNeighbourhood(count, *actual, counters[1][0], counters[1][1], search.X, search.Y,
                       search.SD, actualProgress);
  } catch (const RunError& error) {
    actualError = error.what();
  }
  ++comparisons;
  EXPECT_EQ(expectedError, actualError) << what;
  ExpectSameProgress(expectedProgress, actualProgress, what + ", neighbourhood");
  if (!expectedError.empty()) return;
  EXPECT_EQ(counters[0][0], counters[1][0]) << what << ", high counter";
  EXPECT_EQ(counters[0][1], counters[1][1]) << what << ", low counter";
  ExpectSameTables(*expected, *actual, count, what + ", neighbourhood");

  reference::CheckCoLocatedPoints(count, *expected, counters[0][2], expectedProgress);
  CheckCoLocatedPoints(count, *actual, counters[1][2], actualProgress);
  EXPECT_EQ(counters[0][2], counters[1][2]) << what << ", duplicate counter";
  ExpectSameTables(*expected, *actual, count, what + ", co-located");
  ExpectSameProgress(expectedProgress, actualProgress, what + ", co-located");
}

/// A generated field prepared for the neighbourhood check.
struct Field {
  std::unique_ptr<PointTable> table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  std::string name;
};

Field Prepare(const FieldSimOptions& options, std::int16_t bufferHalfWidth) {
  Field field;
  field.name = "seed " + std::to_string(options.Seed) + ", " + std::to_string(options.Points) +
               " points, pass length " + std::to_string(options.PassLength) + ", swath " +
               std::to_string(options.Swath) + ", buffer " + std::to_string(bufferHalfWidth);
  ConvertedSettings values = reference::SuppliedValues();
  values.BufferHalfWidth = bufferHalfWidth;
  const std::string problem =
      reference::PrepareField(SimulateField(options), values, *field.table, field.count);
  EXPECT_EQ(problem, "") << field.name;
  return field;
}

/// Turns every position by `degrees` about the field's first point, so that
/// the passes run at another heading; the blocks stay as they were.
void Turn(Field& field, double degrees) {
  const double a = degrees * 3.14159265358979 / 180;
  const double e0 = (*field.table)[1].Easting;
  const double n0 = (*field.table)[1].Northing;
  for (std::int32_t i = 1; i <= field.count; ++i) {
    YieldPoint& p = (*field.table)[i];
    const double x = p.Easting - e0;
    const double y = p.Northing - n0;
    p.Easting = static_cast<std::int32_t>(std::lround(e0 + x * std::cos(a) - y * std::sin(a)));
    p.Northing = static_cast<std::int32_t>(std::lround(n0 + x * std::sin(a) + y * std::cos(a)));
  }
  field.name += ", turned " + std::to_string(degrees);
}

TEST(DifferentialTest, GeneratedFieldsOfManySizesAndDensities) {
  struct Shape {
    std::int32_t points;
    double passLength;
    std::int16_t swath;
  };
  const Shape shapes[] = {
      {400, 0, 360}, {1500, 60, 120}, {3000, 0, 720}, {4000, 400, 240}, {2000, 25, 60}};
  std::uint64_t seed = 11;
  for (const Shape& shape : shapes) {
    for (int k = 0; k < 2; ++k) {
      const Field field = Prepare(Options(seed++, shape.points, shape.passLength, shape.swath), 2);
      for (const Search& search : kSearches) Compare(*field.table, field.count, search, field.name);
    }
  }
}

TEST(DifferentialTest, PassesAtEveryHeading) {
  for (int degrees = 0; degrees < 360; degrees += 15) {
    Field field = Prepare(Options(100 + static_cast<std::uint64_t>(degrees), 800, 80, 360), 3);
    Turn(field, degrees + 0.5 * (degrees % 2));
    for (const Search& search : {kSearches[0], kSearches[3], kSearches[6], kSearches[9]}) {
      Compare(*field.table, field.count, search, field.name);
    }
  }
}

TEST(DifferentialTest, EveryPointInTheBufferBand) {
  // A buffer wider than the field: every centre scans the whole table.
  for (std::uint64_t seed = 200; seed < 204; ++seed) {
    const Field field =
        Prepare(Options(seed, 1000 + 500 * static_cast<std::int32_t>(seed % 3)), 32767);
    for (std::int32_t i = 1; i <= field.count; ++i) ASSERT_EQ((*field.table)[i].Block, 0);
    for (const Search& search : kSearches) Compare(*field.table, field.count, search, field.name);
  }
  // Wide but not that wide: a thick band and small blocks.
  const Field field = Prepare(Options(205, 3000), 40);
  for (const Search& search : kSearches) Compare(*field.table, field.count, search, field.name);
}

TEST(DifferentialTest, CrowdsAndCoLocatedGroups) {
  // Dense short passes give crowds of far more than 64 neighbours in the
  // wide windows; copying positions makes groups of two to five points at
  // one place, some across the buffer band's edge.
  for (std::uint64_t seed = 300; seed < 304; ++seed) {
    Field field = Prepare(Options(seed, 1500, 30, 60), static_cast<std::int16_t>(seed % 2 ? 2 : 8));
    PointTable& t = *field.table;
    for (std::int32_t i = 2; i <= field.count; i += 1 + static_cast<std::int32_t>(i % 9)) {
      const std::int32_t size = 1 + (i % 4);
      for (std::int32_t k = 1; k <= size && i + k <= field.count; ++k) {
        t[i + k].Easting = t[i].Easting;
        t[i + k].Northing = t[i].Northing;
      }
      i += size;
    }
    field.name += ", co-located groups";
    for (const Search& search : kSearches) Compare(t, field.count, search, field.name);
  }
}

TEST(DifferentialTest, TablesNotGroupedByBlock) {
  // The checks are public: blocks in runs of any order, and tables of a
  // few points, must still give the literal scans' result.
  for (std::uint64_t seed = 400; seed < 403; ++seed) {
    Field field = Prepare(Options(seed, 800), 2);
    PointTable& t = *field.table;
    for (std::int32_t i = 1; i <= field.count; ++i) {
      t[i].Block =
          static_cast<std::int16_t>(((i / (5 + static_cast<std::int32_t>(seed))) * 7 + seed) % 11);
    }
    field.name += ", blocks in runs";
    for (const Search& search : kSearches) Compare(t, field.count, search, field.name);
  }
  for (std::int32_t points = 1; points <= 8; ++points) {
    const Field field = Prepare(Options(500 + static_cast<std::uint64_t>(points), points, 20), 2);
    for (const Search& search : kSearches) Compare(*field.table, field.count, search, field.name);
  }
}

TEST(DifferentialTest, WindowsOutsideTheUsualRange) {
  // Negative, zero, sub-metre, huge, infinite and NaN sizes: the public
  // check takes any float, and a window wider than the field lists the
  // first 64 points of the scans.
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<Search> searches = {
      {-20, 10, 3.5F}, {20, -10, 3.5F}, {0, 0, 3.5F},    {0.5F, 0.5F, 1}, {1.5F, 0.25F, 1},
      {1e9F, 1e9F, 2}, {inf, 30, 2},    {30, inf, 2},    {nan, 10, 2},    {10, nan, 2},
      {20, 10, nan},   {20, 10, -inf},  {1e6F, 4, 3.5F},
  };
  for (std::uint64_t seed = 700; seed < 703; ++seed) {
    const Field field = Prepare(Options(seed, 500 + 100 * static_cast<std::int32_t>(seed % 3)),
                                seed == 701 ? 32767 : 2);
    for (const Search& search : searches) Compare(*field.table, field.count, search, field.name);
  }
}

TEST(DifferentialTest, DifferencesBeyondThirtyTwoBits) {
  // Both stop at the same centre with the same message.
  Field field = Prepare(Options(600, 600), 2);
  PointTable& t = *field.table;
  t[field.count / 2].Easting = std::numeric_limits<std::int32_t>::max() - 5;
  t[field.count / 3].Easting = std::numeric_limits<std::int32_t>::min() + 5;
  Compare(t, field.count, kSearches[0], field.name + ", extreme eastings");
  t[field.count - 1].Northing = std::numeric_limits<std::int32_t>::max();
  t[7].Northing = -7;
  Compare(t, field.count, kSearches[4], field.name + ", extreme northings");
}

/// The largest fields, run by plain ctest as their own labelled test.
TEST(DifferentialLargeTest, FullSizeFields) {
  {
    const Field field = Prepare(Options(1, kMaxPoints), 2);
    Compare(*field.table, field.count, kSearches[0], field.name);
  }
  for (std::uint64_t seed = 2; seed < 4; ++seed) {
    const Field field = Prepare(Options(seed, 31000, seed == 2 ? 0 : 300), 2);
    for (const Search& search : {kSearches[0], kSearches[1], kSearches[4]}) {
      Compare(*field.table, field.count, search, field.name);
    }
  }
  const Field field = Prepare(Options(4, 10000), 32767);
  for (const Search& search : {kSearches[0], kSearches[4]}) {
    Compare(*field.table, field.count, search, field.name);
  }
}

class Summary : public ::testing::Environment {
 public:
  void TearDown() override {
    std::cout << "Compared " << comparisons << " generated fields and settings.\n";
  }
};
const auto* const kSummary = ::testing::AddGlobalTestEnvironment(new Summary);

}  // namespace
}  // namespace tarvik

// The neighbourhood and co-located checks on tiny block-grouped tables, and the two neighbour
// statistics on hand-computed lists.
#include "checks/neighbourhood.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "checks/basic_statistics.h"
#include "checks/colocated.h"
#include "core/errors.h"
#include "core/removal_codes.h"
#include "support/recording_progress.h"

namespace tarvik {
namespace {

using testing::RecordingProgress;
using testing::Trace;

/// One point of a hand-built field.
struct Spot {
  std::int16_t block;
  std::int32_t easting, northing;
  float yield;
  std::int16_t code = kRetained;
};

/// A table built point by point, already grouped by block; ID = position.
struct Field {
  Field(std::initializer_list<Spot> spots = {}) {
    for (const Spot& spot : spots) Add(spot);
  }
  void Add(const Spot& spot) {
    YieldPoint& point = table[++count];
    point.ID = count;
    point.Block = spot.block;
    point.Easting = spot.easting;
    point.Northing = spot.northing;
    point.Yield = spot.yield;
    point.RemovalCode = spot.code;
  }
  const YieldPoint& operator[](std::int32_t position) const { return table[position]; }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (std::int32_t i = 1; i <= count; ++i) codes.push_back(table[i].RemovalCode);
    return codes;
  }

  PointTable table;
  std::int32_t count = 0;
};

struct Marks {
  std::int32_t high = 0;
  std::int32_t low = 0;
};

Marks RunNeighbourhood(Field& field, float searchX, float searchY, float searchSD,
                       Progress& progress = NoProgress()) {
  Marks marks;
  CheckNeighbourhood(field.count, field.table, marks.high, marks.low, searchX, searchY, searchSD,
                     progress);
  return marks;
}

/// Seven buffer-band points one (stepE, stepN) apart, the centre (position 4) at (1000, 1000),
/// and one candidate at (1000 - ex, 1000 - ny). The steps keep the row outside the window, so the
/// centre lists its six sequence neighbours plus the candidate when the window holds it.
bool IsNeighbour(float searchX, float searchY, std::int32_t stepE, std::int32_t stepN,
                 std::int32_t ex, std::int32_t ny) {
  Field field;
  for (std::int32_t k = -3; k <= 3; ++k) field.Add({0, 1000 + k * stepE, 1000 + k * stepN, 100});
  field.Add({0, 1000 - ex, 1000 - ny, 100});
  RunNeighbourhood(field, searchX, searchY, 1);
  EXPECT_EQ(field[4].RemovalCode, kRetained);
  return field[4].NeighbourCount - 6 == 1;
}

TEST(NeighbourWindow, EveryLimitIsExclusive) {
  // Diagonal travel, a 10 by 10 window: (5, 0) lies 3.5 m along and across, inside the turned
  // window, but on the square's edge.
  EXPECT_FALSE(IsNeighbour(10, 10, 10, 10, 5, 0));
  EXPECT_FALSE(IsNeighbour(10, 10, 10, 10, -5, 0));
  EXPECT_FALSE(IsNeighbour(10, 10, 10, 10, 0, 5));
  EXPECT_TRUE(IsNeighbour(10, 10, 10, 10, 4, 0));
  EXPECT_TRUE(IsNeighbour(10, 10, 10, 10, 0, -4));
  // Travel along the easting axis: the angle is 0, along = |ex|, across = |ny|.
  EXPECT_FALSE(IsNeighbour(6, 10, 10, 0, 3, 0));  // along = half-length 3
  EXPECT_FALSE(IsNeighbour(6, 10, 10, 0, -3, 0));
  EXPECT_TRUE(IsNeighbour(6, 10, 10, 0, 2, 0));
  EXPECT_TRUE(IsNeighbour(6, 10, 10, 0, 0, 4));   // across 4 < 5
  EXPECT_FALSE(IsNeighbour(10, 6, 10, 0, 0, 3));  // across = half-width 3
  EXPECT_FALSE(IsNeighbour(10, 6, 10, 0, 0, -3));
  EXPECT_TRUE(IsNeighbour(10, 6, 10, 0, 0, 2));
  EXPECT_TRUE(IsNeighbour(10, 6, 10, 0, 4, 0));  // along 4 < 5
}

TEST(NeighbourWindow, EqualEastingsUseTheTinySlopeAndPerpendicularsTheRuleRightAngle) {
  // Travel north: equal eastings at i - 2 and i + 2 give the heading slope -40 / 0.0001; the
  // window still turns with the travel.
  EXPECT_TRUE(IsNeighbour(10, 6, 0, 10, 0, 4));   // along the travel, ex = 0 too
  EXPECT_FALSE(IsNeighbour(10, 6, 0, 10, 0, 5));  // square
  EXPECT_TRUE(IsNeighbour(10, 6, 0, 10, 2, 0));   // across the travel
  EXPECT_FALSE(IsNeighbour(10, 6, 0, 10, 3, 0));  // across = half-width
  // A half-length of 1e-5 m keeps only what lies almost exactly across the travel. The angle
  // 3.1416 / 2 leaves a perpendicular candidate about 1.1e-5 m along the travel, pi / 2 would
  // leave it 1e-7 m along. First m1 = 1, m2 = -1: the product is -1 exactly; then m1 = 1/3 in
  // single precision, m2 = -3: the product only rounds to -1.
  EXPECT_FALSE(IsNeighbour(2e-5F, 10, 10, 10, 2, -2));
  EXPECT_FALSE(IsNeighbour(2e-5F, 10, 15, 5, 1, -3));
}

TEST(NeighbourWindow, HeadingComesFromTwoPositionsAwayWhateverTheirCodes) {
  // Positions 2 and 6 (removed) lie east and west of centre 4; 3 and 5 lie north and south.
  // Travelling east, a candidate 4 m west is inside the 10 by 4 window; travelling north it would
  // be 4 m across.
  Field field{{0, 900, 1000, 100},  {0, 980, 1000, 100, kStartPassDelay},
              {0, 1000, 990, 100},  {0, 1000, 1000, 100},
              {0, 1000, 1010, 100}, {0, 1020, 1000, 100, kStartPassDelay},
              {0, 1100, 1000, 100}, {0, 996, 1000, 100}};
  RunNeighbourhood(field, 10, 4, 1);
  EXPECT_EQ(field[4].NeighbourCount, 5);  // 8, then 1, 3, 5, 7 in sequence
}

TEST(NeighbourList, FarSequenceNeighboursUseTrueDistances) {
  // Squares of the differences beyond 32 bits; the weights still follow them.
  Field field{{0, 1000 - 50001, 1000, 100},
              {0, 0, 0, 100, kHeaderUp},
              {0, 1000, 1000, 120},
              {0, 1000, 1000 + 60000, 200},
              {0, 0, 0, 100, kHeaderUp}};
  RunNeighbourhood(field, 20, 20, 2);
  EXPECT_EQ(field[3].NeighbourCount, 2);
  EXPECT_NEAR(field[3].NeighbourMean, 132.5, 0.5);
}

TEST(NeighbourList, KeepsTheFirst64AndIgnoresTheRest) {
  // Centre 3 at (1000, 1000); positions 4 to 6 far away; 70 points within 6 m from position 7 on.
  // Positions 1, 2 and 7..68 fill the list with yield 100; the later cluster points and the
  // sequence positions 4..6 (yield 1000) find it full.
  Field field{{0, 1001, 1000, 100}, {0, 999, 1000, 100}, {0, 1000, 1000, 100}};
  for (std::int32_t k = 0; k < 3; ++k) field.Add({0, 5000 + 100 * k, 5000, 1000});
  for (std::int32_t k = 0; k < 70; ++k) {
    field.Add({0, 996 + k % 9, 996 + k / 9, k < 62 ? 100.0F : 1000.0F});
  }
  RunNeighbourhood(field, 20, 20, 2);
  EXPECT_EQ(field[3].NeighbourCount, 64);
  EXPECT_EQ(field[3].NeighbourMean, 100.0F);
  EXPECT_EQ(field[3].RemovalCode, kRetained);
}

TEST(NeighbourList, TheBufferScanEndsAtTheFirstBlockCentreWhichIsListedTwice) {
  // Buffer band at positions 1, 2 far away; block 1 from position 3, all within 6 m. Centre 6
  // meets position 3 in the buffer scan and again in its block's scan; centre 3 is that first
  // point itself: its block scan lists 4..9 and the sequence adds 1 and 2.
  Field field{{0, 5000, 5000, 100}, {0, 5010, 5000, 100}};
  for (std::int32_t k = 0; k < 7; ++k) field.Add({1, 1000 + k, 1000, 100});
  RunNeighbourhood(field, 20, 20, 1);
  EXPECT_EQ(field[6].NeighbourCount, 7);  // 3 twice, 4, 5, 7, 8, 9
  EXPECT_EQ(field[3].NeighbourCount, 8);

  // No buffer band: positions 1 and 2 are never centres, so the first block centre is 3. Centre
  // 5 scans 1..3, then its block from 3: 3 twice.
  Field open;
  for (std::int32_t k = 0; k < 8; ++k) open.Add({1, 1000 + k, 1000, 100});
  RunNeighbourhood(open, 20, 20, 1);
  EXPECT_EQ(open[5].NeighbourCount, 8);  // 1, 2, 3, 3, 4, 6, 7, 8

  // The block's first point was removed earlier, so its first retained centre, 4, closes the
  // buffer scan and is the one listed twice.
  Field removed{{0, 5000, 5000, 100}, {0, 5010, 5000, 100}, {1, 1000, 1000, 100, kHeaderUp}};
  for (std::int32_t k = 1; k < 7; ++k) removed.Add({1, 1000 + k, 1000, 100});
  RunNeighbourhood(removed, 20, 20, 1);
  EXPECT_EQ(removed[6].NeighbourCount, 6);  // 4 twice, 5, 7, 8, 9
}

TEST(NeighbourList, BlockScanStopsAtTheNextBlock) {
  // Blocks 1 (positions 4..9) and 2 (10..15) side by side in space: a block-1 centre does not see
  // the block-2 points, the buffer-band centre 3 sees everything. Centre 6: buffer scan 1..4 (4 is
  // its block's first centre), block scan 4..9 without itself, ended by position 10: 4 + 5.
  Field field{{0, 1003, 1000, 100}, {0, 1004, 1000, 100}, {0, 1005, 1000, 100}};
  for (std::int32_t k = 0; k < 6; ++k) field.Add({1, 1000 + k, 1001, 100});
  for (std::int32_t k = 0; k < 6; ++k) field.Add({2, 1000 + k, 1002, 100});
  RunNeighbourhood(field, 30, 30, 1);
  EXPECT_EQ(field[3].NeighbourCount, 14);
  EXPECT_EQ(field[6].NeighbourCount, 9);
}

TEST(NeighbourTests, IsolatedCentreIsTestedAgainstZeros) {
  // Every other point removed before the check: no neighbour in space or in sequence. The heading
  // still comes from positions 1 and 5.
  for (const float yield : {50.0F, 0.0F, -5.0F}) {
    Field field{{0, 1000, 1000, 100, kBelowMinimumYield},
                {0, 1001, 1000, 100, kHeaderUp},
                {0, 1002, 1000, yield},
                {0, 1003, 1000, 100, kStartPassDelay},
                {0, 1004, 1000, 100, kEndPassDelay}};
    const Marks marks = RunNeighbourhood(field, 20, 20, 2);
    EXPECT_EQ(field[3].NeighbourCount, 0);
    EXPECT_EQ(field[3].NeighbourMean, 0.0F);
    EXPECT_EQ(field[3].NeighbourSD, 0.0F);
    EXPECT_EQ(field[3].RemovalCode,
              yield > 0 ? kAboveNeighbours : (yield < 0 ? kBelowNeighbours : kRetained))
        << yield;
    EXPECT_EQ(marks.high, yield > 0 ? 1 : 0);
    EXPECT_EQ(marks.low, yield < 0 ? 1 : 0);
    EXPECT_EQ(field[1].RemovalCode, kBelowMinimumYield);  // earlier codes stay
  }
}

TEST(NeighbourTests, SingleNeighbourCollapsesTheBand) {
  // Position 4 is the only neighbour (and, being count - 1, never a centre).
  for (const float yield : {80.0F, 80.5F, 79.5F}) {
    Field field{{0, 1000, 1000, 100, kHeaderUp},
                {0, 1001, 1000, 100, kHeaderUp},
                {0, 1002, 1000, yield},
                {0, 1005, 1004, 80},
                {0, 1004, 1000, 100, kHeaderUp}};
    RunNeighbourhood(field, 20, 20, 3);
    EXPECT_EQ(field[3].NeighbourCount, 1);
    EXPECT_EQ(field[3].NeighbourMean, 80.0F);
    EXPECT_EQ(field[3].NeighbourSD, 0.0F);
    EXPECT_EQ(field[3].RemovalCode,
              yield > 80 ? kAboveNeighbours : (yield < 80 ? kBelowNeighbours : kRetained))
        << yield;
    EXPECT_EQ(field[4].RemovalCode, kRetained);
    EXPECT_EQ(field[4].NeighbourCount, 0);
  }
}

/// Centre 3, the only centre, among four neighbours of varied yields and distances: mean about
/// 97.7, SD about 2.3.
Field SpreadField(float centreYield) {
  return Field{{0, 1000, 1000, 90},
               {0, 1001, 1003, 110},
               {0, 1002, 1000, centreYield},
               {0, 1003, 998, 95},
               {0, 1004, 1001, 105}};
}

TEST(NeighbourTests, BandLimitsAreKept) {
  constexpr float kFactor = 1.5F;
  Field probe = SpreadField(100);
  RunNeighbourhood(probe, 20, 20, kFactor);
  ASSERT_EQ(probe[3].NeighbourCount, 4);
  ASSERT_GT(probe[3].NeighbourSD, 0.0F);
  const double mean = probe[3].NeighbourMean;
  const double spread = probe[3].NeighbourSD;
  const auto upper = static_cast<float>(mean + spread * kFactor);
  const auto lower = static_cast<float>(mean - spread * kFactor);
  const std::pair<float, std::int16_t> cases[] = {{upper, kRetained},
                                                  {std::nextafter(upper, 1e9F), kAboveNeighbours},
                                                  {lower, kRetained},
                                                  {std::nextafter(lower, -1e9F), kBelowNeighbours}};
  for (const auto& [yield, code] : cases) {
    Field field = SpreadField(yield);
    const Marks marks = RunNeighbourhood(field, 20, 20, kFactor);
    EXPECT_EQ(field[3].RemovalCode, code) << yield;
    EXPECT_EQ(marks.high, code == kAboveNeighbours ? 1 : 0);
    EXPECT_EQ(marks.low, code == kBelowNeighbours ? 1 : 0);
  }
  // With SearchSD -1 the band turns over: 97.5 lies above its upper and below its lower bound;
  // the second test wins.
  Field field = SpreadField(97.5F);
  const Marks marks = RunNeighbourhood(field, 20, 20, -1);
  EXPECT_EQ(field[3].RemovalCode, kBelowNeighbours);
  EXPECT_EQ(marks.high, 1);
  EXPECT_EQ(marks.low, 1);
}

TEST(NeighbourTests, OnlyRetainedInnerPositionsAreCentres) {
  // Extreme yields at the two first and two last positions, and at 4, which an earlier check
  // removed: none of them is tested or gets statistics.
  const float yields[] = {9000, -9000, 100, 9000, 101, 99, 9000, -9000};
  Field field;
  for (std::int32_t k = 0; k < 8; ++k) {
    field.Add({0, 1000 + k, 1000, yields[k], k == 3 ? kBelowMinimumYield : kRetained});
  }
  RecordingProgress progress;
  RunNeighbourhood(field, 20, 20, 2, progress);
  EXPECT_EQ(field.Codes(), (std::vector<int>{0, 0, 0, 7, 0, 0, 0, 0}));
  for (const std::int32_t edge : {1, 2, 4, 7, 8}) EXPECT_EQ(field[edge].NeighbourCount, 0) << edge;
  EXPECT_EQ(Trace(progress),
            "Begin(Checking neighborhood statistics, please wait...,8) 3 4 5 6 End");
  Field empty;
  EXPECT_NO_THROW(RunNeighbourhood(empty, 20, 20, 2));
}

TEST(NeighbourTests, PointMarkedEarlierIsNoLongerANeighbour) {
  Field field;
  for (std::int32_t k = 0; k < 7; ++k) field.Add({0, 1000 + k, 1000, k == 2 ? 500.0F : 100.0F});
  const Marks marks = RunNeighbourhood(field, 20, 20, 2);
  EXPECT_EQ(field[3].RemovalCode, kAboveNeighbours);
  EXPECT_EQ(marks.high, 1);
  EXPECT_EQ(field[4].NeighbourCount, 5);  // 1, 2, 5, 6, 7
  EXPECT_EQ(field[4].NeighbourMean, 100.0F);
  EXPECT_EQ(field[4].RemovalCode, kRetained);
}

TEST(NeighbourTests, DifferenceBeyond32BitsStopsTheRun) {
  // Position 5 lies 2.5e9 m from position 1.
  Field field{{0, 500000000, 1000, 100},
              {0, 1001, 1000, 100},
              {0, 1002, 1000, 100},
              {0, 1003, 1000, 100},
              {0, -2000000000, 1000, 100}};
  RecordingProgress progress;
  try {
    RunNeighbourhood(field, 20, 20, 2, progress);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(),
                 "Point 3: a coordinate difference in the neighbourhood check is beyond the "
                 "32-bit range of metres.");
  }
  EXPECT_EQ(progress.calls.back().kind, RecordingProgress::Call::End);
}

TEST(NeighbourStatistics, HandComputedLists) {
  // Weights 1/16 (distance 0) and 1/64 (distance 2): (10/16 + 20/64) / (5/64) = 12.
  const std::vector<float> yields{10.0F, 20.0F};
  const std::vector<float> distances{0.0F, 2.0F};
  EXPECT_DOUBLE_EQ(InverseDistanceMean(2, yields, distances, 2, 2), 12);
  // Scaled yields 10/2 = 5 and 20/sqrt(8) = 5 sqrt(2); their sample SD.
  EXPECT_NEAR(DistanceScaledSD(2, yields, distances, 2), (5 * std::sqrt(2.0) - 5) / std::sqrt(2.0),
              1e-12);
  // q = 1: weights 1/4 and 1/8.
  EXPECT_NEAR(InverseDistanceMean(2, yields, distances, 2, 1), (10.0 / 4 + 20.0 / 8) / 0.375,
              1e-12);
  EXPECT_EQ(InverseDistanceMean(0, yields, distances, 2, 2), 0);
  EXPECT_EQ(DistanceScaledSD(1, yields, distances, 2), 0);
  // Three equal scaled yields: n * S2 - S1^2 comes out about -5.6e-17, which gives 0.
  EXPECT_EQ(DistanceScaledSD(3, std::vector<float>(3, 0.3F), std::vector<float>(3, 1.0F), 2), 0);
}

TEST(NeighbourStatistics, PairCountBeyond16BitsStopsTheRun) {
  // 181 * 180 fits a 16-bit count of pairs, 182 * 181 does not.
  const std::vector<float> yields(182, 100.0F);
  std::vector<float> distances(182, 1.0F);
  distances[0] = 3;
  EXPECT_GT(DistanceScaledSD(181, yields, distances, 2), 0);
  EXPECT_THROW(DistanceScaledSD(182, yields, distances, 2), RunError);
}

std::int32_t RunCoLocated(Field& field, std::int32_t start = 0, Progress& progress = NoProgress()) {
  std::int32_t counter = start;
  CheckCoLocatedPoints(field.count, field.table, counter, progress);
  return counter;
}

TEST(CoLocated, GroupOfThreeIsMarkedByItsFirstMemberAndRemovedPointsAreNoPartners) {
  // Position 5 lies 1 m north of its group: not co-located. The counter grows by 2.
  Field field{{0, 500, 500, 100},   {3, 1000, 1000, 100}, {3, 1001, 1000, 100},
              {3, 1000, 1000, 100}, {3, 1000, 1001, 100}, {3, 1000, 1000, 100}};
  RecordingProgress progress;
  EXPECT_EQ(RunCoLocated(field, 5, progress), 7);
  EXPECT_EQ(field.Codes(), (std::vector<int>{0, 12, 0, 12, 0, 12}));
  EXPECT_EQ(Trace(progress), "Begin(Checking co-located points, please wait...,6) 1 2 3 4 5 6 End");

  Field removed{{2, 1000, 1000, 100, kHeaderUp},
                {2, 1000, 1000, 100},
                {2, 1000, 1000, 100, kAboveNeighbours}};
  EXPECT_EQ(RunCoLocated(removed), 0);
  EXPECT_EQ(removed.Codes(), (std::vector<int>{1, 0, 9}));
}

TEST(CoLocated, BufferBandPointsSearchTheWholeTable) {
  // All in block 0: the first and the last position pair up.
  Field band{{0, 1000, 1000, 100}};
  for (std::int32_t k = 1; k <= 5; ++k) band.Add({0, 1000 + k, 1000, 100});
  band.Add({0, 1000, 1000, 100});
  EXPECT_EQ(RunCoLocated(band), 1);
  EXPECT_EQ(band.Codes(), (std::vector<int>{12, 0, 0, 0, 0, 0, 12}));

  // A buffer centre finds its partner in block 4; a block centre finds one in its own block behind
  // a removed point, but does not search the next block (position 9 is beyond block 4's scan).
  Field field{{0, 2000, 2000, 100},
              {0, 3000, 3000, 100},
              {4, 2000, 2000, 100},
              {4, 1000, 1000, 100},
              {4, 1000, 1000, 100, kHeaderUp},
              {4, 1000, 1000, 100},
              {5, 1500, 1500, 100},
              {5, 1500, 1500, 100},
              {5, 1000, 1000, 100}};
  EXPECT_EQ(RunCoLocated(field), 3);
  EXPECT_EQ(field.Codes(), (std::vector<int>{12, 0, 12, 12, 1, 12, 12, 12, 0}));

  // The first point outside the buffer band is removed: block centres search the band up to it,
  // not up to the first retained one, so the block-2 point does not meet its twin of block 1.
  Field first{{1, 5, 5, 100, kHeaderUp}, {1, 1000, 1000, 100}, {2, 1000, 1000, 100}};
  EXPECT_EQ(RunCoLocated(first), 0);
  EXPECT_EQ(first.Codes(), (std::vector<int>{1, 0, 0}));
}

}  // namespace
}  // namespace tarvik

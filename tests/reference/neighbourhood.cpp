// The neighbourhood check, written step by step as the rule reads: every
// centre scans the buffer band and its own block, keeps at most 64 neighbours
// and compares its yield with a band around their weighted mean. The engine's
// check is measured against this one, so clarity comes before speed.
#include "checks/neighbourhood.h"
#include "reference/reference_checks.h"

#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "checks/basic_statistics.h"
#include "core/errors.h"
#include "core/removal_codes.h"

namespace tarvik::reference {

namespace {

/// Stands in for a zero easting difference, so that every slope is finite.
constexpr float kTinyDifference = 0.0001F;

/// Smoothing distance p (m) and exponent q of the neighbour statistics.
constexpr float kSmoothing = 2;
constexpr float kExponent = 2;

/// The oriented window, in metres.
struct Window {
  float HalfLength;  // along the direction of travel
  float HalfWidth;   // across it
  float HalfSide;    // of the square that rejects candidates before any trigonometry
};

/// The neighbours of the current centre point, in the order they were found.
struct NeighbourList {
  std::int16_t Count = 0;
  std::array<float, kMaxNeighbours> Yields{};      // bu/ac
  std::array<std::int32_t, kMaxNeighbours> IDs{};  // ID of the neighbour
  std::array<float, kMaxNeighbours> Distances{};   // from the centre, m

  bool Full() const { return Count >= kMaxNeighbours; }

  bool Holds(std::int32_t id) const {
    for (std::int16_t k = 0; k < Count; ++k) {
      if (IDs[static_cast<std::size_t>(k)] == id) return true;
    }
    return false;
  }

  void Add(const YieldPoint& point, float distance) {
    const auto k = static_cast<std::size_t>(Count);
    Yields[k] = point.Yield;
    IDs[k] = point.ID;
    Distances[k] = distance;
    ++Count;
  }
};

/// a - b as a 32-bit signed number of metres; a difference beyond that range
/// stops the run, naming the centre point.
std::int32_t Difference(std::int32_t a, std::int32_t b, const YieldPoint& centre,
                        Progress& progress) {
  const std::int64_t difference = std::int64_t{a} - b;
  if (difference < std::numeric_limits<std::int32_t>::min() ||
      difference > std::numeric_limits<std::int32_t>::max()) {
    progress.End();
    throw RunError("Point " + std::to_string(centre.ID) +
                   ": a coordinate difference in the neighbourhood check is beyond the 32-bit "
                   "range of metres.");
  }
  return static_cast<std::int32_t>(difference);
}

/// A coordinate difference in single precision, with 0 replaced by 0.0001.
float NonZero(std::int32_t difference) {
  return difference == 0 ? kTinyDifference : static_cast<float>(difference);
}

/// Length of (ex, ny) from the true integer differences, in single precision.
float DistanceOf(std::int32_t ex, std::int32_t ny) {
  const double x = ex;
  const double y = ny;
  return static_cast<float>(std::sqrt(x * x + y * y));
}

/// Heading slope at the centre i, from the points at i - 2 and i + 2 whatever
/// their codes.
float HeadingSlope(const PointTable& table, std::int32_t i, Progress& progress) {
  const YieldPoint& centre = table[i];
  const YieldPoint& before = table[i - 2];
  const YieldPoint& after = table[i + 2];
  const std::int32_t dE = Difference(before.Easting, after.Easting, centre, progress);
  const std::int32_t dN = Difference(before.Northing, after.Northing, centre, progress);
  return static_cast<float>(static_cast<double>(dN) / NonZero(dE));
}

/// Whether `candidate` lies inside the window turned along the heading slope
/// `m1` around `centre`; on success `distance` holds its distance.
bool InWindow(const YieldPoint& centre, const YieldPoint& candidate, float m1, const Window& window,
              float& distance, Progress& progress) {
  const std::int32_t ex = Difference(centre.Easting, candidate.Easting, centre, progress);
  const std::int32_t ny = Difference(centre.Northing, candidate.Northing, centre, progress);
  const double halfSide = window.HalfSide;
  if (!(halfSide > std::abs(static_cast<double>(ex)) &&
        halfSide > std::abs(static_cast<double>(ny)))) {
    return false;
  }

  const float m2 = static_cast<float>(static_cast<double>(ny) / NonZero(ex));
  float angle;
  if (static_cast<float>(static_cast<double>(m1) * m2) == -1.0F) {
    // Perpendicular: the rule's own right angle, from 3.1416 rather than pi.
    angle = static_cast<float>(3.1416 / 2);
  } else {
    angle = static_cast<float>(
        std::atan((static_cast<double>(m1) - m2) / (static_cast<double>(m1) * m2 + 1)));
  }

  const float d = DistanceOf(ex, ny);
  const double turn = angle;
  const auto along = static_cast<float>(std::abs(static_cast<double>(d) * std::cos(turn)));
  if (!(along < window.HalfLength)) return false;
  const auto across = static_cast<float>(std::abs(static_cast<double>(d) * std::sin(turn)));
  if (!(across < window.HalfWidth)) return false;
  distance = d;
  return true;
}

/// Window test of the retained position j against the centre i; accepts j
/// into the list while there is room.
void Examine(const PointTable& table, std::int32_t i, std::int32_t j, float m1,
             const Window& window, NeighbourList& list, Progress& progress) {
  float distance = 0;
  if (!InWindow(table[i], table[j], m1, window, distance, progress)) return;
  if (j != i && !list.Full()) list.Add(table[j], distance);
}

/// The three positions before and after i in table order, retained and not
/// yet listed, join the list while there is room; no window applies to them.
void AddSequenceNeighbours(const PointTable& table, std::int32_t count, std::int32_t i,
                           NeighbourList& list, Progress& progress) {
  const YieldPoint& centre = table[i];
  for (std::int32_t j = i - 3; j <= i + 3; ++j) {
    if (j < 1 || j > count) continue;
    const YieldPoint& point = table[j];
    if (point.RemovalCode != kRetained) continue;
    if (list.Holds(point.ID) || point.ID == centre.ID || list.Full()) continue;
    const std::int32_t ex = Difference(centre.Easting, point.Easting, centre, progress);
    const std::int32_t ny = Difference(centre.Northing, point.Northing, centre, progress);
    list.Add(point, DistanceOf(ex, ny));
  }
}

}  // namespace

void CheckNeighbourhood(const std::int32_t& count, PointTable& table, std::int32_t& highCounter,
                        std::int32_t& lowCounter, const float& searchX, const float& searchY,
                        const float& searchSD, Progress& progress) {
  Window window{};
  window.HalfLength = searchX / 2;
  window.HalfWidth = searchY / 2;
  window.HalfSide = window.HalfLength > window.HalfWidth ? window.HalfLength : window.HalfWidth;
  const double factor = searchSD;
  const std::int32_t last = count;

  progress.Begin("Checking neighborhood statistics, please wait...", last);
  std::int16_t currentBlock = 0;
  std::int32_t blockStart = 1;
  std::int32_t firstNonZero = 0;  // first retained centre outside the buffer band
  NeighbourList list;
  for (std::int32_t i = 3; i <= last - 2; ++i) {
    progress.SetValue(i);
    list.Count = 0;
    YieldPoint& centre = table[i];
    if (centre.RemovalCode != kRetained) continue;

    if (centre.Block != currentBlock) {
      if (currentBlock == 0) firstNonZero = i;
      blockStart = i;
      currentBlock = centre.Block;
    }

    const float m1 = HeadingSlope(table, i, progress);

    // Spatial search. A centre inside a block looks at the buffer band up to
    // and including the first block centre, then at its own block, so that a
    // point met by both scans is listed twice; a buffer-band centre looks
    // at the whole table.
    if (centre.Block != 0) {
      for (std::int32_t j = 1; j <= firstNonZero; ++j) {
        if (table[j].RemovalCode != kRetained) continue;
        Examine(table, i, j, m1, window, list, progress);
      }
      for (std::int32_t j = blockStart; j <= last; ++j) {
        if (table[j].RemovalCode != kRetained) continue;
        if (table[j].Block != centre.Block) break;
        Examine(table, i, j, m1, window, list, progress);
      }
    } else {
      for (std::int32_t j = 1; j <= last; ++j) {
        if (table[j].RemovalCode != kRetained) continue;
        Examine(table, i, j, m1, window, list, progress);
      }
    }

    AddSequenceNeighbours(table, last, i, list, progress);

    // A centre without neighbours keeps its zero statistics and is tested
    // against them.
    if (list.Count > 0) {
      const std::span<const float> yields(list.Yields.data(), static_cast<std::size_t>(list.Count));
      const std::span<const float> distances(list.Distances.data(),
                                             static_cast<std::size_t>(list.Count));
      centre.NeighbourCount = list.Count;
      centre.NeighbourMean = static_cast<float>(
          InverseDistanceMean(list.Count, yields, distances, kSmoothing, kExponent));
      centre.NeighbourSD =
          static_cast<float>(DistanceScaledSD(list.Count, yields, distances, kSmoothing));
    }

    const double mean = centre.NeighbourMean;
    const double spread = centre.NeighbourSD;
    const auto upper = static_cast<float>(mean + spread * factor);
    if (upper < centre.Yield) {
      centre.RemovalCode = kAboveNeighbours;
      ++highCounter;
    }
    const auto lower = static_cast<float>(mean - spread * factor);
    if (lower > centre.Yield) {
      centre.RemovalCode = kBelowNeighbours;
      ++lowCounter;
    }
  }
  progress.End();
}

}  // namespace tarvik::reference

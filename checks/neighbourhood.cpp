// The neighbourhood check. Every centre keeps the neighbours that a scan of
// the buffer band and of its own block would meet first, in that order; the
// point grid finds them without visiting the rest of the table. A candidate
// clearly inside or clearly outside the turned window is decided from the
// plain geometry, and one near its edge from the rule's own single-precision
// arithmetic, so the lists are exactly those of the position-by-position scan.
#include "checks/neighbourhood.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "checks/basic_statistics.h"
#include "checks/point_grid.h"
#include "core/errors.h"
#include "core/removal_codes.h"

namespace tarvik {

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
    // The whole list without an early exit: a short loop with no branch to miss.
    bool found = false;
    for (std::int16_t k = 0; k < Count; ++k) found |= IDs[static_cast<std::size_t>(k)] == id;
    return found;
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
std::int32_t Difference(std::int32_t a, std::int32_t b, const YieldPoint& centre) {
  const std::int64_t difference = std::int64_t{a} - b;
  if (difference < std::numeric_limits<std::int32_t>::min() ||
      difference > std::numeric_limits<std::int32_t>::max()) {
    StopAtPoint(centre.ID,
                "a coordinate difference in the neighbourhood check is beyond the 32-bit "
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
float HeadingSlope(const PointTable& table, std::int32_t i) {
  const YieldPoint& centre = table[i];
  const YieldPoint& before = table[i - 2];
  const YieldPoint& after = table[i + 2];
  const std::int32_t dE = Difference(before.Easting, after.Easting, centre);
  const std::int32_t dN = Difference(before.Northing, after.Northing, centre);
  return static_cast<float>(static_cast<double>(dN) / NonZero(dE));
}

/// The window test in the rule's own arithmetic, for a candidate at (ex, ny)
/// from the centre that has passed the square test.
bool InWindowExactly(std::int32_t ex, std::int32_t ny, float m1, const Window& window) {
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
  return across < window.HalfWidth;
}

/// The window turned along one centre's heading, for the plain-geometry
/// test. The rule's arithmetic departs from the plain geometry by less than
/// 0.0001 m where an easting difference of 0 is replaced by 0.0001, and
/// otherwise by a few millionths of the distance (the single-precision slopes
/// and results, and the rule's right angle of 1.5708); the margin is wider
/// than both, and a candidate within it of an edge is left to the rule.
class TurnedWindow {
 public:
  TurnedWindow(const Window& window, float m1) : window_(window), m1_(m1) {
    const double slope = m1;
    alongX_ = 1 / std::sqrt(1 + slope * slope);
    alongY_ = slope * alongX_;
  }

  /// Whether the candidate at (ex, ny) from the centre, which has passed the
  /// square test, lies in the window.
  bool Holds(std::int32_t ex, std::int32_t ny) const {
    const double x = ex;
    const double y = ny;
    // |x| + |y| is at least the distance.
    const double margin = (std::abs(x) + std::abs(y)) * 1e-5 + 2e-4;
    const double along = std::abs(x * alongX_ + y * alongY_);
    const double across = std::abs(y * alongX_ - x * alongY_);
    const double halfLength = window_.HalfLength;
    const double halfWidth = window_.HalfWidth;
    // Computed without branches: whether a candidate lies inside is as
    // likely as not, and only the rare one near an edge takes the long way.
    if (along < halfLength - margin && across < halfWidth - margin) return true;
    if (along > halfLength + margin || across > halfWidth + margin) return false;
    return InWindowExactly(ex, ny, m1_, window_);
  }

 private:
  Window window_;
  float m1_;
  double alongX_;  // unit vector along the heading line
  double alongY_;
};

/// The three positions before and after i in table order, retained and not
/// yet listed, join the list while there is room; no window applies to them.
void AddSequenceNeighbours(const PointTable& table, std::int32_t count, std::int32_t i,
                           NeighbourList& list) {
  const YieldPoint& centre = table[i];
  for (std::int32_t j = i - 3; j <= i + 3; ++j) {
    if (j < 1 || j > count) continue;
    const YieldPoint& point = table[j];
    if (point.RemovalCode != kRetained) continue;
    if (list.Holds(point.ID) || point.ID == centre.ID || list.Full()) continue;
    const std::int32_t ex = Difference(centre.Easting, point.Easting, centre);
    const std::int32_t ny = Difference(centre.Northing, point.Northing, centre);
    list.Add(point, DistanceOf(ex, ny));
  }
}

/// Whether some two points at positions 1..count differ by more than a
/// 32-bit number of metres in easting or northing.
bool DifferencesCanOverflow(const PointTable& table, std::int32_t count) {
  std::int64_t minE = std::numeric_limits<std::int64_t>::max();
  std::int64_t maxE = std::numeric_limits<std::int64_t>::min();
  std::int64_t minN = minE;
  std::int64_t maxN = maxE;
  for (std::int32_t i = 1; i <= count; ++i) {
    minE = std::min<std::int64_t>(minE, table[i].Easting);
    maxE = std::max<std::int64_t>(maxE, table[i].Easting);
    minN = std::min<std::int64_t>(minN, table[i].Northing);
    maxN = std::max<std::int64_t>(maxN, table[i].Northing);
  }
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  return count > 0 && (maxE - minE > kLimit || maxN - minN > kLimit);
}

/// A range of table positions that one scan of a centre passes through.
struct ScanRange {
  std::int32_t First;
  std::int32_t Last;
};

/// Scan ranks: the second scan's positions come after all of the first's.
constexpr std::uint32_t kSecondScan = 0x80000000U;
constexpr std::uint32_t kPositionMask = kSecondScan - 1;

/// A point inside the square, with its rank and its differences from the
/// centre.
struct Candidate {
  std::uint32_t Rank;
  std::int32_t Ex;
  std::int32_t Ny;

  friend bool operator<(const Candidate& a, const Candidate& b) { return a.Rank < b.Rank; }
  friend bool operator>(const Candidate& a, const Candidate& b) { return a.Rank > b.Rank; }
};

/// Up to this many candidates an insertion sort orders them fastest.
constexpr std::size_t kSortedCandidates = 48;

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

  ProgressScope stage(progress, "Checking neighborhood statistics, please wait...", last);
  if (last < 5) return;

  // The square test passes a whole-metre difference k when k < HalfSide:
  // the reach is the largest such k, capped beyond every 32-bit difference.
  const double halfSide = window.HalfSide;
  std::int64_t reach = -1;
  if (halfSide > 4294967296.0) {
    reach = 4294967296LL;
  } else if (halfSide > 0) {
    reach = static_cast<std::int64_t>(std::ceil(halfSide)) - 1;
  }
  const PointGrid grid(table, last, reach + 1);
  const bool overflowPossible = DifferencesCanOverflow(table, last);
  BlockScanEnd blockEnd;

  std::int16_t currentBlock = 0;
  std::int32_t blockStart = 1;
  std::int32_t firstNonZero = 0;  // first retained centre outside the buffer band
  NeighbourList list;
  std::vector<PointGrid::Entry> square;  // the points inside the current square
  std::vector<Candidate> candidates;

  // The fields the search reads, by position, close together.
  std::vector<std::uint8_t> retained(static_cast<std::size_t>(last) + 1, 0);
  std::vector<float> yields(static_cast<std::size_t>(last) + 1, 0);
  std::vector<std::int32_t> ids(static_cast<std::size_t>(last) + 1, 0);
  for (std::int32_t j = 1; j <= last; ++j) {
    const auto k = static_cast<std::size_t>(j);
    retained[k] = table[j].RemovalCode == kRetained ? 1 : 0;
    yields[k] = table[j].Yield;
    ids[k] = table[j].ID;
  }
  for (std::int32_t i = 3; i <= last - 2; ++i) {
    stage.SetValue(i);
    list.Count = 0;
    YieldPoint& centre = table[i];
    if (centre.RemovalCode != kRetained) continue;

    if (centre.Block != currentBlock) {
      if (currentBlock == 0) firstNonZero = i;
      blockStart = i;
      currentBlock = centre.Block;
    }

    const float m1 = HeadingSlope(table, i);

    // A centre inside a block scans the buffer band up to and including the
    // first block centre, then its own block, so that a point met by both
    // scans is listed twice; a buffer-band centre scans the whole table.
    std::array<ScanRange, 2> scans{};
    if (centre.Block != 0) {
      scans[0] = {1, firstNonZero};
      scans[1] = {blockStart, blockEnd.After(table, last, i) - 1};
    } else {
      scans[0] = {1, last};
      scans[1] = {1, 0};
    }

    if (overflowPossible) {
      // Only extreme coordinates get here: every point the scans pass must
      // have a 32-bit difference from the centre.
      for (const ScanRange& scan : scans) {
        for (std::int32_t j = scan.First; j <= scan.Last; ++j) {
          if (table[j].RemovalCode != kRetained) continue;
          Difference(centre.Easting, table[j].Easting, centre);
          Difference(centre.Northing, table[j].Northing, centre);
        }
      }
    }

    // Candidates: retained points of the scans inside the window, ranked by
    // the scans. Whether a point lies in the window does not depend on when
    // it is met, so only the ones inside need their order. First the points
    // inside the square; the tests that pass about half the points they see
    // add a point by a count rather than a branch.
    const std::int64_t e = centre.Easting;
    const std::int64_t n = centre.Northing;
    const auto side = static_cast<std::uint64_t>(2 * reach);
    std::size_t inSquare = 0;
    grid.ForEachRowNear(e, n, reach, [&](std::span<const PointGrid::Entry> row) {
      if (square.size() < inSquare + row.size()) square.resize(inSquare + row.size());
      PointGrid::Entry* const out = square.data();
      for (const PointGrid::Entry& entry : row) {
        // For whole metres, |ex| < HalfSide is |ex| <= reach.
        const auto ex = static_cast<std::uint64_t>(e - entry.Easting + reach);
        const auto ny = static_cast<std::uint64_t>(n - entry.Northing + reach);
        out[inSquare] = entry;
        inSquare += static_cast<std::size_t>((ex <= side) & (ny <= side));
      }
    });

    if (candidates.size() < 2 * inSquare) candidates.resize(2 * inSquare);
    const TurnedWindow turned(window, m1);
    const auto firstFrom = static_cast<std::uint32_t>(scans[0].First);
    const auto firstSpan = static_cast<std::uint32_t>(scans[0].Last - scans[0].First);
    const auto secondFrom = static_cast<std::uint32_t>(scans[1].First);
    const auto secondSpan = static_cast<std::uint32_t>(scans[1].Last - scans[1].First);
    const bool firstScan = scans[0].Last >= scans[0].First;
    const bool secondScan = scans[1].Last >= scans[1].First;
    std::size_t taken = 0;
    for (std::size_t k = 0; k < inSquare; ++k) {
      const PointGrid::Entry& entry = square[k];
      const std::int32_t j = entry.Position;
      if (j == i || retained[static_cast<std::size_t>(j)] == 0) continue;
      const auto position = static_cast<std::uint32_t>(j);
      const bool first = firstScan & (position - firstFrom <= firstSpan);
      const bool second = secondScan & (position - secondFrom <= secondSpan);
      if (!(first | second)) continue;
      // Within the scans' ranges the differences are 32-bit (checked above
      // when they could be wider); the others are never examined.
      const auto ex = static_cast<std::int32_t>(e - entry.Easting);
      const auto ny = static_cast<std::int32_t>(n - entry.Northing);
      if (!turned.Holds(ex, ny)) continue;
      if (first) candidates[taken++] = {position, ex, ny};
      if (second) candidates[taken++] = {position | kSecondScan, ex, ny};
    }

    // The first of them in rank order fill the list.
    if (taken <= kSortedCandidates) {
      // Insertion sort: the cells hand the candidates over mostly in order.
      for (std::size_t k = 1; k < taken; ++k) {
        const Candidate moving = candidates[k];
        std::size_t to = k;
        for (; to > 0 && moving < candidates[to - 1]; --to) candidates[to] = candidates[to - 1];
        candidates[to] = moving;
      }
    }
    constexpr auto kListSize = static_cast<std::size_t>(kMaxNeighbours);
    if (taken > kListSize) {
      std::partial_sort(candidates.begin(), candidates.begin() + kMaxNeighbours,
                        candidates.begin() + static_cast<std::ptrdiff_t>(taken));
      taken = kListSize;
    } else if (taken > kSortedCandidates) {
      std::sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    for (std::size_t k = 0; k < taken; ++k) {
      const Candidate& candidate = candidates[k];
      const auto j = static_cast<std::size_t>(candidate.Rank & kPositionMask);
      list.Yields[k] = yields[j];
      list.IDs[k] = ids[j];
      list.Distances[k] = DistanceOf(candidate.Ex, candidate.Ny);
    }
    list.Count = static_cast<std::int16_t>(taken);

    AddSequenceNeighbours(table, last, i, list);

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
    if (centre.RemovalCode != kRetained) retained[static_cast<std::size_t>(i)] = 0;
  }
}

}  // namespace tarvik

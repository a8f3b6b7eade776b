// The neighbourhood check. Every centre keeps the neighbours that a scan of
// the buffer band and of its own block would meet first, in that order; the
// point grid finds them without visiting the rest of the table. A candidate
// clearly inside or clearly outside the turned window is decided from the
// plain geometry, and one near its edge from the rule's own single-precision
// arithmetic, so the lists are exactly those of the position-by-position scan.
#include "checks/neighbourhood.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "checks/basic_statistics.h"
#include "checks/point_grid.h"
#include "core/errors.h"
#include "core/removal_codes.h"
#include "core/two_threads.h"

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

  /// How far from the centre, in whole metres east or west (`easting`) or
  /// north or south, a candidate within `reach` of it in both can lie and
  /// still be in the window: the half-side of the box around the window's
  /// rectangle widened by the largest margin Holds gives such a candidate.
  /// Holds refuses every candidate beyond by the plain geometry. At most
  /// `reach`; -1 when no candidate can be in the window.
  std::int64_t Reach(std::int64_t reach, bool easting) const {
    const double margin = 2 * static_cast<double>(reach) * 1e-5 + 2e-4;
    const double length = static_cast<double>(window_.HalfLength) + margin;
    const double width = static_cast<double>(window_.HalfWidth) + margin;
    const double x = std::abs(alongX_);
    const double y = std::abs(alongY_);
    if (length < 0 || width < 0) return -1;
    const double half = easting ? length * x + width * y : length * y + width * x;
    const double limit = half * (1 + 1e-9) + 1e-9;  // beyond the rounding of the above
    if (!(limit < static_cast<double>(reach))) return reach;
    return static_cast<std::int64_t>(limit);
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

/// What the check reads of the table, gathered in one pass over it.
struct Gathered {
  std::vector<std::uint8_t> retained;  // by position: 1 while the point is retained
  std::vector<float> yields;           // by position, close together
  std::vector<std::int32_t> ids;
  std::vector<PointGrid::Entry> points;  // the retained points, in ascending position
  bool overflowPossible = false;  // some two points differ by more than a 32-bit number of metres
};

Gathered Gather(const PointTable& table, std::int32_t count) {
  Gathered gathered;
  const auto size = static_cast<std::size_t>(count) + 1;
  gathered.retained.assign(size, 0);
  gathered.yields.assign(size, 0);
  gathered.ids.assign(size, 0);
  gathered.points.reserve(size);
  std::int64_t minE = std::numeric_limits<std::int64_t>::max();
  std::int64_t maxE = std::numeric_limits<std::int64_t>::min();
  std::int64_t minN = minE;
  std::int64_t maxN = maxE;
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    const auto k = static_cast<std::size_t>(i);
    minE = std::min<std::int64_t>(minE, point.Easting);
    maxE = std::max<std::int64_t>(maxE, point.Easting);
    minN = std::min<std::int64_t>(minN, point.Northing);
    maxN = std::max<std::int64_t>(maxN, point.Northing);
    gathered.yields[k] = point.Yield;
    gathered.ids[k] = point.ID;
    if (point.RemovalCode != kRetained) continue;
    gathered.retained[k] = 1;
    gathered.points.push_back({i, point.Easting, point.Northing});
  }
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  gathered.overflowPossible = count > 0 && (maxE - minE > kLimit || maxN - minN > kLimit);
  return gathered;
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
};

/// Up to this many candidates an insertion sort orders them fastest.
constexpr std::size_t kSortedCandidates = 48;

constexpr auto kListSize = static_cast<std::size_t>(kMaxNeighbours);

/// The two scans of one centre.
using Scans = std::array<ScanRange, 2>;

/// The statistics of one centre's list; Count 0 leaves the centre's own.
struct Statistics {
  std::int16_t Count = 0;
  float Mean = 0;
  float SD = 0;
};

Statistics StatisticsOf(const NeighbourList& list) {
  Statistics statistics;
  if (list.Count == 0) return statistics;
  const std::span<const float> yields(list.Yields.data(), static_cast<std::size_t>(list.Count));
  const std::span<const float> distances(list.Distances.data(),
                                         static_cast<std::size_t>(list.Count));
  statistics.Count = list.Count;
  statistics.Mean =
      static_cast<float>(InverseDistanceMean(list.Count, yields, distances, kSmoothing, kExponent));
  statistics.SD = static_cast<float>(DistanceScaledSD(list.Count, yields, distances, kSmoothing));
  return statistics;
}

/// The search of one check. It reads the table, the grid and the retained
/// flags and writes none of them, so two threads can search at once while
/// nothing is marked.
class NeighbourSearch {
 public:
  /// Working space of one thread.
  struct Scratch {
    std::vector<PointGrid::Entry> square;  // the points inside the current square
    std::vector<Candidate> candidates;
  };

  /// Searches the points as gathered; the check clears their retained
  /// flags as it marks them.
  NeighbourSearch(const PointTable& table, std::int32_t last, const Window& window,
                  std::int64_t reach, const Gathered& gathered)
      : table_(table),
        last_(last),
        window_(window),
        reach_(reach),
        grid_(gathered.points, reach + 1),
        retained_(gathered.retained),
        yields_(gathered.yields),
        ids_(gathered.ids) {}

  /// The retained points of the scans inside the window of the centre at i:
  /// their number, with the first `ordered` of them (or all, when fewer) in
  /// rank order at the front of scratch.candidates. Whether a point lies in
  /// the window does not depend on when a scan meets it, so only the ones
  /// inside need their order.
  std::size_t Candidates(std::int32_t i, const Scans& scans, Scratch& scratch,
                         std::size_t ordered) const {
    const YieldPoint& centre = table_[i];
    const float m1 = HeadingSlope(table_, i);

    // First the points inside the square (for whole metres, |ex| < HalfSide
    // is |ex| <= reach) and inside the box around the turned window; the
    // test passes about half the points it sees, so a point is counted in
    // rather than branched to.
    const TurnedWindow turned(window_, m1);
    const std::int64_t e = centre.Easting;
    const std::int64_t n = centre.Northing;
    const std::int64_t reachEast = turned.Reach(reach_, true);
    const std::int64_t reachNorth = turned.Reach(reach_, false);
    const auto width = static_cast<std::uint64_t>(2 * reachEast);
    const auto height = static_cast<std::uint64_t>(2 * reachNorth);
    std::vector<PointGrid::Entry>& square = scratch.square;
    std::size_t inSquare = 0;
    grid_.ForEachRowNear(e, n, reachEast, reachNorth, [&](std::span<const PointGrid::Entry> row) {
      if (square.size() < inSquare + row.size()) square.resize(inSquare + row.size());
      PointGrid::Entry* const out = square.data();
      for (const PointGrid::Entry& entry : row) {
        const auto ex = static_cast<std::uint64_t>(e - entry.Easting + reachEast);
        const auto ny = static_cast<std::uint64_t>(n - entry.Northing + reachNorth);
        out[inSquare] = entry;
        inSquare += static_cast<std::size_t>((ex <= width) & (ny <= height));
      }
    });

    std::vector<Candidate>& candidates = scratch.candidates;
    if (candidates.size() < 2 * inSquare) candidates.resize(2 * inSquare);
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
      if (j == i || retained_[static_cast<std::size_t>(j)] == 0) continue;
      const auto position = static_cast<std::uint32_t>(j);
      const bool first = firstScan & (position - firstFrom <= firstSpan);
      const bool second = secondScan & (position - secondFrom <= secondSpan);
      if (!(first | second)) continue;
      // Within the scans' ranges the differences are 32-bit (checked before
      // the search when they could be wider); the others are never examined.
      const auto ex = static_cast<std::int32_t>(e - entry.Easting);
      const auto ny = static_cast<std::int32_t>(n - entry.Northing);
      if (!turned.Holds(ex, ny)) continue;
      if (first) candidates[taken++] = {position, ex, ny};
      if (second) candidates[taken++] = {position | kSecondScan, ex, ny};
    }

    const auto begin = candidates.begin();
    if (taken <= kSortedCandidates) {
      // Insertion sort: the cells hand the candidates over mostly in order.
      for (std::size_t k = 1; k < taken; ++k) {
        const Candidate moving = candidates[k];
        std::size_t to = k;
        for (; to > 0 && moving < candidates[to - 1]; --to) candidates[to] = candidates[to - 1];
        candidates[to] = moving;
      }
    } else if (taken > ordered) {
      std::partial_sort(begin, begin + static_cast<std::ptrdiff_t>(ordered),
                        begin + static_cast<std::ptrdiff_t>(taken));
    } else {
      std::sort(begin, begin + static_cast<std::ptrdiff_t>(taken));
    }
    return taken;
  }

  /// The list of the centre at i: the candidates of `window` in their
  /// order, at most 64, then the sequence neighbours.
  void MakeList(std::int32_t i, std::span<const Candidate> window, NeighbourList& list) const {
    const std::size_t taken = std::min(window.size(), kListSize);
    for (std::size_t k = 0; k < taken; ++k) {
      const Candidate& candidate = window[k];
      const auto j = static_cast<std::size_t>(candidate.Rank & kPositionMask);
      list.Yields[k] = yields_[j];
      list.IDs[k] = ids_[j];
      list.Distances[k] = DistanceOf(candidate.Ex, candidate.Ny);
    }
    list.Count = static_cast<std::int16_t>(taken);
    AddSequenceNeighbours(table_, last_, i, list);
  }

  /// The statistics of the centre at i as the table stands.
  Statistics Search(std::int32_t i, const Scans& scans, Scratch& scratch) const {
    const std::size_t taken = Candidates(i, scans, scratch, kListSize);
    NeighbourList list;
    MakeList(i, std::span<const Candidate>(scratch.candidates.data(), taken), list);
    return StatisticsOf(list);
  }

 private:
  const PointTable& table_;
  std::int32_t last_;
  Window window_;
  std::int64_t reach_;
  PointGrid grid_;
  const std::vector<std::uint8_t>& retained_;
  const std::vector<float>& yields_;
  const std::vector<std::int32_t>& ids_;
};

/// Where each centre's scans run. The buffer band ends at the first retained
/// centre of a block, and a block's scan at the first retained point of
/// another block after the centre; positions after the centre are untouched
/// until its turn, so the scans can be worked out before the centres are.
class ScanPlanner {
 public:
  explicit ScanPlanner(const PointTable& table, std::int32_t last) : table_(table), last_(last) {}

  /// The scans of the retained centre at i; centres must come in ascending order.
  Scans Next(std::int32_t i) {
    const YieldPoint& centre = table_[i];
    if (centre.Block != currentBlock_) {
      if (currentBlock_ == 0) firstNonZero_ = i;
      blockStart_ = i;
      currentBlock_ = centre.Block;
    }
    // A centre inside a block scans the buffer band up to and including the
    // first block centre, then its own block, so that a point met by both
    // scans is listed twice; a buffer-band centre scans the whole table.
    if (centre.Block != 0) {
      return {ScanRange{1, firstNonZero_},
              ScanRange{blockStart_, blockEnd_.After(table_, last_, i) - 1}};
    }
    return {ScanRange{1, last_}, ScanRange{1, 0}};
  }

 private:
  const PointTable& table_;
  std::int32_t last_;
  BlockScanEnd blockEnd_;
  std::int16_t currentBlock_ = 0;
  std::int32_t blockStart_ = 1;
  std::int32_t firstNonZero_ = 0;  // first retained centre outside the buffer band
};

/// Marks the centre by its statistics: above or below the band of its
/// neighbours' mean. Returns whether it was marked.
bool Decide(YieldPoint& centre, const Statistics& statistics, double factor,
            std::int32_t& highCounter, std::int32_t& lowCounter) {
  // A centre without neighbours keeps its zero statistics and is tested
  // against them.
  if (statistics.Count > 0) {
    centre.NeighbourCount = statistics.Count;
    centre.NeighbourMean = statistics.Mean;
    centre.NeighbourSD = statistics.SD;
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
  return centre.RemovalCode != kRetained;
}

/// Centres searched together: the searches of a chunk run on two threads
/// against the table as the chunk began, then the centres are decided in
/// order, and a centre whose list a mark of the chunk changed is searched
/// again. Fields smaller than two chunks are searched in order.
constexpr std::int32_t kChunk = 4096;

/// Candidates kept of one centre's search in a chunk: enough to refill a
/// list that marks made shorter without searching again.
constexpr std::size_t kKeptCandidates = kListSize + 16;

/// What one centre's search found as its chunk began.
struct Finding {
  std::uint32_t First = 0;  // of its candidates in the store of the thread that searched
  std::uint16_t Kept = 0;   // candidates kept, in rank order
  std::uint8_t Store = 0;   // that thread: 0 the caller's, 1 the other
  bool All = false;         // the kept candidates are all there are
  Statistics Found;         // the statistics of the list they made
};

/// Centres a thread takes at a time from its chunk: the two threads share
/// the chunk's searches by turns, so neither waits long for the other.
constexpr std::int32_t kTurn = 128;

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
  Gathered gathered = Gather(table, last);
  std::vector<std::uint8_t>& retained = gathered.retained;
  const NeighbourSearch search(table, last, window, reach, gathered);
  ScanPlanner planner(table, last);
  NeighbourSearch::Scratch scratch;

  const auto mark = [&](std::int32_t i, const Statistics& statistics) {
    if (Decide(table[i], statistics, factor, highCounter, lowCounter)) {
      retained[static_cast<std::size_t>(i)] = 0;
      return true;
    }
    return false;
  };

  const bool overflowPossible = gathered.overflowPossible;
  if (overflowPossible || last < 2 * kChunk) {
    // In order, one centre after another. Only extreme coordinates can
    // overflow: then every point the scans pass must have a 32-bit
    // difference from the centre, or the run stops at that centre.
    for (std::int32_t i = 3; i <= last - 2; ++i) {
      stage.SetValue(i);
      YieldPoint& centre = table[i];
      if (centre.RemovalCode != kRetained) continue;
      const Scans scans = planner.Next(i);
      if (overflowPossible) {
        HeadingSlope(table, i);
        for (const ScanRange& scan : scans) {
          for (std::int32_t j = scan.First; j <= scan.Last; ++j) {
            if (table[j].RemovalCode != kRetained) continue;
            Difference(centre.Easting, table[j].Easting, centre);
            Difference(centre.Northing, table[j].Northing, centre);
          }
        }
      }
      mark(i, search.Search(i, scans, scratch));
    }
    return;
  }

  // By chunks. No coordinate difference can overflow here, so the searches
  // throw nothing but a failed allocation.
  std::vector<Scans> scans(static_cast<std::size_t>(kChunk));
  std::vector<Finding> findings(static_cast<std::size_t>(kChunk));
  std::vector<std::uint8_t> marked(static_cast<std::size_t>(kChunk));
  std::array<std::vector<Candidate>, 2> stores;
  NeighbourSearch::Scratch otherScratch;
  // The searches of a chunk's centres, a turn of them at a time, the next
  // turn taken by whichever thread is free.
  std::atomic<std::int32_t> nextTurn = 0;
  const auto searchTurns = [&](std::int32_t chunkStart, std::int32_t chunkEnd,
                               std::uint8_t storeIndex, NeighbourSearch::Scratch& space) {
    std::vector<Candidate>& store = stores[storeIndex];
    store.clear();
    NeighbourList list;
    while (true) {
      const std::int32_t from = chunkStart + nextTurn.fetch_add(kTurn, std::memory_order_relaxed);
      if (from > chunkEnd) return;
      const std::int32_t to = std::min(chunkEnd, from + kTurn - 1);
      for (std::int32_t i = from; i <= to; ++i) {
        const auto k = static_cast<std::size_t>(i - chunkStart);
        if (table[i].RemovalCode != kRetained) continue;
        const std::size_t taken = search.Candidates(i, scans[k], space, kKeptCandidates);
        const std::size_t kept = std::min(taken, kKeptCandidates);
        Finding& finding = findings[k];
        finding.First = static_cast<std::uint32_t>(store.size());
        finding.Kept = static_cast<std::uint16_t>(kept);
        finding.Store = storeIndex;
        finding.All = taken <= kKeptCandidates;
        store.insert(store.end(), space.candidates.begin(),
                     space.candidates.begin() + static_cast<std::ptrdiff_t>(kept));
        search.MakeList(i, std::span<const Candidate>(space.candidates.data(), kept), list);
        finding.Found = StatisticsOf(list);
      }
    }
  };

  for (std::int32_t chunkStart = 3; chunkStart <= last - 2; chunkStart += kChunk) {
    const std::int32_t chunkEnd = std::min(last - 2, chunkStart + kChunk - 1);
    for (std::int32_t i = chunkStart; i <= chunkEnd; ++i) {
      if (table[i].RemovalCode == kRetained) {
        scans[static_cast<std::size_t>(i - chunkStart)] = planner.Next(i);
      }
    }

    // The searches, shared with another thread.
    nextTurn.store(0, std::memory_order_relaxed);
    RunBoth([&] { searchTurns(chunkStart, chunkEnd, 1, otherScratch); },
            [&] { searchTurns(chunkStart, chunkEnd, 0, scratch); });

    // The decisions, in order. A search saw the chunk's points as the chunk
    // began; it stands unless a point of its list, or a sequence neighbour
    // before the centre, has been marked since.
    std::fill(marked.begin(), marked.end(), std::uint8_t{0});
    const auto markedSince = [&](std::int32_t j, std::int32_t i) {
      return j >= chunkStart && j < i && marked[static_cast<std::size_t>(j - chunkStart)] != 0;
    };
    for (std::int32_t i = chunkStart; i <= chunkEnd; ++i) {
      stage.SetValue(i);
      if (table[i].RemovalCode != kRetained) continue;
      const auto k = static_cast<std::size_t>(i - chunkStart);
      const Finding& finding = findings[k];
      const std::vector<Candidate>& store = stores[finding.Store];
      const std::span<const Candidate> kept(store.data() + finding.First, finding.Kept);
      const std::size_t listed = std::min(kept.size(), kListSize);
      bool stands = true;
      for (std::size_t c = 0; c < listed && stands; ++c) {
        stands = !markedSince(static_cast<std::int32_t>(kept[c].Rank & kPositionMask), i);
      }
      for (std::int32_t j = i - 3; j < i && stands; ++j) stands = !markedSince(j, i);

      Statistics statistics = finding.Found;
      if (!stands) {
        // The kept candidates still retained, in their order, refill the
        // list; when they may run short of a full list, a new search.
        std::vector<Candidate>& refill = scratch.candidates;
        refill.clear();
        for (const Candidate& candidate : kept) {
          if (retained[candidate.Rank & kPositionMask] != 0) refill.push_back(candidate);
        }
        if (refill.size() < kListSize && !finding.All) {
          statistics = search.Search(i, scans[k], scratch);
        } else {
          NeighbourList list;
          search.MakeList(i, refill, list);
          statistics = StatisticsOf(list);
        }
      }
      if (mark(i, statistics)) marked[k] = 1;
    }
  }
}

}  // namespace tarvik

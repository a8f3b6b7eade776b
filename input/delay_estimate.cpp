#include "input/delay_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/errors.h"
#include "input/delay.h"
#include "input/segments.h"
#include "input/utm.h"

namespace tarvik {

namespace {

constexpr double kMetresPerInch = 0.0254;
constexpr double kFullMoisture = 100;
/// Records either side of a point whose positions give its heading.
constexpr std::int32_t kHeadingReach = 3;
/// Shortest travel over those records, in metres, that gives a heading.
constexpr double kShortestHeadingTravel = 3;
/// Points this close in time to a record with the header up take no part: a
/// combine often leaves the crop with the header still down or lowers it
/// before the crop, and what it logs there is no yield.
constexpr std::int64_t kHeaderMargin = 10;
/// Cosine of the smallest angle between the headings of opposite passes (120 degrees).
constexpr double kOppositeCosine = -0.5;
/// How far a neighbour may be, in swath widths: the next pass, not the one after.
constexpr double kReachInSwaths = 1.5;
/// Nearest points in opposite passes compared with each point.
constexpr std::size_t kNeighbours = 2;
/// Fewest pairs that can show a delay, and the least rise of the best score
/// over the candidates far from it that counts as standing out.
constexpr std::int32_t kFewestPairs = 200;
constexpr double kLeastRise = 0.02;
/// Candidates at least this many seconds from the best one must score kLeastRise less.
constexpr std::int32_t kPeakWidth = 4;
/// Side of the squares of the checkerboard that splits the field in two, in reaches.
constexpr double kHalfSquareInReaches = 8;

/// One point that takes part: where it is, which way it goes, and the factor
/// that turns a flow into its yield (up to a constant).
struct Sample {
  double X = 0;         // easting, m
  double Y = 0;         // northing, m
  double HeadingX = 0;  // unit vector of travel
  double HeadingY = 0;
  double PerFlow = 0;  // yield per lb/s of flow
};

/// A uniform grid of square cells over the samples, for finding neighbours.
class GridIndex {
 public:
  GridIndex(const std::vector<Sample>& samples, double cellSize) : cellSize_(cellSize) {
    entries_.reserve(samples.size());
    for (std::size_t k = 0; k < samples.size(); ++k) {
      entries_.push_back({Key(Cell(samples[k].X), Cell(samples[k].Y)), k});
    }
    std::sort(entries_.begin(), entries_.end());
  }

  /// Calls `visit` with every sample in the cell of (x, y) and its eight neighbours.
  template <typename Visit>
  void Around(double x, double y, Visit visit) const {
    const std::int64_t cx = Cell(x);
    const std::int64_t cy = Cell(y);
    for (std::int64_t dx = -1; dx <= 1; ++dx) {
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const std::uint64_t key = Key(cx + dx, cy + dy);
        auto it = std::lower_bound(entries_.begin(), entries_.end(), Entry{key, 0});
        for (; it != entries_.end() && it->key == key; ++it) visit(it->sample);
      }
    }
  }

 private:
  struct Entry {
    std::uint64_t key;
    std::size_t sample;
    friend bool operator<(const Entry& a, const Entry& b) {
      return a.key != b.key ? a.key < b.key : a.sample < b.sample;
    }
  };

  std::int64_t Cell(double metres) const {
    return static_cast<std::int64_t>(std::floor(metres / cellSize_));
  }
  static std::uint64_t Key(std::int64_t cx, std::int64_t cy) {
    return (static_cast<std::uint64_t>(cx) << 32) ^ (static_cast<std::uint64_t>(cy) & 0xFFFFFFFFU);
  }

  double cellSize_;
  std::vector<Entry> entries_;
};

/// First position of the run of logging that holds each position (runs
/// split where the time steps more than 6 s either way), and its last.
void RunBounds(const std::int32_t& count, const PointTable& table, std::vector<std::int32_t>& first,
               std::vector<std::int32_t>& last) {
  const auto size = static_cast<std::size_t>(count) + 1;
  first.assign(size, 0);
  last.assign(size, 0);
  for (std::int32_t i = 1; i <= count; ++i) {
    const bool gap = i == 1 || std::llabs(std::int64_t{table[i].GPSTime} - table[i - 1].GPSTime) >
                                   kMaxTimeStepInSegment;
    first[static_cast<std::size_t>(i)] = gap ? i : first[static_cast<std::size_t>(i - 1)];
  }
  for (std::int32_t i = count; i >= 1; --i) {
    const bool end = i == count || first[static_cast<std::size_t>(i + 1)] == i + 1;
    last[static_cast<std::size_t>(i)] = end ? i : last[static_cast<std::size_t>(i + 1)];
  }
}

/// Whether each position lies within kHeaderMargin s of a record of its run
/// logged with the header up, before or after it.
std::vector<bool> NearHeaderUp(const std::int32_t& count, const PointTable& table,
                               const std::vector<std::int32_t>& runFirst,
                               const std::vector<std::int32_t>& runLast) {
  std::vector<bool> near(static_cast<std::size_t>(count) + 1, false);
  std::int64_t upTime = 0;
  bool up = false;
  for (std::int32_t i = count; i >= 1; --i) {
    const auto p = static_cast<std::size_t>(i);
    if (runLast[p] == i) up = false;
    if (table[i].HeaderStatus == 1) {
      up = true;
      upTime = table[i].GPSTime;
    }
    if (up && upTime - table[i].GPSTime <= kHeaderMargin) near[p] = true;
  }
  up = false;
  for (std::int32_t i = 1; i <= count; ++i) {
    const auto p = static_cast<std::size_t>(i);
    if (runFirst[p] == i) up = false;
    if (table[i].HeaderStatus == 1) {
      up = true;
      upTime = table[i].GPSTime;
    }
    if (up && table[i].GPSTime - upTime <= kHeaderMargin) near[p] = true;
  }
  return near;
}

/// The value at `share` of the sorted values (nearest rank), without sorting them all.
double Quantile(std::vector<double> values, double share) {
  const auto rank = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank),
                   values.end());
  return values[rank];
}

/// Each yield replaced by its rank among them (ties share the mean rank), so
/// that neither a few spikes nor the spread of the field decide.
std::vector<double> Ranks(const std::vector<double>& yields) {
  std::vector<std::pair<double, std::size_t>> order(yields.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = {yields[k], k};
  std::sort(order.begin(), order.end());
  std::vector<double> ranks(yields.size());
  for (std::size_t first = 0; first < order.size();) {
    std::size_t next = first + 1;
    while (next < order.size() && order[next].first == order[first].first) ++next;
    const double rank = 0.5 * static_cast<double>(first + next - 1);
    for (std::size_t k = first; k < next; ++k) ranks[order[k].second] = rank;
    first = next;
  }
  return ranks;
}

/// 1 - Geary's ratio of `ranks` over `pairs`; 0 when the ranks do not vary.
double Coherence(const std::vector<double>& ranks,
                 const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
  double sum = 0;
  for (const double r : ranks) sum += r;
  const double n = static_cast<double>(ranks.size());
  const double mean = sum / n;
  double spread = 0;
  for (const double r : ranks) spread += (r - mean) * (r - mean);
  if (!(spread > 0)) return 0;
  double differences = 0;
  for (const auto& [a, b] : pairs) {
    const double d = ranks[a] - ranks[b];
    differences += d * d;
  }
  const double ratio = (n - 1) * differences / (2 * static_cast<double>(pairs.size()) * spread);
  return 1 - ratio;
}

}  // namespace

DelayEstimate EstimateFlowDelay(const std::int32_t& count, const PointTable& table,
                                Progress& progress) {
  DelayEstimate estimate;
  ProgressScope stage(progress, "Estimating the flow delay ...", kMaxEstimatedDelay + 2);
  const DelayLookup lookup(count, table);
  std::vector<std::int32_t> runFirst;
  std::vector<std::int32_t> runLast;
  RunBounds(count, table, runFirst, runLast);

  // Positions in metres, as the run will compute them.
  std::vector<double> x(static_cast<std::size_t>(std::max(count, 0)) + 1);
  std::vector<double> y(x.size());
  std::vector<bool> placed(x.size(), false);
  for (std::int32_t i = 1; i <= count; ++i) {
    UTMPoint utm;
    utm.Latitude = table[i].Latitude;
    utm.Longitude = table[i].Longitude;
    try {
      LatLongToUTM(utm);
    } catch (const RunError&) {
      continue;  // the run itself will stop on this point
    }
    x[static_cast<std::size_t>(i)] = utm.Easting;
    y[static_cast<std::size_t>(i)] = utm.Northing;
    placed[static_cast<std::size_t>(i)] = true;
  }

  const std::vector<bool> nearHeaderUp = NearHeaderUp(count, table, runFirst, runLast);

  // The points that take part, and where their flow comes from at each delay.
  std::vector<Sample> samples;
  std::vector<std::array<std::int32_t, kMaxEstimatedDelay + 1>> sources;
  std::vector<double> swaths;
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    if (point.HeaderStatus == 1 || point.Distance <= 0 || point.Swath <= 0 ||
        point.GPSInterval <= 0 || !(point.Moisture < kFullMoisture)) {
      continue;
    }
    if (nearHeaderUp[static_cast<std::size_t>(i)]) continue;
    const auto p = static_cast<std::size_t>(i);
    const std::int32_t back = std::max(runFirst[p], i - kHeadingReach);
    const std::int32_t ahead = std::min(runLast[p], i + kHeadingReach);
    const auto b = static_cast<std::size_t>(back);
    const auto a = static_cast<std::size_t>(ahead);
    if (!placed[p] || !placed[b] || !placed[a]) continue;
    const double dx = x[a] - x[b];
    const double dy = y[a] - y[b];
    const double travel = std::sqrt(dx * dx + dy * dy);
    if (travel < kShortestHeadingTravel) continue;
    std::array<std::int32_t, kMaxEstimatedDelay + 1> from{};
    bool everyDelay = true;
    for (std::int32_t d = kMaxEstimatedDelay; d >= 0 && everyDelay; --d) {
      from[static_cast<std::size_t>(d)] = lookup.Source(i, d);
      everyDelay = from[static_cast<std::size_t>(d)] != 0;
    }
    if (!everyDelay) continue;
    Sample sample;
    sample.X = x[p];
    sample.Y = y[p];
    sample.HeadingX = dx / travel;
    sample.HeadingY = dy / travel;
    const double swath = point.Swath * kMetresPerInch;
    sample.PerFlow = point.GPSInterval * (kFullMoisture - point.Moisture) /
                     (swath * (point.Distance * kMetresPerInch));
    samples.push_back(sample);
    sources.push_back(from);
    swaths.push_back(swath);
  }
  stage.SetValue(1);
  estimate.Points = static_cast<std::int32_t>(samples.size());
  if (samples.size() < 2) {
    return estimate;
  }

  // Each point's nearest points in passes run the other way, within reach of
  // the next pass. The pairs do not depend on the delay: only the flows move.
  const double reach = std::max(kReachInSwaths * Quantile(swaths, 0.5), 1.0);
  const GridIndex grid(samples, reach);
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  for (std::size_t k = 0; k < samples.size(); ++k) {
    const Sample& s = samples[k];
    std::array<std::pair<double, std::size_t>, kNeighbours> nearest;
    nearest.fill({std::numeric_limits<double>::infinity(), 0});
    grid.Around(s.X, s.Y, [&](std::size_t j) {
      const Sample& t = samples[j];
      if (s.HeadingX * t.HeadingX + s.HeadingY * t.HeadingY > kOppositeCosine) return;
      const double dx = t.X - s.X;
      const double dy = t.Y - s.Y;
      const std::pair<double, std::size_t> candidate{dx * dx + dy * dy, j};
      if (candidate.first > reach * reach || !(candidate < nearest.back())) return;
      nearest.back() = candidate;
      std::sort(nearest.begin(), nearest.end());
    });
    for (const auto& [distance, j] : nearest) {
      if (std::isfinite(distance)) pairs.emplace_back(k, j);
    }
  }
  estimate.Pairs = static_cast<std::int32_t>(pairs.size());
  if (pairs.empty()) {
    return estimate;
  }

  // Two interleaved halves of the field, a checkerboard of large squares:
  // a clear delay is one that both halves find.
  std::array<std::vector<std::pair<std::size_t, std::size_t>>, 2> halves;
  const double square = kHalfSquareInReaches * reach;
  for (const auto& pair : pairs) {
    const Sample& s = samples[pair.first];
    const auto cx = static_cast<std::int64_t>(std::floor(s.X / square));
    const auto cy = static_cast<std::int64_t>(std::floor(s.Y / square));
    halves[static_cast<std::size_t>((cx + cy) & 1)].push_back(pair);
  }

  std::vector<double> yields(samples.size());
  std::array<std::vector<double>, 2> halfScores;
  for (std::int32_t d = 0; d <= kMaxEstimatedDelay; ++d) {
    for (std::size_t k = 0; k < samples.size(); ++k) {
      const std::int32_t source = sources[k][static_cast<std::size_t>(d)];
      yields[k] = std::max(0.0f, table[source].GrainFlow) * samples[k].PerFlow;
    }
    const std::vector<double> ranks = Ranks(yields);
    estimate.Scores.push_back({d, Coherence(ranks, pairs)});
    for (std::size_t h = 0; h < 2; ++h) {
      halfScores[h].push_back(halves[h].empty() ? 0 : Coherence(ranks, halves[h]));
    }
    stage.SetValue(d + 2);
  }

  const auto best = [](const std::vector<double>& scores) {
    return static_cast<std::int32_t>(std::max_element(scores.begin(), scores.end()) -
                                     scores.begin());
  };
  std::vector<double> all;
  for (const DelayScore& score : estimate.Scores) all.push_back(score.Score);
  const std::int32_t chosen = best(all);
  // The best score must stand above every candidate a few seconds away.
  double far = -std::numeric_limits<double>::infinity();
  for (std::int32_t d = 0; d <= kMaxEstimatedDelay; ++d) {
    if (std::abs(d - chosen) >= kPeakWidth) far = std::max(far, all[static_cast<std::size_t>(d)]);
  }
  const bool halvesAgree =
      std::abs(best(halfScores[0]) - chosen) <= 1 && std::abs(best(halfScores[1]) - chosen) <= 1;
  estimate.Clear = estimate.Pairs >= kFewestPairs && halves[0].size() >= kFewestPairs / 2 &&
                   halves[1].size() >= kFewestPairs / 2 &&
                   all[static_cast<std::size_t>(chosen)] - far >= kLeastRise && halvesAgree;
  if (estimate.Clear) estimate.Delay = chosen;
  return estimate;
}

}  // namespace tarvik

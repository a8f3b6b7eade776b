#include "run/summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace tarvik {

namespace {

double Share(std::int32_t part, std::int32_t whole) {
  return whole > 0 ? 100.0 * part / whole : 0.0;
}

/// 1, 2, 2.5 or 5 times a power of ten, at least `step`.
double NiceStep(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step)));
  for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (factor * power >= step) return factor * power;
  }
  return 10 * power;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, end.ptr);
}

/// One CSV field: quoted when it holds a comma, a quote or a line break.
/// The shortest text that reads back as `value`.
std::string Shortest(float value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvStatistics(const std::string& label, const YieldStatistics& s) {
  std::string row = CsvField(label) + "," + std::to_string(s.Count);
  if (s.Count == 0) return row + ",,,,,,\r\n";
  return row + "," + Fixed(s.Mean, 2) + "," + Fixed(s.SD, 2) + "," +
         (s.CV ? Fixed(*s.CV, 2) : std::string()) + "," + Fixed(s.Minimum, 2) + "," +
         Fixed(s.Median, 2) + "," + Fixed(s.Maximum, 2) + "\r\n";
}

}  // namespace

double Percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const double rank = fraction * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(rank));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (sorted[above] - sorted[below]) * (rank - static_cast<double>(below));
}

YieldStatistics DescribeYields(std::vector<double> yields) {
  YieldStatistics s;
  if (yields.empty()) return s;
  std::sort(yields.begin(), yields.end());
  s.Count = static_cast<std::int32_t>(yields.size());
  double sum = 0;
  for (const double y : yields) sum += y;
  s.Mean = sum / s.Count;
  if (s.Count > 1) {
    double squares = 0;
    for (const double y : yields) squares += (y - s.Mean) * (y - s.Mean);
    s.SD = std::sqrt(squares / (s.Count - 1));
  }
  if (s.Mean != 0) s.CV = 100 * s.SD / s.Mean;
  s.Minimum = yields.front();
  s.Median = Percentile(yields, 0.5);
  s.Maximum = yields.back();
  return s;
}

YieldHistogram BuildHistogram(const std::vector<double>& all, const std::vector<double>& retained,
                              int bins) {
  YieldHistogram h;
  if (all.empty() && retained.empty()) return h;
  std::vector<double> sorted = all;
  std::sort(sorted.begin(), sorted.end());
  double low = sorted.empty() ? retained.front() : Percentile(sorted, 0.01);
  double high = sorted.empty() ? retained.front() : Percentile(sorted, 0.99);
  for (const double y : retained) {
    low = std::min(low, y);
    high = std::max(high, y);
  }
  const double width = NiceStep(high > low ? (high - low) / bins : 1.0);
  const double first = std::floor(low / width) * width;
  const auto count = static_cast<std::size_t>(std::floor((high - first) / width)) + 1;
  for (std::size_t i = 0; i <= count; ++i)
    h.Edges.push_back(first + width * static_cast<double>(i));
  h.All.assign(count, 0);
  h.Retained.assign(count, 0);
  const auto bin = [&](double y) {
    const auto i = static_cast<std::ptrdiff_t>(std::floor((y - first) / width));
    return static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(i, 0, count - 1));
  };
  for (const double y : all) {
    if (y < h.Edges.front()) {
      ++h.AllBelow;
    } else if (y >= h.Edges.back()) {
      ++h.AllAbove;
    } else {
      ++h.All[bin(y)];
    }
  }
  for (const double y : retained) ++h.Retained[bin(y)];
  return h;
}

RunSummary SummariseRun(const std::int32_t& count, const PointTable& table,
                        const ConvertedSettings& settings, const DelayOutcome& delay) {
  RunSummary s;
  s.PointsRead = count;
  s.Settings = settings;
  s.Delay = delay;
  const std::array<std::int32_t, kCodeCount> byCode = CountCodes(count, table);
  s.Retained = byCode[kRetained];
  s.Removed = count - s.Retained;
  s.RetainedPercent = Share(s.Retained, count);
  s.RemovedPercent = Share(s.Removed, count);
  // "No flow after delay" exists only in runs whose flows a delay moved.
  for (int code = 1; code < ReportedCodeCount(delay.FlowDelay > 0); ++code) {
    const char* rule = RuleName(code);
    if (rule == nullptr) continue;
    const std::int32_t n = byCode[static_cast<std::size_t>(code)];
    s.Codes.push_back({code, rule, n, Share(n, count)});
  }

  std::vector<double> all;
  std::vector<double> retained;
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& p = table[i];
    if (static_cast<double>(p.Swath) * p.Distance > 0) all.push_back(p.Yield);
    if (p.RemovalCode == kRetained) retained.push_back(p.Yield);
  }
  s.Histogram = BuildHistogram(all, retained);
  s.AllYields = DescribeYields(std::move(all));
  s.RetainedYields = DescribeYields(std::move(retained));
  return s;
}

std::string SummaryCsv(const RunSummary& s, const std::string& inputFile) {
  std::string csv = "Input file," + CsvField(inputFile) + "\r\n";
  csv += "Points,Count,Percent\r\n";
  csv +=
      "Read," + std::to_string(s.PointsRead) + "," + Fixed(s.PointsRead > 0 ? 100 : 0, 2) + "\r\n";
  csv += "Retained," + std::to_string(s.Retained) + "," + Fixed(s.RetainedPercent, 2) + "\r\n";
  csv += "Removed," + std::to_string(s.Removed) + "," + Fixed(s.RemovedPercent, 2) + "\r\n";
  csv += "\r\nCode,Rule,Count,Percent\r\n";
  for (const CodeRow& row : s.Codes) {
    csv += std::to_string(row.Code) + "," + CsvField(row.Rule) + "," + std::to_string(row.Count) +
           "," + Fixed(row.Percent, 2) + "\r\n";
  }
  csv += "\r\nYield (bu/ac),Count,Mean,SD,CV (%),Minimum,Median,Maximum\r\n";
  csv += CsvStatistics("All points with a positive area", s.AllYields);
  csv += CsvStatistics("Retained points", s.RetainedYields);
  csv += "\r\nBin from (bu/ac),Bin to (bu/ac),All,Retained\r\n";
  const YieldHistogram& h = s.Histogram;
  if (!h.Edges.empty()) {
    csv += ',';
    csv += Fixed(h.Edges.front(), 2) + "," + std::to_string(h.AllBelow) + ",0\r\n";
    for (std::size_t i = 0; i < h.All.size(); ++i) {
      csv += Fixed(h.Edges[i], 2) + "," + Fixed(h.Edges[i + 1], 2) + "," +
             std::to_string(h.All[i]) + "," + std::to_string(h.Retained[i]) + "\r\n";
    }
    csv += Fixed(h.Edges.back(), 2) + ",," + std::to_string(h.AllAbove) + ",0\r\n";
  }
  const ConvertedSettings& c = s.Settings;
  const std::pair<const char*, std::string> settings[] = {
      {"Standard moisture (%)", Shortest(c.TargetMoisture)},
      {"Test weight (lb/bu)", Shortest(c.TestWeight)},
      {"Buffer half-width (m)", std::to_string(c.BufferHalfWidth)},
      {"Start pass delay (s)", std::to_string(c.StartPassDelay)},
      {"End pass delay (s)", std::to_string(c.EndPassDelay)},
      {"SD for outlier test", Shortest(c.SDOutlier)},
      {"Lower yield limit (bu/ac)", Shortest(c.LowerLimit)},
      {"Upper yield limit (bu/ac)", Shortest(c.UpperLimit)},
      {"Neighbourhood size X (m)", Shortest(c.SearchX)},
      {"Neighbourhood size Y (m)", Shortest(c.SearchY)},
      {"SD for neighbourhood", Shortest(c.SearchSD)},
      {"Minimum points of a valid segment", std::to_string(c.MinimumPoints)},
      {"False easting (m)", std::to_string(c.FalseEasting)},
      {"False northing (m)", std::to_string(c.FalseNorthing)},
  };
  csv += "\r\nSetting,Value\r\n";
  for (const auto& [name, value] : settings) csv += std::string(name) + "," + value + "\r\n";
  return csv;
}

}  // namespace tarvik

#include "cli/summary_file.h"

#include <nlohmann/json.hpp>

#include "core/number_text.h"

namespace tarvik {

namespace {

using nlohmann::json;

json Statistics(const YieldStatistics& s) {
  json figures = {{"count", s.Count}};
  const auto figure = [&](const char* name, double value) {
    figures[name] = s.Count > 0 ? json(value) : json(nullptr);
  };
  figure("mean", s.Mean);
  figure("sd", s.SD);
  figures["cv_percent"] = s.CV ? json(*s.CV) : json(nullptr);
  figure("minimum", s.Minimum);
  figure("median", s.Median);
  figure("maximum", s.Maximum);
  return figures;
}

/// What the delays did; with "auto", the method, its measure and the score
/// of every candidate delay, so that a user can see how clear the choice was.
json DelayJson(const DelayOutcome& d) {
  json delay = {{"flow_delay_s", d.FlowDelay}, {"moisture_delay_s", d.MoistureDelay}};
  if (d.Estimated) {
    json scores = json::array();
    for (const DelayScore& score : d.Scores) {
      scores.push_back({{"delay_s", score.Delay}, {"score", score.Score}});
    }
    delay["estimate"] = {{"method", kDelayMethod},
                         {"measure", kDelayMeasure},
                         {"clear", d.Clear},
                         {"points_compared", d.PointsCompared},
                         {"pairs_compared", d.PairsCompared},
                         {"scores", scores}};
  }
  return delay;
}

json SummaryJson(const RunSummary& s) {
  json codes = json::array();
  for (const CodeRow& row : s.Codes) {
    codes.push_back(
        {{"code", row.Code}, {"rule", row.Rule}, {"count", row.Count}, {"percent", row.Percent}});
  }
  const ConvertedSettings& c = s.Settings;
  return {
      {"points",
       {{"read", s.PointsRead},
        {"retained", s.Retained},
        {"retained_percent", s.RetainedPercent},
        {"removed", s.Removed},
        {"removed_percent", s.RemovedPercent}}},
      {"codes", codes},
      {"yield_bu_per_acre",
       {{"all_with_positive_area", Statistics(s.AllYields)},
        {"retained", Statistics(s.RetainedYields)}}},
      {"histogram",
       {{"edges", s.Histogram.Edges},
        {"all", s.Histogram.All},
        {"retained", s.Histogram.Retained},
        {"all_below", s.Histogram.AllBelow},
        {"all_above", s.Histogram.AllAbove}}},
      {"delay", DelayJson(s.Delay)},
      {"settings",
       {{"standard_moisture_percent", ShortestDecimal(c.TargetMoisture)},
        {"test_weight_lb_per_bu", ShortestDecimal(c.TestWeight)},
        {"buffer_half_width_m", c.BufferHalfWidth},
        {"start_pass_delay_s", c.StartPassDelay},
        {"end_pass_delay_s", c.EndPassDelay},
        {"outlier_sd", ShortestDecimal(c.SDOutlier)},
        {"lower_limit_bu_per_acre", ShortestDecimal(c.LowerLimit)},
        {"upper_limit_bu_per_acre", ShortestDecimal(c.UpperLimit)},
        {"search_x_m", ShortestDecimal(c.SearchX)},
        {"search_y_m", ShortestDecimal(c.SearchY)},
        {"neighbourhood_sd", ShortestDecimal(c.SearchSD)},
        {"minimum_points_per_segment", c.MinimumPoints},
        {"false_easting_m", c.FalseEasting},
        {"false_northing_m", c.FalseNorthing}}},
  };
}

}  // namespace

std::string SummaryJsonText(const std::vector<FileSummary>& files) {
  json entries = json::array();
  for (const FileSummary& file : files) {
    json entry = {{"input", file.Input}, {"outcome", file.Outcome}};
    if (!file.Output.empty()) entry["output"] = file.Output;
    if (!file.Map.empty()) entry["map"] = file.Map;
    if (!file.Message.empty()) entry["message"] = file.Message;
    if (!file.Reason.empty()) entry["reason"] = file.Reason;
    if (file.Summary) entry["summary"] = SummaryJson(*file.Summary);
    entries.push_back(std::move(entry));
  }
  // Paths and reasons may hold bytes that are not UTF-8: keep them visible.
  return json{{"files", entries}}.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace tarvik

#include "run/run.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>

#include "checks/ordering.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "input/advanced_export.h"
#include "input/blocks.h"
#include "input/delay.h"
#include "input/delay_estimate.h"
#include "input/utm.h"
#include "input/yield_import.h"
#include "output/writers.h"
#include "run/stage_checks.h"
#include "run/stages.h"

namespace tarvik {

namespace {

/// Converts the settings in the order the run uses them; the first failure
/// gives the message that names the field by its label.
class SettingsConverter {
 public:
  explicit SettingsConverter(char decimalPoint) : decimalPoint_(decimalPoint) {}

  void Single(std::string_view text, const char* label, float& out) {
    if (error) return;
    if (auto value = ParseSingle(text, decimalPoint_)) {
      out = *value;
    } else {
      error = std::string(label) + " must be a number from -3.402823E+38 to 3.402823E+38.";
    }
  }

  template <typename Int>
  void Whole(std::string_view text, const char* label, Int& out) {
    if (error || ParseWholeInto(text, out, decimalPoint_)) return;
    error = std::string(label) + " must be a whole number from " +
            std::to_string(std::numeric_limits<Int>::min()) + " to " +
            std::to_string(std::numeric_limits<Int>::max()) + ".";
  }

  /// The buffer: the text as a double, divided by 4, rounded half to even to 16 bits.
  void Buffer(std::string_view text, const char* label, std::int16_t& out) {
    if (error) return;
    if (auto value = ParseDecimal(text, decimalPoint_)) {
      const double quarter = RoundHalfEven(*value / 4);
      if (quarter >= -32768 && quarter <= 32767) {
        out = static_cast<std::int16_t>(quarter);
        return;
      }
    }
    error = std::string(label) + " must be a number from -131074 to 131069.";
  }

  /// A delay in whole seconds from 0 up; empty text is no delay, and
  /// `automatic`, when given, is set by the text "auto".
  void Delay(std::string_view text, const char* label, std::int16_t& out,
             bool* automatic = nullptr) {
    if (error) return;
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) {
      out = 0;
      return;
    }
    if (automatic != nullptr && IsAuto(trimmed)) {
      *automatic = true;
      out = 0;
      return;
    }
    std::int16_t value = 0;
    if (ParseWholeInto(trimmed, value, decimalPoint_) && value >= 0) {
      out = value;
      return;
    }
    error = std::string(label) + " must be a whole number of seconds from 0 to 32767" +
            (automatic != nullptr ? ", or \"auto\"." : ".");
  }

  std::optional<std::string> error;

 private:
  static std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
  }
  static bool IsAuto(std::string_view text) {
    if (text.size() != 4) return false;
    for (std::size_t k = 0; k < 4; ++k) {
      if ((text[k] | 0x20) != "auto"[k]) return false;
    }
    return true;
  }

  char decimalPoint_;
};

RunOutcome Message(RunStatus status, std::string text, std::string title, MessageIcon icon,
                   std::string detail = {}) {
  RunOutcome outcome;
  outcome.Status = status;
  outcome.Text = std::move(text);
  outcome.Title = std::move(title);
  outcome.Icon = icon;
  outcome.Detail = std::move(detail);
  return outcome;
}

RunOutcome InvalidInput(std::string detail) {
  return Message(RunStatus::InvalidInput, kInvalidInputText, kInvalidInputTitle,
                 MessageIcon::Critical, std::move(detail));
}

/// The header codes chosen for the importer; `error` set when the text names none.
std::optional<HeaderCodes> ChosenHeaderCodes(InputFormat format, const std::string& text,
                                             bool& error) {
  error = false;
  if (format != InputFormat::Detect || text.empty()) return std::nullopt;
  auto codes = ParseHeaderCodes(text);
  error = !codes;
  return codes;
}

/// The read, shared with the input button's preload: a fresh table, then
/// the whole file or nothing. The reason when nothing was read. With
/// the importer, `layout` receives what it detected, and a reason says it.
std::optional<std::string> ReadInput(std::int32_t& count, PointTable& table,
                                     const std::string& inputFile,
                                     InputFormat format = InputFormat::AdvancedExport,
                                     const std::optional<HeaderCodes>& codes = std::nullopt,
                                     std::string* layout = nullptr) {
  if (inputFile.empty() || format == InputFormat::Detect) RecreateTable(table);
  if (inputFile.empty()) return "No input file was named.";
  if (format == InputFormat::Detect) {
    const ImportResult imported = ReadYieldExport(inputFile, table, count, codes);
    if (layout != nullptr) *layout = imported.layout;
    if (imported.ok && count > 0) return std::nullopt;
    count = 0;
    std::string reason =
        imported.reason.empty() ? inputFile + ": the file holds no records." : imported.reason;
    if (!imported.layout.empty()) reason += " (layout detected: " + imported.layout + ")";
    return reason;
  }
  const ReadResult read = ReadAdvancedExport(inputFile, table, count);
  if (read && count > 0) return std::nullopt;
  count = 0;
  return read ? inputFile + ": the file holds no records." : read.reason();
}

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(b, error) && fs::equivalent(a, b, error)) return true;
  const fs::path pa = fs::weakly_canonical(fs::path(a), error);
  if (error) return false;
  const fs::path pb = fs::weakly_canonical(fs::path(b), error);
  if (error) return false;
  return pa == pb;
}

}  // namespace

Result<ConvertedSettings> ConvertRunSettings(const RunSettings& s) {
  ConvertedSettings out;
  SettingsConverter c(s.DecimalPoint);
  c.Single(s.MC, "Standard Moisture Content (%)", out.TargetMoisture);
  c.Single(s.Density, "Test weight (lb/bu)", out.TestWeight);
  c.Buffer(s.SearchSize, "Search Size", out.BufferHalfWidth);
  c.Whole(s.StartPassDelay, "Start Pass Delay", out.StartPassDelay);
  c.Whole(s.EndPassDelay, "End Pass Delay", out.EndPassDelay);
  c.Single(s.SDOutlier, "SD for Outlier Test", out.SDOutlier);
  c.Single(s.LowerLimit, "Lower Limit", out.LowerLimit);
  c.Single(s.UpperLimit, "Upper Limit", out.UpperLimit);
  c.Single(s.SearchX, "Search Neighborhood Size X", out.SearchX);
  c.Single(s.SearchY, "Search Neighborhood Size Y", out.SearchY);
  c.Single(s.SearchSD, "SD for Neighborhood", out.SearchSD);
  c.Whole(s.NoPointsforValidSeg, "Minimum # of data points for a valid segment", out.MinimumPoints);
  c.Whole(s.FEast, "False Easting", out.FalseEasting);
  c.Whole(s.FNorth, "False Northing", out.FalseNorthing);
  c.Delay(s.FlowDelay, "Flow Delay", out.FlowDelay, &out.EstimateFlowDelay);
  c.Delay(s.MoistureDelay, "Moisture Delay", out.MoistureDelay);
  if (c.error) return Fail(std::move(*c.error));
  return out;
}

FieldExtent ConvertCoordinates(const std::int32_t& count, PointTable& table) {
  FieldExtent extent;
  UTMConverter converter;
  for (std::int32_t i = 1; i <= count; ++i) {
    YieldPoint& point = table[i];
    UTMPoint utm;
    utm.Latitude = point.Latitude;
    utm.Longitude = point.Longitude;
    try {
      const UTMPoint result = converter.Convert(utm);
      point.Easting = result.Easting;
      point.Northing = result.Northing;
    } catch (const RunError& error) {
      StopAtPoint(point.ID, error.what());
    }
    if (point.Easting < extent.MinEasting) extent.MinEasting = point.Easting;
    if (point.Easting > extent.MaxEasting) extent.MaxEasting = point.Easting;
    if (point.Northing < extent.MinNorthing) extent.MinNorthing = point.Northing;
    if (point.Northing > extent.MaxNorthing) extent.MaxNorthing = point.Northing;
  }
  return extent;
}

void WidenFieldExtent(FieldExtent& extent) {
  constexpr std::int64_t kMin = INT32_MIN;
  constexpr std::int64_t kMax = INT32_MAX;
  const std::int64_t minE = std::int64_t{extent.MinEasting} - 1;
  const std::int64_t maxE = std::int64_t{extent.MaxEasting} + 1;
  const std::int64_t minN = std::int64_t{extent.MinNorthing} - 1;
  const std::int64_t maxN = std::int64_t{extent.MaxNorthing} + 1;
  if (minE < kMin || maxE > kMax || minN < kMin || maxN > kMax || maxE - minE > kMax ||
      maxN - minN > kMax) {
    throw RunError("The field extent is beyond the 32-bit range of coordinates.");
  }
  extent.MinEasting = static_cast<std::int32_t>(minE);
  extent.MaxEasting = static_cast<std::int32_t>(maxE);
  extent.MinNorthing = static_cast<std::int32_t>(minN);
  extent.MaxNorthing = static_cast<std::int32_t>(maxN);
}

std::array<std::int32_t, kCodeCount> CountCodes(const std::int32_t& count,
                                                const PointTable& table) {
  std::array<std::int32_t, kCodeCount> byCode{};
  for (std::int32_t i = 1; i <= count; ++i) {
    const int code = table[i].RemovalCode;
    if (code >= 0 && code < kCodeCount) ++byCode[static_cast<std::size_t>(code)];
  }
  return byCode;
}

std::string RetainedPercent(const RunCounts& counts) {
  char share[32];
  const double percent = counts.PointsRead > 0 ? 100.0 * counts.ByCode[0] / counts.PointsRead : 0.0;
  const auto end = std::to_chars(share, share + sizeof share, percent, std::chars_format::fixed, 1);
  return std::string(share, end.ptr);
}

std::string DescribeCounts(const RunCounts& counts) {
  std::string text = std::to_string(counts.PointsRead) + " points read, " +
                     std::to_string(counts.ByCode[0]) + " retained (" + RetainedPercent(counts) +
                     " %).";
  for (int code = 1; code < ReportedCodeCount(counts.FlowDelayed); ++code) {
    const std::int32_t n = counts.ByCode[static_cast<std::size_t>(code)];
    if (n == 0) continue;
    text += "\nCode " + std::to_string(code) + " (" + RemovalCodeName(code) +
            "): " + std::to_string(n) + " removed";
  }
  return text;
}

std::string DescribeDelay(const DelayOutcome& delay) {
  std::string text;
  if (delay.FlowAsked) {
    text = "flow delay " + std::to_string(delay.FlowDelay) + " s";
    if (delay.Estimated) text += delay.Clear ? " (estimated)" : " (no clear delay)";
  }
  if (delay.MoistureDelay > 0) {
    if (!text.empty()) text += ", ";
    text += "moisture delay " + std::to_string(delay.MoistureDelay) + " s";
  }
  return text;
}

std::string DescribeDelayScores(const DelayOutcome& delay) {
  if (!delay.Estimated) return {};
  std::string text = std::string("Flow delay estimate: ") + kDelayMethod +
                     ".\nMeasure: " + kDelayMeasure + "; " + std::to_string(delay.PointsCompared) +
                     " points, " + std::to_string(delay.PairsCompared) + " pairs compared.";
  for (const DelayScore& score : delay.Scores) {
    char value[32];
    const auto end =
        std::to_chars(value, value + sizeof value, score.Score, std::chars_format::fixed, 4);
    text += "\n  delay " + std::string(score.Delay < 10 ? " " : "") + std::to_string(score.Delay) +
            " s: " + std::string(value, end.ptr);
    if (delay.Clear && score.Delay == delay.FlowDelay) text += "  <- chosen";
  }
  if (!delay.Clear) text += "\nno clear delay: the flows are not moved.";
  return text;
}

namespace {

/// The delay step: estimates the flow delay when asked to, then moves the
/// flows and the moistures back to where the grain was cut.
DelayOutcome ApplyDelays(const std::int32_t& count, PointTable& table, const ConvertedSettings& s,
                         Progress& progress) {
  DelayOutcome delay;
  delay.FlowAsked = s.EstimateFlowDelay || s.FlowDelay > 0;
  delay.FlowDelay = s.FlowDelay;
  if (s.EstimateFlowDelay) {
    const DelayEstimate estimate = EstimateFlowDelay(count, table, progress);
    delay.Estimated = true;
    delay.Clear = estimate.Clear;
    delay.FlowDelay = estimate.Delay;
    delay.PointsCompared = estimate.Points;
    delay.PairsCompared = estimate.Pairs;
    delay.Scores = estimate.Scores;
  }
  if (delay.FlowDelay > 0) FlowDelay(count, table, delay.FlowDelay);
  delay.MoistureDelay = s.MoistureDelay;
  if (delay.MoistureDelay > 0) MoistureDelay(count, table, delay.MoistureDelay);
  return delay;
}

/// A finished run's message: the layout read, the counts, and the delays used.
RunOutcome Finished(const RunCounts& counts, DelayOutcome delay, const std::string& layout) {
  std::string detail = DescribeCounts(counts);
  if (std::string used = DescribeDelay(delay); !used.empty()) {
    used[0] = static_cast<char>(used[0] - 'a' + 'A');
    detail += "\n" + used + ".";
  }
  RunOutcome outcome =
      Message(RunStatus::Finished, "FINISH", "", MessageIcon::Information, std::move(detail));
  outcome.Counts = counts;
  if (!layout.empty()) {
    outcome.Detail = "Read as " + layout + ".\n" + outcome.Detail;
    outcome.InputLayout = layout;
  }
  outcome.Delay = std::move(delay);
  return outcome;
}

}  // namespace

RunOutcome RunPipeline(std::int32_t& count, PointTable& table, const RunSettings& settings,
                       Progress& progress) {
  bool badCodes = false;
  const auto codes = ChosenHeaderCodes(settings.Format, settings.HeaderCodes, badCodes);
  if (badCodes) {
    return Message(RunStatus::SettingError, kHeaderCodesError, kSettingsTitle,
                   MessageIcon::Critical);
  }
  std::string layout;
  if (auto refused = ReadInput(count, table, settings.InputFile, settings.Format, codes, &layout)) {
    RunOutcome refusal = InvalidInput(std::move(*refused));
    refusal.InputLayout = layout;
    return refusal;
  }

  const auto converted = ConvertRunSettings(settings);
  if (!converted) {
    return Message(RunStatus::SettingError, converted.reason(), kSettingsTitle,
                   MessageIcon::Critical);
  }
  const ConvertedSettings& s = *converted;

  RunCounts counts;
  counts.PointsRead = count;
  DelayOutcome delay;
  StageState state{count, table, s, progress};
  StageChecks checks;  // debug builds only
  try {
    // Flows and moistures back where the grain was cut, when asked to.
    delay = ApplyDelays(count, table, s, progress);
    counts.FlowDelayed = delay.FlowDelay > 0;

    for (const RunStage& stage : kRunStages) {
      stage.run(state);
      if (stage.groupEnd != nullptr) checks.After(stage.groupEnd, count, table, stage.fileOrder);
    }
    counts.HighCounter = state.highCounter;
    counts.LowCounter = state.lowCounter;
    counts.DuplicateCounter = state.duplicateCounter;
    counts.ByCode = CountCodes(count, table);

    // Exactly one output file, never over the input.
    if (SameFile(settings.InputFile, settings.OutputFile)) {
      return Message(RunStatus::OutputError, "The output file must not be the input file.",
                     kOutputTitle, MessageIcon::Critical, settings.OutputFile);
    }
    if (settings.BasicOutput) {
      WriteBasicOutput(settings.Title, settings.OutputFile, count, table, settings.Rescale,
                       s.FalseEasting, s.FalseNorthing);
    } else {
      WriteDetailedOutput(settings.Title, settings.OutputFile, count, table, settings.Rescale,
                          s.FalseEasting, s.FalseNorthing);
    }
  } catch (const RunError& error) {
    // Whatever stopped the run, the table it leaves is in file order.
    if (state.grouped) {
      try {
        RestoreInputOrder(count, table);
      } catch (const RunError&) {
        // The IDs are 1..count after segmentation, so this cannot fail.
      }
    }
    return Message(RunStatus::RunError, error.what(), kRunErrorTitle, MessageIcon::Critical);
  } catch (const OutputError& error) {
    return Message(RunStatus::OutputError, error.what(), kOutputTitle, MessageIcon::Critical);
  } catch (const std::bad_alloc&) {
    return Message(RunStatus::RunError, "Not enough memory for the run.", kRunErrorTitle,
                   MessageIcon::Critical);
  }

  return Finished(counts, std::move(delay), layout);
}

PreloadOutcome PreloadInput(std::int32_t& count, PointTable& table, const std::string& inputFile,
                            const std::string& mc, const std::string& density, char decimalPoint,
                            InputFormat format, const std::string& headerCodes) {
  PreloadOutcome outcome;
  bool badCodes = false;
  const auto codes = ChosenHeaderCodes(format, headerCodes, badCodes);
  if (badCodes) {
    outcome.Detail = kHeaderCodesError;
    return outcome;
  }
  if (auto refused = ReadInput(count, table, inputFile, format, codes)) {
    outcome.Result = PreloadOutcome::Kind::InvalidInput;
    outcome.Detail = std::move(*refused);
    return outcome;
  }
  const auto targetMoisture = ParseSingle(mc, decimalPoint);
  const auto testWeight = ParseSingle(density, decimalPoint);
  if (!targetMoisture || !testWeight) {
    outcome.Detail = "The moisture or test weight is not a number.";
    return outcome;
  }
  ConvertedSettings converted;
  converted.TargetMoisture = *targetMoisture;
  converted.TestWeight = *testWeight;
  StageState state{count, table, converted, NoProgress()};
  state.widenExtent = false;
  try {
    for (const RunStage& stage : PreloadStages()) stage.run(state);
  } catch (const RunError& error) {
    outcome.Detail = error.what();
    return outcome;
  }
  // Not the extent's minima: the button's scan starts from 100,000,000, the
  // run's extent from 10,000,000, and a field beyond both must keep that difference.
  std::int32_t minEasting = 100000000;
  std::int32_t minNorthing = 100000000;
  for (std::int32_t i = 1; i <= count; ++i) {
    if (table[i].Easting < minEasting) minEasting = table[i].Easting;
    if (table[i].Northing < minNorthing) minNorthing = table[i].Northing;
  }
  outcome.Result = PreloadOutcome::Kind::Loaded;
  outcome.FEast = minEasting;
  outcome.FNorth = minNorthing;
  return outcome;
}

void ApplyCropSettings(const CropRecord& crop, RunSettings& s, char point) {
  s.MC = FormatGeneral(crop.Moisture, point);
  s.Density = FormatGeneral(crop.TestWeight, point);
  s.LowerLimit = FormatGeneral(crop.LowerLimit, point);
  s.UpperLimit = FormatGeneral(crop.UpperLimit, point);
}

std::optional<RunSettings> StartupSettings(const CropRecord& crop, const Criteria& criteria,
                                           char point) {
  RunSettings s;
  s.DecimalPoint = point;
  ApplyCropSettings(crop, s, point);
  s.StartPassDelay = FormatGeneral(criteria.StartPassDelay, point);
  s.EndPassDelay = FormatGeneral(criteria.EndPassDelay, point);
  s.SearchX = FormatGeneral(criteria.SearchX, point);
  s.SearchY = FormatGeneral(criteria.SearchY, point);
  s.SDOutlier = FormatGeneral(criteria.SDOutlier, point);
  s.SearchSD = FormatGeneral(criteria.SearchSD, point);
  s.NoPointsforValidSeg = FormatGeneral(criteria.NoPointsforValidSeg, point);
  // The buffer text is SearchY as a 16-bit whole number, set once at start-up.
  const auto buffer = ParseInt16(s.SearchY, point);
  if (!buffer) return std::nullopt;
  s.SearchSize = std::to_string(*buffer);
  s.Title = "Project Title?";
  s.InputFile = "Input File";
  s.OutputFile = "Output File";
  return s;
}

std::string SearchSizeError(const std::string& criteriaPath, const std::string& searchY) {
  return criteriaPath + ": the search size Y \"" + searchY +
         "\" is not a whole number from -32768 to 32767.";
}

std::string DeriveOutputName(const std::string& inputPath) {
  // Characters, not bytes: a UTF-8 continuation byte belongs to the character before it.
  std::size_t end = inputPath.size();
  for (int characters = 0; characters < 4; ++characters) {
    if (end == 0) return {};
    --end;
    while (end > 0 && (static_cast<unsigned char>(inputPath[end]) & 0xC0) == 0x80) --end;
  }
  return inputPath.substr(0, end) + "out.txt";
}

}  // namespace tarvik

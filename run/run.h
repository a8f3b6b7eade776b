// One cleaning run: from the fields' texts to the output file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/point_table.h"
#include "core/progress.h"
#include "core/removal_codes.h"
#include "core/result.h"
#include "core/settings_files.h"
#include "input/blocks.h"
#include "input/delay_estimate.h"

namespace tarvik {

/// Which reader a run uses: the strict Advanced Export reader, or the
/// importer that detects the layout of other yield exports.
enum class InputFormat { AdvancedExport, Detect };

/// The settings of one run: the texts of the main form's fields, converted
/// when the run needs them. Most names are those of the form's controls.
struct RunSettings {
  std::string InputFile;            // input file path
  std::string MC;                   // standard moisture content, %
  std::string Density;              // test weight, lb/bu
  std::string SearchSize;           // buffer text; /4 rounded gives the buffer half-width
  std::string StartPassDelay;       // s
  std::string EndPassDelay;         // s
  std::string SDOutlier;            // standard deviations
  std::string LowerLimit;           // bu/ac
  std::string UpperLimit;           // bu/ac
  std::string SearchX;              // m
  std::string SearchY;              // m
  std::string SearchSD;             // standard deviations
  std::string NoPointsforValidSeg;  // points
  bool BasicOutput = true;          // "Cleaned Data Only"; else detailed
  std::string Title;                // project title, first line of the output
  std::string OutputFile;           // output file path
  bool Rescale = false;             // "Re-scale Coordinates?"
  std::string FEast = "0";          // false easting, m
  std::string FNorth = "0";         // false northing, m
  char DecimalPoint = '.';          // decimal separator of the texts above
  InputFormat Format = InputFormat::AdvancedExport;  // "Other Yield Export": Detect
  std::string HeaderCodes;    // Detect only: "HARVEST,UP" codes of the file; empty: detected
  std::string FlowDelay;      // s, or "auto" to estimate it; empty: no shift
  std::string MoistureDelay;  // s; empty: no shift
};

/// Every setting of a run converted to the type its stage takes.
struct ConvertedSettings {
  float TargetMoisture = 0;          // %
  float TestWeight = 0;              // lb/bu
  std::int16_t BufferHalfWidth = 0;  // m
  std::int16_t StartPassDelay = 0;   // s
  std::int16_t EndPassDelay = 0;     // s
  float SDOutlier = 0;               // standard deviations
  float LowerLimit = 0;              // bu/ac
  float UpperLimit = 0;              // bu/ac
  float SearchX = 0;                 // m
  float SearchY = 0;                 // m
  float SearchSD = 0;                // standard deviations
  std::int16_t MinimumPoints = 0;    // points per valid segment
  std::int32_t FalseEasting = 0;     // m
  std::int32_t FalseNorthing = 0;    // m
  std::int16_t FlowDelay = 0;        // s; 0 moves nothing
  bool EstimateFlowDelay = false;    // "auto": the flow delay comes from the field
  std::int16_t MoistureDelay = 0;    // s
};

/// Converts the texts in the order the run uses them: the values, or the
/// message of the first that fails, naming the field by its label and what
/// it expects.
Result<ConvertedSettings> ConvertRunSettings(const RunSettings& settings);

/// The fields as the window fills them at start-up from a crop and the
/// criteria, numbers written with `decimalPoint`; nothing when SearchY is no
/// 16-bit whole number once rounded (SearchSizeError says so).
std::optional<RunSettings> StartupSettings(const CropRecord& crop, const Criteria& criteria,
                                           char decimalPoint = '.');

/// The four fields a crop fills: MC, Density, LowerLimit and UpperLimit.
void ApplyCropSettings(const CropRecord& crop, RunSettings& settings, char decimalPoint = '.');

/// Why StartupSettings gave nothing: the criteria file at `criteriaPath`
/// holds the SearchY text `searchY`, which is no 16-bit whole number.
std::string SearchSizeError(const std::string& criteriaPath, const std::string& searchY);

/// Run's coordinate step: Easting and Northing of positions 1..count from
/// their latitude and longitude, and the extent of the points.
FieldExtent ConvertCoordinates(const std::int32_t& count, PointTable& table);

/// Widens the extent by one metre on every side; RunError beyond 32 bits.
void WidenFieldExtent(FieldExtent& extent);

enum class RunStatus { Finished, InvalidInput, SettingError, RunError, OutputError };
enum class MessageIcon { None, Information, Critical };

/// What a run marked, for whoever shows it.
struct RunCounts {
  std::int32_t PointsRead = 0;
  std::array<std::int32_t, kCodeCount> ByCode{};  // points per removal code, [0] = retained
  std::int32_t HighCounter = 0;                   // code 9 marks of the neighbourhood check
  std::int32_t LowCounter = 0;                    // code 10 marks
  std::int32_t DuplicateCounter = 0;              // partners marked by the co-located check
  bool FlowDelayed = false;  // a flow delay moved the flows, so code 13 is reported
};

/// What the delay step did, for whoever shows it.
struct DelayOutcome {
  bool FlowAsked = false;           // a flow delay other than 0, or "auto", was given
  bool Estimated = false;           // "auto": the delay below is the estimate's
  bool Clear = true;                // with "auto": one delay stood out; else nothing moved
  std::int32_t FlowDelay = 0;       // s the flows were moved
  std::int32_t MoistureDelay = 0;   // s the moistures were moved
  std::int32_t PointsCompared = 0;  // with "auto": points and pairs the estimate compared
  std::int32_t PairsCompared = 0;
  std::vector<DelayScore> Scores;  // with "auto": the score of every candidate delay
};

/// The message a run ends with: text, title (empty: the application's own
/// title) and icon, plus the reason in detail where there is one.
struct RunOutcome {
  RunStatus Status = RunStatus::Finished;
  std::string Text;  // "FINISH", "Invalid Input File", ...
  std::string
      Title;  // "Error Input File", "Error in Settings", "Run Error", "Error Output File", ""
  MessageIcon Icon = MessageIcon::Information;
  std::string Detail;  // the reader's reason (file, line, item), or a finished run's counts
  RunCounts Counts;
  std::string InputLayout;  // Detect: the layout and header codes found; else empty
  DelayOutcome Delay;
};

/// The Run button: recreates the table, reads, derives, checks and writes
/// one output file. Never throws for bad input or settings; the outcome says
/// how it ended. The table and count keep the run's result.
RunOutcome RunPipeline(std::int32_t& count, PointTable& table, const RunSettings& settings,
                       Progress& progress = NoProgress());

/// The share of the points read that was retained, in percent with one
/// decimal ("80.8"; "0.0" when nothing was read).
std::string RetainedPercent(const RunCounts& counts);

/// The counts as a few lines for people: points read and retained, then each
/// code that removed points, with its name. The detail of a finished run.
std::string DescribeCounts(const RunCounts& counts);

/// The delays used, for a summary: "flow delay 12 s (estimated)", "flow
/// delay 8 s, moisture delay 3 s"; empty when no delay was given.
std::string DescribeDelay(const DelayOutcome& delay);

/// The estimate's method, measure and score per candidate delay, one line each.
std::string DescribeDelayScores(const DelayOutcome& delay);

/// Points per removal code over positions 1..count.
std::array<std::int32_t, kCodeCount> CountCodes(const std::int32_t& count, const PointTable& table);

/// What the input browse button proposes after reading a file.
struct PreloadOutcome {
  enum class Kind {
    Loaded,        // FEast/FNorth hold the smallest easting and northing
    InvalidInput,  // show "Invalid Input File" / "Error Input File"
    Failed,        // any other failure: no message, fields reset
  };
  Kind Result = Kind::Failed;
  std::int32_t FEast = 0;
  std::int32_t FNorth = 0;
  std::string Detail;  // reason, for the detail of a message or a log
};

/// The input browse button's preload: read, yield with `mc` and `density`
/// texts, segments, UTM; the smallest easting and northing of the points.
/// `format` and `headerCodes` choose the reader as RunSettings does.
PreloadOutcome PreloadInput(std::int32_t& count, PointTable& table, const std::string& inputFile,
                            const std::string& mc, const std::string& density,
                            char decimalPoint = '.',
                            InputFormat format = InputFormat::AdvancedExport,
                            const std::string& headerCodes = {});

/// The output name the browse button derives from an input path: the path
/// less its last 4 characters, then "out.txt". Empty when the path is shorter.
std::string DeriveOutputName(const std::string& inputPath);

/// The application's title, shown on messages without a title of their own.
inline constexpr const char* kApplicationTitle = "Tarvik";

// The texts and titles of a run's messages, for every front end.
inline constexpr const char* kInvalidInputText = "Invalid Input File";
inline constexpr const char* kInvalidInputTitle = "Error Input File";
inline constexpr const char* kSettingsTitle = "Error in Settings";
inline constexpr const char* kRunErrorTitle = "Run Error";
inline constexpr const char* kOutputTitle = "Error Output File";

}  // namespace tarvik

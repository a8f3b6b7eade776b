#include "cli/clean_command.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/modules.h"
#include "cli/summary_file.h"
#include "core/number_text.h"
#include "core/settings_files.h"
#include "input/yield_import.h"
#include "map/map_file.h"  // the default size only: maps are drawn by a module
#include "output/export_writer.h"
#include "output/writers.h"
#include "run/run.h"
#include "run/summary.h"
#ifdef TARVIK_WITH_EXPORT
#include "export/field_export.h"
#endif

namespace tarvik {

namespace {

/// The options as given; an empty optional means "take the settings file's value".
struct CleanOptions {
  std::vector<std::string> inputs;
  std::string settingsFolder;
  std::string crop = "Corn";
  std::optional<std::string> moisture, testWeight, lowerLimit, upperLimit;
  std::optional<std::string> startDelay, endDelay, searchX, searchY, outlierSD, neighbourSD,
      minPoints, buffer;
  std::string title = "Project Title?";
  bool detailed = false;
  bool rescale = false;
  std::optional<std::string> falseEasting, falseNorthing;
  std::string output;
  int jobs = 1;
  bool quiet = false;
  std::string inputFormat = "advanced";  // "advanced" or "detect"
  std::string headerCodes;               // HARVEST,UP for detect; empty: detected
  std::string writeAdvanced;             // where to write what was read, 17 items
  std::string summaryFile;               // JSON summary of every input
  std::string mapFile;                   // map of the one input
  std::string mapFolder;                 // a map per input
  std::string mapSize = std::to_string(map::kMapFileWidth) + "x" +
                        std::to_string(map::kMapFileHeight);  // WIDTHxHEIGHT, pixels
  int mapWidth = map::kMapFileWidth;
  int mapHeight = map::kMapFileHeight;
  std::optional<std::string> flowDelay, moistureDelay;
  bool verbose = false;
  std::string exportFile;                   // --export: one input's GIS file
  std::string exportFolder;                 // --export-dir: each input's GIS file goes here
  std::optional<std::string> exportFormat;  // with --export-dir; default gpkg
  std::optional<std::string> exportCRS;     // default wgs84
};

/// Where and how one input's points are exported; no path for none.
struct ExportTarget {
  std::string path;
  std::string format;  // "gpkg", ...
  std::string crs;     // "wgs84", "utm" or "grid"
};

/// What one file came to: its summary line or its error line, and what the
/// summary file says of it.
struct FileReport {
  bool ok = false;
  std::string line;
  FileSummary summary;
  std::string mapError;  // why its map was not written
};

/// The outcome of a run as the summary file names it.
FileSummary Summarised(const std::string& input, const RunOutcome& outcome) {
  FileSummary file;
  file.Input = input;
  file.Outcome = outcome.Status == RunStatus::Finished       ? "cleaned"
                 : outcome.Status == RunStatus::InvalidInput ? "refused"
                                                             : "failed";
  if (outcome.Status != RunStatus::Finished) {
    file.Message = outcome.Text;
    file.Reason = outcome.Detail.empty() ? outcome.Text : outcome.Detail;
  }
  return file;
}

/// A failure before or outside a run.
FileReport Failed(const std::string& input, const std::string& line) {
  FileReport report{false, line, {}, {}};
  report.summary.Input = input;
  report.summary.Outcome = "failed";
  report.summary.Reason = line;
  return report;
}

std::string SummaryLine(const std::string& input, const std::string& output,
                        const RunOutcome& outcome, bool verbose) {
  std::ostringstream line;
  const RunCounts& counts = outcome.Counts;
  const std::int32_t retained = counts.ByCode[0];
  line << input << " -> " << output << ": " << counts.PointsRead << " points read, " << retained
       << " retained (" << RetainedPercent(counts) << " %); removed by code:";
  for (int code = 1; code < ReportedCodeCount(counts.FlowDelayed); ++code) {
    line << ' ' << code << ':' << counts.ByCode[static_cast<std::size_t>(code)];
  }
  if (!outcome.InputLayout.empty()) line << "; read as " << outcome.InputLayout;
  if (const std::string delay = DescribeDelay(outcome.Delay); !delay.empty()) {
    line << "; " << delay;
  }
  if (verbose) {
    // The estimate's details, indented under the summary.
    std::istringstream details(DescribeDelayScores(outcome.Delay));
    for (std::string detail; std::getline(details, detail);) line << "\n  " << detail;
  }
  return line.str();
}

std::string ErrorLine(const std::string& input, const RunOutcome& outcome) {
  std::string line = input + ": ";
  if (!outcome.Title.empty()) line += outcome.Title + ": ";
  line += outcome.Text;
  if (!outcome.Detail.empty() && outcome.Detail != outcome.Text)
    line += " (" + outcome.Detail + ")";
  return line;
}

/// A path in a form that compares equal for the same file, existing or not.
std::string PathKey(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

/// Paths already spoken for, each with what it is ("the output of X").
class ClaimedPaths {
 public:
  /// Claims `path` for `what`; what it already is when an earlier claim holds it.
  std::optional<std::string> Claim(const std::string& path, std::string what) {
    const auto [owner, added] = owners_.emplace(PathKey(path), std::move(what));
    if (added) return std::nullopt;
    return owner->second;
  }
  /// What `path` is, when claimed.
  std::optional<std::string> Owner(const std::string& path) const {
    const auto owner = owners_.find(PathKey(path));
    if (owner == owners_.end()) return std::nullopt;
    return owner->second;
  }

 private:
  std::map<std::string, std::string> owners_;  // path key -> what it is
};

/// Every input, as `inputWord` and its path, and every output, as "the output of" its input.
ClaimedPaths InputsAndOutputs(const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs, const char* inputWord) {
  ClaimedPaths claimed;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    claimed.Claim(inputs[i], inputWord + inputs[i]);
    if (!outputs[i].empty()) claimed.Claim(outputs[i], "the output of " + inputs[i]);
  }
  return claimed;
}

/// Refusals of outputs that would overwrite another input of this call or
/// the output of an earlier input: one file's result must not destroy another.
std::vector<std::optional<std::string>> OutputClashes(const std::vector<std::string>& inputs,
                                                      const std::vector<std::string>& outputs) {
  std::vector<std::optional<std::string>> clashes(inputs.size());
  ClaimedPaths inputOwners;
  for (const std::string& input : inputs) inputOwners.Claim(input, input);
  ClaimedPaths outputOwners;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (outputs[i].empty()) continue;
    if (inputOwners.Owner(outputs[i]) && PathKey(outputs[i]) != PathKey(inputs[i])) {
      clashes[i] = inputs[i] + ": Error Output File: " + outputs[i] +
                   " is another input file; it is not overwritten.";
    } else if (const auto owner = outputOwners.Claim(outputs[i], inputs[i])) {
      clashes[i] = inputs[i] + ": Error Output File: " + outputs[i] + " is already the output of " +
                   *owner + ".";
    }
  }
  return clashes;
}

#ifdef TARVIK_WITH_EXPORT
/// Refusals of exports that would overwrite an input, a GSLIB output or an
/// earlier input's export.
std::vector<std::optional<std::string>> ExportClashes(const std::vector<std::string>& inputs,
                                                      const std::vector<std::string>& outputs,
                                                      const std::vector<ExportTarget>& exports) {
  std::vector<std::optional<std::string>> clashes(inputs.size());
  ClaimedPaths claimed = InputsAndOutputs(inputs, outputs, "the input file ");
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (exports[i].path.empty()) continue;
    if (const auto owner = claimed.Claim(exports[i].path, "the export of " + inputs[i])) {
      clashes[i] = inputs[i] + ": Error Export File: " + exports[i].path + " is already " + *owner +
                   "; it is not overwritten.";
    }
  }
  return clashes;
}
#endif

/// Why `input` is not cleaned before its run starts: no output name, or a
/// 17-item copy that would overwrite the input or the output.
std::optional<FileReport> RefusedBeforeRun(const std::string& input, const std::string& output,
                                           const CleanOptions& options) {
  if (output.empty()) {
    return Failed(input,
                  input + ": cannot derive an output name from so short a path; give -o FILE.");
  }
  if (!options.writeAdvanced.empty()) {
    const std::string key = PathKey(options.writeAdvanced);
    if (key == PathKey(input) || key == PathKey(output)) {
      return Failed(input, input + ": Error Output File: " + options.writeAdvanced +
                               " is the input or the output file; it is not overwritten.");
    }
  }
  return std::nullopt;
}

/// With --rescale, the false origin the options leave open is the input
/// browse button's proposal: the smallest easting and northing.
void ProposeFalseOrigin(std::int32_t& count, PointTable& table, RunSettings& settings,
                        const CleanOptions& options) {
  if (!options.rescale || (options.falseEasting && options.falseNorthing)) return;
  const PreloadOutcome preload =
      PreloadInput(count, table, settings.InputFile, settings.MC, settings.Density, '.',
                   settings.Format, settings.HeaderCodes);
  if (preload.Result != PreloadOutcome::Kind::Loaded) return;
  if (!options.falseEasting) settings.FEast = std::to_string(preload.FEast);
  if (!options.falseNorthing) settings.FNorth = std::to_string(preload.FNorth);
}

/// --write-advanced: the 17 items as read, which the table keeps in file
/// order after the run. The reason when the copy cannot be written.
std::optional<std::string> WriteReadCopy(const std::string& input, const std::int32_t& count,
                                         const PointTable& table, const CleanOptions& options) {
  if (options.writeAdvanced.empty()) return std::nullopt;
  try {
    WriteAdvancedExport(options.writeAdvanced, count, table);
  } catch (const std::exception& error) {
    return input + ": Error Output File: " + error.what();
  }
  return std::nullopt;
}

/// The GIS export of the run's result, in file order; adds to the summary
/// line, or gives the reason it failed.
std::optional<std::string> ExportRun(const std::string& input, const ExportTarget& target,
                                     const std::int32_t& count, const PointTable& table,
                                     std::string& line) {
#ifdef TARVIK_WITH_EXPORT
  if (target.path.empty()) return std::nullopt;
  if (auto error = modules::ExportField(target.path, target.format, target.crs, count, table)) {
    return input + ": " + *error;
  }
  line += "; exported to " + target.path;
#else
  (void)input, (void)target, (void)count, (void)table, (void)line;
#endif
  return std::nullopt;
}

/// The yield figures of --summary, from the run's table and settings.
void SummariseRunInto(FileSummary& summary, const std::int32_t& count, const PointTable& table,
                      const RunSettings& settings, const RunOutcome& outcome) {
  // Converted once already by the run.
  summary.Summary =
      SummariseRun(count, table, ConvertRunSettings(settings).value_or({}), outcome.Delay);
}

/// The map of the run, titled by the input's name: into the summary, or
/// the reason it was not written into the report.
void DrawMap(FileReport& report, const std::string& input, const std::string& map,
             const std::int32_t& count, const PointTable& table, const CleanOptions& options) {
  const std::string title = std::filesystem::path(input).filename().string();
  if (auto error =
          modules::SaveMapFile(map, count, table, title, options.mapWidth, options.mapHeight)) {
    report.mapError = input + ": Error Map File: " + *error;
  } else {
    report.summary.Map = map;
  }
}

FileReport CleanOne(const std::string& input, const std::string& output, const std::string& map,
                    const ExportTarget& exportTarget, RunSettings settings,
                    const CleanOptions& options) {
  settings.InputFile = input;
  settings.OutputFile = output;
  if (auto refused = RefusedBeforeRun(input, output, options)) return *refused;
  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  ProposeFalseOrigin(count, *table, settings, options);
  const RunOutcome outcome = RunPipeline(count, *table, settings);
  FileReport report{outcome.Status == RunStatus::Finished, {}, Summarised(input, outcome), {}};
  if (!report.ok) {
    report.line = ErrorLine(input, outcome);
    return report;
  }
  if (auto error = WriteReadCopy(input, count, *table, options)) return Failed(input, *error);
  report.line = SummaryLine(input, output, outcome, options.verbose);
  if (auto error = ExportRun(input, exportTarget, count, *table, report.line)) {
    return Failed(input, *error);
  }
  report.summary.Output = output;
  if (!options.summaryFile.empty()) {
    SummariseRunInto(report.summary, count, *table, settings, outcome);
  }
  if (!map.empty()) DrawMap(report, input, map, count, *table, options);
  return report;
}

/// The map file of each input: --map for the one input, or the input's name
/// less its extension in the --map-dir folder; empty for none. A map never
/// replaces an input, an output or another input's map.
std::vector<std::string> MapPaths(const CleanOptions& o, const std::vector<std::string>& outputs,
                                  std::vector<std::optional<std::string>>& refusals) {
  std::vector<std::string> maps(o.inputs.size());
  refusals.assign(o.inputs.size(), std::nullopt);
  if (o.mapFile.empty() && o.mapFolder.empty()) return maps;
  ClaimedPaths claimed = InputsAndOutputs(o.inputs, outputs, "the input ");
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    const std::string map =
        !o.mapFile.empty()
            ? o.mapFile
            : (std::filesystem::path(o.mapFolder) /
               std::filesystem::path(o.inputs[i]).filename().replace_extension(".png"))
                  .string();
    if (const auto owner = claimed.Claim(map, "the map of " + o.inputs[i])) {
      refusals[i] = o.inputs[i] + ": Error Map File: " + map + " is already " + *owner +
                    "; no map is written.";
    } else {
      maps[i] = map;
    }
  }
  return maps;
}

/// Declares every option of tarvik-clean on `app`, writing into `o`.
void AddCleanOptions(CLI::App& app, CleanOptions& o) {
  app.set_version_flag("--version", std::string("tarvik-clean ") + TARVIK_VERSION);
  app.add_option("INPUT", o.inputs, "Advanced Export files to clean")->required();
  app.add_option(
      "--settings", o.settingsFolder,
      "Settings folder with crop.dat and criteria.dat (default: " + DefaultSettingsFolder() + ")");
  app.add_option("--crop", o.crop, "Crop of crop.dat whose values to use")->capture_default_str();
  app.add_option("--moisture", o.moisture, "Standard moisture content (%)");
  app.add_option("--test-weight", o.testWeight, "Test weight (lb/bu)");
  app.add_option("--lower-limit", o.lowerLimit, "Lower yield limit (bu/ac)");
  app.add_option("--upper-limit", o.upperLimit, "Upper yield limit (bu/ac)");
  app.add_option("--start-delay", o.startDelay, "Start pass delay (s)");
  app.add_option("--end-delay", o.endDelay, "End pass delay (s)");
  app.add_option("--search-x", o.searchX, "Neighbourhood size along travel (m)");
  app.add_option("--search-y", o.searchY, "Neighbourhood size across travel (m)");
  app.add_option("--outlier-sd", o.outlierSD, "SD for the outlier test");
  app.add_option("--neighbour-sd", o.neighbourSD, "SD for the neighbourhood test");
  app.add_option("--min-points", o.minPoints, "Minimum number of points of a valid segment");
  app.add_option("--buffer", o.buffer,
                 "Buffer text (default: the criteria file's SearchY as a whole number)");
  app.add_option("--title", o.title, "Project title, first line of the output")
      ->capture_default_str();
  app.add_flag("--detailed", o.detailed, "Write every point with its removal code");
  app.add_flag("--rescale", o.rescale, "Subtract the false easting and northing");
  app.add_option("--false-easting", o.falseEasting,
                 "False easting (m; with --rescale default: the smallest easting)");
  app.add_option("--false-northing", o.falseNorthing,
                 "False northing (m; with --rescale default: the smallest northing)");
  app.add_option("-o,--output", o.output, "Output file (one input only; default: INPUTout.txt)");
  app.add_option("--jobs", o.jobs, "Files to clean at once")->check(CLI::Range(1, 64));
  app.add_flag("--quiet", o.quiet, "Print errors only");
  app.add_option("--input-format", o.inputFormat,
                 "advanced: the 17-item Advanced Export only; detect: also 16 and 15 items and "
                 "delimited files with a heading line, layout and header codes detected")
      ->check(CLI::IsMember({"advanced", "detect"}))
      ->capture_default_str();
  app.add_option("--header-codes", o.headerCodes,
                 "With detect: the file's header codes for harvesting and header up, "
                 "such as 1,0 (default: detected)");
  app.add_option("--write-advanced", o.writeAdvanced,
                 "Also write what was read as a 17-item Advanced Export file (one input only)");
  app.add_option("--summary", o.summaryFile,
                 "Write every input's outcome, removal counts and yield figures to this JSON file");
  auto* mapFile =
      app.add_option("--map", o.mapFile, "Write the field map to this PNG file (one input only)");
  app.add_option("--map-dir", o.mapFolder, "Write each input's field map to DIR/<input name>.png")
      ->excludes(mapFile);
  app.add_option("--map-size", o.mapSize, "Size of a map file in pixels, WIDTHxHEIGHT")
      ->capture_default_str();
  app.add_option("--flow-delay", o.flowDelay,
                 "Seconds from the cut to the flow sensor, or \"auto\" to estimate them from the "
                 "field; flows move back by them (default: none)");
  app.add_option("--moisture-delay", o.moistureDelay,
                 "Seconds from the cut to the moisture sensor (default: none)");
  app.add_flag("--verbose", o.verbose, "Also print how the flow delay was estimated");
#ifdef TARVIK_WITH_EXPORT
  app.add_option("--export", o.exportFile,
                 "GIS file of every point (one input only; format by extension: .gpkg, .shp, "
                 ".geojson, .fgb, .csv)");
  app.add_option("--export-dir", o.exportFolder,
                 "Folder for each input's GIS file, named after the input")
      ->check(CLI::ExistingDirectory);
  app.add_option("--export-format", o.exportFormat,
                 "Format of the files of --export-dir (default: gpkg)")
      ->check(CLI::IsMember({"gpkg", "shp", "geojson", "fgb", "csv"}));
  app.add_option("--export-crs", o.exportCRS,
                 "Coordinates of the export: longitude and latitude, the field's UTM zone, or "
                 "the run's grid (default: wgs84)")
      ->check(CLI::IsMember({"wgs84", "utm", "grid"}));
#endif
}

/// Checks the options that CLI11 cannot check alone and reads --map-size
/// into the map's width and height. Returns the usage error, or nothing
/// when they fit together.
std::optional<std::string> CheckOptionCombinations(CleanOptions& o) {
  {
    std::istringstream size(o.mapSize);
    char by = 0;
    if (!(size >> o.mapWidth >> by >> o.mapHeight) || by != 'x' || !size.eof() ||
        o.mapWidth < 100 || o.mapHeight < 100 || o.mapWidth > 20000 || o.mapHeight > 20000) {
      return "--map-size " + o.mapSize + ": give WIDTHxHEIGHT, each from 100 to 20000 pixels.";
    }
  }
  if (!o.output.empty() && o.inputs.size() != 1) {
    return "-o names one output file; give one input with it.";
  }
  if (!o.writeAdvanced.empty() && o.inputs.size() != 1) {
    return "--write-advanced names one file; give one input with it.";
  }
  if (!o.headerCodes.empty()) {
    if (o.inputFormat != "detect") return "--header-codes needs --input-format detect.";
    if (!ParseHeaderCodes(o.headerCodes)) {
      return "--header-codes takes two different whole numbers, the harvesting code first, "
             "such as 1,0.";
    }
  }
#ifdef TARVIK_WITH_EXPORT
  if (!o.exportFile.empty()) {
    if (o.inputs.size() != 1) return "--export names one file; give one input with it.";
    if (!o.exportFolder.empty()) return "give --export or --export-dir, not both.";
    if (!ExportFormatFromPath(o.exportFile)) {
      return "--export " + o.exportFile +
             ": the extension names no export format; use .gpkg, .shp, .geojson, .fgb or .csv.";
    }
  }
  if (o.exportFormat && o.exportFolder.empty()) {
    return "--export-format goes with --export-dir; --export takes the format from its "
           "extension.";
  }
  if (o.exportCRS && o.exportFile.empty() && o.exportFolder.empty()) {
    return "--export-crs goes with --export or --export-dir.";
  }
#endif
  if (!o.mapFile.empty() && o.inputs.size() != 1) {
    return "--map names one map file; give one input with it, or use --map-dir.";
  }
  for (const std::string& input : o.inputs) {
    if (o.summaryFile.empty()) break;
    if (PathKey(input) == PathKey(o.summaryFile)) {
      return "--summary names the input " + input + "; it is not overwritten.";
    }
    if (PathKey(o.output.empty() ? DeriveOutputName(input) : o.output) == PathKey(o.summaryFile)) {
      return "--summary names the output of " + input + "; give another name.";
    }
  }
  return std::nullopt;
}

/// The options' values over the start-up fields; the buffer text stays as
/// start-up set it unless --buffer gives one.
void ApplyOptions(const CleanOptions& o, RunSettings& s) {
  const auto override = [](std::string& field, const std::optional<std::string>& text) {
    if (text) field = *text;
  };
  override(s.MC, o.moisture);
  override(s.Density, o.testWeight);
  override(s.LowerLimit, o.lowerLimit);
  override(s.UpperLimit, o.upperLimit);
  override(s.StartPassDelay, o.startDelay);
  override(s.EndPassDelay, o.endDelay);
  override(s.SearchX, o.searchX);
  override(s.SearchY, o.searchY);
  override(s.SDOutlier, o.outlierSD);
  override(s.SearchSD, o.neighbourSD);
  override(s.NoPointsforValidSeg, o.minPoints);
  override(s.SearchSize, o.buffer);
  s.Title = o.title;
  s.BasicOutput = !o.detailed;
  s.Rescale = o.rescale;
  s.FEast = o.falseEasting.value_or("0");
  s.FNorth = o.falseNorthing.value_or("0");
  s.Format = o.inputFormat == "detect" ? InputFormat::Detect : InputFormat::AdvancedExport;
  s.HeaderCodes = o.headerCodes;
  s.FlowDelay = o.flowDelay.value_or("");
  s.MoistureDelay = o.moistureDelay.value_or("");
}

/// The form's fields as the window fills them at start-up from the settings
/// folder, with the options' values over them. On failure, writes the
/// reason to `err` and sets `status` to the exit status.
std::optional<RunSettings> BuildRunSettings(const CleanOptions& o, std::ostream& err, int& status) {
  const std::string folder = o.settingsFolder.empty() ? DefaultSettingsFolder() : o.settingsFolder;
  const CropFile crops = ReadCropFile(SettingsFilePath(folder, kCropFileName));
  const auto settingsError = [&](const std::string& error) {
    err << "tarvik-clean: " << error << "\nThe supplied crop.dat and criteria.dat are in "
        << TARVIK_SETTINGS_INSTALL_DIR << " (the settings folder of the source tree when not "
        << "installed); copy them to " << folder << " or name their folder with --settings.\n";
    if (SettingsFilesMissing(folder)) {
      err << "To copy them: " << SettingsCopyCommand(TARVIK_SETTINGS_INSTALL_DIR, folder) << "\n";
    }
    status = 1;
    return std::nullopt;
  };
  if (!crops) return settingsError(crops.reason());
  const CriteriaFile criteria = ReadCriteriaFile(SettingsFilePath(folder, kCriteriaFileName));
  if (!criteria) return settingsError(criteria.reason());
  const CropRecord* crop = FindCrop(*crops, o.crop);
  if (crop == nullptr) {
    err << "tarvik-clean: " << SettingsFilePath(folder, kCropFileName) << " has no crop named \""
        << o.crop << "\". Crops:";
    for (const CropRecord& record : *crops) err << " \"" << record.Name << "\"";
    err << "\n";
    status = 2;
    return std::nullopt;
  }

  auto startup = StartupSettings(*crop, *criteria);
  if (!startup) {
    err << "tarvik-clean: "
        << SearchSizeError(SettingsFilePath(folder, kCriteriaFileName),
                           FormatGeneral(criteria->SearchY))
        << "\n";
    status = 1;
    return std::nullopt;
  }
  ApplyOptions(o, *startup);
  return startup;
}

/// The output of each input: -o, or the name derived from the input.
std::vector<std::string> OutputPaths(const CleanOptions& o) {
  std::vector<std::string> outputs;
  for (const std::string& input : o.inputs) {
    outputs.push_back(o.output.empty() ? DeriveOutputName(input) : o.output);
  }
  return outputs;
}

/// Where each input is exported: --export for the one input, or the input's
/// name with the format's extension in the --export-dir folder; no path for none.
std::vector<ExportTarget> ExportTargets(const CleanOptions& o) {
  std::vector<ExportTarget> exports(o.inputs.size());
#ifdef TARVIK_WITH_EXPORT
  const std::string format = o.exportFormat.value_or("gpkg");
  const std::string crs = o.exportCRS.value_or("wgs84");
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    if (!o.exportFile.empty()) {
      exports[i] = {o.exportFile, ExportExtension(*ExportFormatFromPath(o.exportFile)), crs};
    } else if (!o.exportFolder.empty()) {
      const std::filesystem::path name =
          std::filesystem::path(o.inputs[i]).filename().replace_extension(format);
      exports[i] = {(std::filesystem::path(o.exportFolder) / name).string(), format, crs};
    }
  }
#else
  (void)o;
#endif
  return exports;
}

/// Why each input is refused before its run: its output's clash, else its export's.
std::vector<std::optional<std::string>> InputClashes(const CleanOptions& o,
                                                     const std::vector<std::string>& outputs,
                                                     const std::vector<ExportTarget>& exports) {
  std::vector<std::optional<std::string>> clashes = OutputClashes(o.inputs, outputs);
#ifdef TARVIK_WITH_EXPORT
  const std::vector<std::optional<std::string>> exportClashes =
      ExportClashes(o.inputs, outputs, exports);
  for (std::size_t i = 0; i < clashes.size(); ++i) {
    if (!clashes[i]) clashes[i] = exportClashes[i];
  }
#else
  (void)exports;
#endif
  return clashes;
}

/// Calls `clean` with each index below `count`, `jobs` of them at once.
template <typename Clean>
void ForEachInput(std::size_t count, int jobs, Clean clean) {
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) clean(i);
  };
  const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(jobs), count);
  if (threads <= 1) {
    worker();
    return;
  }
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (std::thread& thread : pool) thread.join();
}

/// Cleans every input with `settings`, `jobs` files at once. The reports
/// keep the order of the inputs.
std::vector<FileReport> CleanFiles(const CleanOptions& o, const RunSettings& settings) {
  const std::vector<std::string> outputs = OutputPaths(o);
  const std::vector<ExportTarget> exports = ExportTargets(o);
  const std::vector<std::optional<std::string>> clashes = InputClashes(o, outputs, exports);
  std::vector<std::optional<std::string>> mapRefusals;
  const std::vector<std::string> maps = MapPaths(o, outputs, mapRefusals);

  // Each file is cleaned on its own table.
  std::vector<FileReport> reports(o.inputs.size());
  ForEachInput(o.inputs.size(), o.jobs, [&](std::size_t i) {
    const std::string& input = o.inputs[i];
    if (clashes[i]) {
      reports[i] = Failed(input, *clashes[i]);
      return;
    }
    try {
      reports[i] = CleanOne(input, outputs[i], maps[i], exports[i], settings, o);
      if (reports[i].ok && mapRefusals[i]) reports[i].mapError = *mapRefusals[i];
    } catch (const std::exception& e) {
      reports[i] = Failed(input, input + ": " + e.what());
    }
  });
  return reports;
}

/// Prints each report: a summary line to `out` unless quiet, errors to
/// `err`. Gives the exit status: 1 when any file failed, else 0.
int PrintReports(const std::vector<FileReport>& reports, const CleanOptions& o, std::ostream& out,
                 std::ostream& err) {
  int status = 0;
  for (const FileReport& report : reports) {
    if (report.ok) {
      if (!o.quiet) out << report.line << "\n";
    } else {
      err << "tarvik-clean: " << report.line << "\n";
      status = 1;
    }
    if (!report.mapError.empty()) {
      err << "tarvik-clean: " << report.mapError << "\n";
      status = 1;
    }
  }
  return status;
}

/// --summary: every input's outcome in one JSON file. False, said on `err`,
/// when it cannot be written.
bool WriteSummaryFile(const std::vector<FileReport>& reports, const CleanOptions& o,
                      std::ostream& err) {
  if (o.summaryFile.empty()) return true;
  std::vector<FileSummary> summaries;
  for (const FileReport& report : reports) summaries.push_back(report.summary);
  try {
    WriteFileAtomically(o.summaryFile, SummaryJsonText(summaries));
  } catch (const std::exception& e) {
    err << "tarvik-clean: Error Summary File: " << e.what() << "\n";
    return false;
  }
  return true;
}

/// Reads the command line into `o`. The exit status when the command ends
/// here: 0 after --help or --version, 2 on a usage error.
std::optional<int> ParseCleanOptions(int argc, const char* const* argv, CleanOptions& o,
                                     std::ostream& out, std::ostream& err) {
  CLI::App app{"Cleans yield-monitor Advanced Export files and writes GSLIB files.",
               "tarvik-clean"};
  AddCleanOptions(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {
      // --help and --version.
      out << (e.get_name() == "CallForVersion" ? std::string(e.what()) + "\n" : app.help());
      return 0;
    }
    err << "tarvik-clean: " << e.what() << "\nRun with --help for the options.\n";
    return 2;
  }
  if (const auto usage = CheckOptionCombinations(o)) {
    err << "tarvik-clean: " << *usage << "\n";
    return 2;
  }
  return std::nullopt;
}

}  // namespace

int RunCleanCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CleanOptions o;
  if (const auto status = ParseCleanOptions(argc, argv, o, out, err)) return *status;

  int status = 0;
  const std::optional<RunSettings> settings = BuildRunSettings(o, err, status);
  if (!settings) return status;

  // Qt starts only for maps; a plain run does without it.
  std::optional<modules::MapPainting> painting;
  if (!o.mapFile.empty() || !o.mapFolder.empty()) painting.emplace();
  if (!o.mapFolder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(o.mapFolder, error);
  }

  const std::vector<FileReport> reports = CleanFiles(o, *settings);
  status = PrintReports(reports, o, out, err);
  if (!WriteSummaryFile(reports, o, err)) status = 1;
  return status;
}

}  // namespace tarvik

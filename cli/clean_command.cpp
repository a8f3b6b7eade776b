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

#include "cli/summary_file.h"
#include "core/number_text.h"
#include "core/settings_files.h"
#include "input/yield_import.h"
#include "map/map_file.h"
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

/// Refusals of outputs that would overwrite another input of this call or
/// the output of an earlier input: one file's result must not destroy another.
std::vector<std::optional<std::string>> OutputClashes(const std::vector<std::string>& inputs,
                                                      const std::vector<std::string>& outputs) {
  std::vector<std::optional<std::string>> clashes(inputs.size());
  std::vector<std::string> inputKeys;
  std::map<std::string, std::size_t> inputByKey;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    inputKeys.push_back(PathKey(inputs[i]));
    inputByKey.emplace(inputKeys.back(), i);
  }
  std::map<std::string, std::size_t> ownerByKey;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (outputs[i].empty()) continue;
    const std::string key = PathKey(outputs[i]);
    const auto input = inputByKey.find(key);
    if (input != inputByKey.end() && key != inputKeys[i]) {
      clashes[i] = inputs[i] + ": Error Output File: " + outputs[i] +
                   " is another input file; it is not overwritten.";
      continue;
    }
    const auto [owner, added] = ownerByKey.emplace(key, i);
    if (!added) {
      clashes[i] = inputs[i] + ": Error Output File: " + outputs[i] + " is already the output of " +
                   inputs[owner->second] + ".";
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
  std::map<std::string, std::string> taken;  // path key -> what it is
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    taken.emplace(PathKey(inputs[i]), "the input file " + inputs[i]);
    if (!outputs[i].empty()) taken.emplace(PathKey(outputs[i]), "the output of " + inputs[i]);
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (exports[i].path.empty()) continue;
    const std::string key = PathKey(exports[i].path);
    const auto [owner, added] = taken.emplace(key, "the export of " + inputs[i]);
    if (!added) {
      clashes[i] = inputs[i] + ": Error Export File: " + exports[i].path + " is already " +
                   owner->second + "; it is not overwritten.";
    }
  }
  return clashes;
}
#endif

FileReport CleanOne(const std::string& input, const std::string& output, const std::string& map,
                    const ExportTarget& exportTarget, RunSettings settings,
                    const CleanOptions& options) {
  settings.InputFile = input;
  settings.OutputFile = output;
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
  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  if (options.rescale && (!options.falseEasting || !options.falseNorthing)) {
    // The input browse button's proposal: the smallest easting and northing.
    const PreloadOutcome preload = PreloadInput(count, *table, input, settings.MC, settings.Density,
                                                '.', settings.Format, settings.HeaderCodes);
    if (preload.Result == PreloadOutcome::Kind::Loaded) {
      if (!options.falseEasting) settings.FEast = std::to_string(preload.FEast);
      if (!options.falseNorthing) settings.FNorth = std::to_string(preload.FNorth);
    }
  }
  const RunOutcome outcome = RunPipeline(count, *table, settings);
  FileReport report{outcome.Status == RunStatus::Finished, {}, Summarised(input, outcome), {}};
  if (!report.ok) {
    report.line = ErrorLine(input, outcome);
    return report;
  }
  if (!options.writeAdvanced.empty()) {
    // The table keeps the 17 items as read, in file order, after the run.
    try {
      WriteAdvancedExport(options.writeAdvanced, count, *table);
    } catch (const std::exception& error) {
      return Failed(input, input + ": Error Output File: " + error.what());
    }
  }
  report.line = SummaryLine(input, output, outcome, options.verbose);
#ifdef TARVIK_WITH_EXPORT
  if (!exportTarget.path.empty()) {
    // The table holds the run's result, in file order.
    const ExportOutcome exported =
        ExportField(exportTarget.path, *ExportFormatFromName(exportTarget.format),
                    *ExportCRSFromName(exportTarget.crs), count, *table);
    if (!exported.ok) return Failed(input, input + ": " + exported.error);
    report.line += "; exported to " + exportTarget.path;
  }
#else
  (void)exportTarget;
#endif
  report.summary.Output = output;
  if (!options.summaryFile.empty()) {
    // Converted once already by the run.
    report.summary.Summary =
        SummariseRun(count, *table, ConvertRunSettings(settings).value_or({}), outcome.Delay);
  }
  if (!map.empty()) {
    const std::string title = std::filesystem::path(input).filename().string();
    if (auto error =
            map::SaveMapFile(map, count, *table, title, options.mapWidth, options.mapHeight)) {
      report.mapError = input + ": Error Map File: " + *error;
    } else {
      report.summary.Map = map;
    }
  }
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
  std::map<std::string, std::string> taken;  // path key -> what it is
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    taken.emplace(PathKey(o.inputs[i]), "the input " + o.inputs[i]);
    if (!outputs[i].empty()) taken.emplace(PathKey(outputs[i]), "the output of " + o.inputs[i]);
  }
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    const std::string map =
        !o.mapFile.empty()
            ? o.mapFile
            : (std::filesystem::path(o.mapFolder) /
               std::filesystem::path(o.inputs[i]).filename().replace_extension(".png"))
                  .string();
    const auto [owner, added] = taken.emplace(PathKey(map), "the map of " + o.inputs[i]);
    if (added) {
      maps[i] = map;
    } else {
      refusals[i] = o.inputs[i] + ": Error Map File: " + map + " is already " + owner->second +
                    "; no map is written.";
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
    err << "tarvik-clean: the criteria file's SearchY (" << FormatGeneral(criteria->SearchY)
        << ") is not a whole number from -32768 to 32767 once rounded.\n";
    status = 1;
    return std::nullopt;
  }
  RunSettings& s = *startup;
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
  override(s.SearchY, o.searchY);  // the buffer text stays as start-up set it
  override(s.SDOutlier, o.outlierSD);
  override(s.SearchSD, o.neighbourSD);
  override(s.NoPointsforValidSeg, o.minPoints);
  override(s.SearchSize, o.buffer);
  s.Title = o.title;
  s.Option3 = !o.detailed;
  s.Check1 = o.rescale;
  s.FEast = o.falseEasting.value_or("0");
  s.FNorth = o.falseNorthing.value_or("0");
  s.Format = o.inputFormat == "detect" ? InputFormat::Detect : InputFormat::AdvancedExport;
  s.HeaderCodes = o.headerCodes;
  s.FlowDelay = o.flowDelay.value_or("");
  s.MoistureDelay = o.moistureDelay.value_or("");
  return startup;
}

/// Cleans every input with `settings`, `jobs` files at once. The reports
/// keep the order of the inputs.
std::vector<FileReport> CleanFiles(const CleanOptions& o, const RunSettings& settings) {
  std::vector<std::string> outputs;
  for (const std::string& input : o.inputs) {
    outputs.push_back(o.output.empty() ? DeriveOutputName(input) : o.output);
  }
  std::vector<std::optional<std::string>> clashes = OutputClashes(o.inputs, outputs);
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
  const std::vector<std::optional<std::string>> exportClashes =
      ExportClashes(o.inputs, outputs, exports);
  for (std::size_t i = 0; i < clashes.size(); ++i) {
    if (!clashes[i]) clashes[i] = exportClashes[i];
  }
#endif
  std::vector<std::optional<std::string>> mapRefusals;
  const std::vector<std::string> maps = MapPaths(o, outputs, mapRefusals);

  // Each file is cleaned on its own table.
  std::vector<FileReport> reports(o.inputs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < o.inputs.size(); i = next++) {
      const std::string& input = o.inputs[i];
      if (clashes[i]) {
        reports[i] = Failed(input, *clashes[i]);
        continue;
      }
      try {
        reports[i] = CleanOne(input, outputs[i], maps[i], exports[i], settings, o);
        if (reports[i].ok && mapRefusals[i]) reports[i].mapError = *mapRefusals[i];
      } catch (const std::exception& e) {
        reports[i] = Failed(input, input + ": " + e.what());
      }
    }
  };
  const std::size_t threads =
      std::min<std::size_t>(static_cast<std::size_t>(o.jobs), o.inputs.size());
  if (threads <= 1) {
    worker();
  } else {
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (std::thread& thread : pool) thread.join();
  }
  return reports;
}

}  // namespace

int RunCleanCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CleanOptions o;
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

  int status = 0;
  const std::optional<RunSettings> settings = BuildRunSettings(o, err, status);
  if (!settings) return status;

  // Qt starts only for maps; a plain run does without it.
  std::optional<map::OffscreenPainting> painting;
  if (!o.mapFile.empty() || !o.mapFolder.empty()) painting.emplace();
  if (!o.mapFolder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(o.mapFolder, error);
  }

  std::vector<FileSummary> summaries;
  for (const FileReport& report : CleanFiles(o, *settings)) {
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
    summaries.push_back(report.summary);
  }
  if (!o.summaryFile.empty()) {
    try {
      WriteFileAtomically(o.summaryFile, SummaryJsonText(summaries));
    } catch (const std::exception& e) {
      err << "tarvik-clean: Error Summary File: " << e.what() << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace tarvik

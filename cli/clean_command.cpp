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

#include "core/number_text.h"
#include "core/settings_files.h"
#include "run/run.h"

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
};

/// What one file came to: its summary line or its error line.
struct FileReport {
  bool ok = false;
  std::string line;
};

std::string SummaryLine(const std::string& input, const std::string& output,
                        const RunCounts& counts) {
  std::ostringstream line;
  const std::int32_t retained = counts.ByCode[0];
  line << input << " -> " << output << ": " << counts.PointsRead << " points read, " << retained
       << " retained (" << RetainedPercent(counts) << " %); removed by code:";
  for (int code = 1; code < kCodeCount; ++code) {
    line << ' ' << code << ':' << counts.ByCode[static_cast<std::size_t>(code)];
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

FileReport CleanOne(const std::string& input, const std::string& output, RunSettings settings,
                    const CleanOptions& options) {
  settings.InputFile = input;
  settings.OutputFile = output;
  if (output.empty()) {
    return {false, input + ": cannot derive an output name from so short a path; give -o FILE."};
  }
  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  if (options.rescale && (!options.falseEasting || !options.falseNorthing)) {
    // The input browse button's proposal: the smallest easting and northing.
    const PreloadOutcome preload =
        PreloadInput(count, *table, input, settings.MC, settings.Density);
    if (preload.Result == PreloadOutcome::Kind::Loaded) {
      if (!options.falseEasting) settings.FEast = std::to_string(preload.FEast);
      if (!options.falseNorthing) settings.FNorth = std::to_string(preload.FNorth);
    }
  }
  const RunOutcome outcome = RunPipeline(count, *table, settings);
  if (outcome.Status != RunStatus::Finished) return {false, ErrorLine(input, outcome)};
  return {true, SummaryLine(input, output, outcome.Counts)};
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
}

/// Checks the options that CLI11 cannot check alone. Returns the usage
/// error, or nothing when they fit together.
std::optional<std::string> CheckOptionCombinations(const CleanOptions& o) {
  if (!o.output.empty() && o.inputs.size() != 1) {
    return "-o names one output file; give one input with it.";
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
  if (!crops.ok) return settingsError(crops.error);
  const CriteriaFile criteria = ReadCriteriaFile(SettingsFilePath(folder, kCriteriaFileName));
  if (!criteria.ok) return settingsError(criteria.error);
  const CropRecord* crop = FindCrop(crops, o.crop);
  if (crop == nullptr) {
    err << "tarvik-clean: " << SettingsFilePath(folder, kCropFileName) << " has no crop named \""
        << o.crop << "\". Crops:";
    for (const CropRecord& record : crops.records) err << " \"" << record.Name << "\"";
    err << "\n";
    status = 2;
    return std::nullopt;
  }

  auto startup = StartupSettings(*crop, criteria.values);
  if (!startup) {
    err << "tarvik-clean: the criteria file's SearchY (" << FormatGeneral(criteria.values.SearchY)
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
  return startup;
}

/// Cleans every input with `settings`, `jobs` files at once. The reports
/// keep the order of the inputs.
std::vector<FileReport> CleanFiles(const CleanOptions& o, const RunSettings& settings) {
  std::vector<std::string> outputs;
  for (const std::string& input : o.inputs) {
    outputs.push_back(o.output.empty() ? DeriveOutputName(input) : o.output);
  }
  const std::vector<std::optional<std::string>> clashes = OutputClashes(o.inputs, outputs);

  // Each file is cleaned on its own table.
  std::vector<FileReport> reports(o.inputs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < o.inputs.size(); i = next++) {
      const std::string& input = o.inputs[i];
      if (clashes[i]) {
        reports[i] = {false, *clashes[i]};
        continue;
      }
      try {
        reports[i] = CleanOne(input, outputs[i], settings, o);
      } catch (const std::exception& e) {
        reports[i] = {false, input + ": " + e.what()};
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

  for (const FileReport& report : CleanFiles(o, *settings)) {
    if (report.ok) {
      if (!o.quiet) out << report.line << "\n";
    } else {
      err << "tarvik-clean: " << report.line << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace tarvik

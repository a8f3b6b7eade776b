// Whole runs compared byte for byte with detailed files kept in
// tests/data/golden: every rule's codes, every derived column and the order
// of the rules show in them, so a change to any stage's effect fails here.
//
// After a deliberate change of results, write the files anew with
//   TARVIK_UPDATE_GOLDEN=1 build/tests/test_golden
// and review the difference before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run/run.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TestFolder;
using testing::WriteFile;

/// The fields as the window fills them from the supplied settings folder.
RunSettings SuppliedSettings() {
  const std::string folder = std::string(TARVIK_SOURCE_DIR) + "/settings";
  const CropFile crops = ReadCropFile(SettingsFilePath(folder, kCropFileName));
  const CriteriaFile criteria = ReadCriteriaFile(SettingsFilePath(folder, kCriteriaFileName));
  EXPECT_TRUE(crops && criteria);
  const CropRecord* corn = FindCrop(*crops, "Corn");
  EXPECT_NE(corn, nullptr);
  return *StartupSettings(*corn, *criteria);
}

/// Named changes to the supplied settings: field texts, and re-scaling.
struct Variant {
  const char* name;
  std::vector<std::pair<std::string RunSettings::*, std::string>> texts;
  bool rescale = false;

  void ApplyTo(RunSettings& settings) const {
    for (const auto& [field, text] : texts) settings.*field = text;
    settings.Rescale = rescale;
  }
};

const Variant kDefault{"default", {}};

/// Tighter bands everywhere and longer delays: more points per rule.
const Variant kTight{"tight",
                     {{&RunSettings::StartPassDelay, "2"},
                      {&RunSettings::EndPassDelay, "6"},
                      {&RunSettings::SDOutlier, "2"},
                      {&RunSettings::SearchSD, "1.5"},
                      {&RunSettings::LowerLimit, "40"},
                      {&RunSettings::UpperLimit, "240"},
                      {&RunSettings::NoPointsforValidSeg, "25"}}};

/// A neighbourhood wide enough to fill the neighbour lists, a wider buffer
/// and re-scaled coordinates.
const Variant kWide{"wide",
                    {{&RunSettings::SearchX, "60"},
                     {&RunSettings::SearchY, "30"},
                     {&RunSettings::SearchSize, "24"},
                     {&RunSettings::SearchSD, "2"},
                     {&RunSettings::FEast, "700000"},
                     {&RunSettings::FNorth, "4500000"}},
                    true};

/// Soybeans' values on a corn field: the yield limits decide much more.
const Variant kSoybeans{"soybeans",
                        {{&RunSettings::MC, "13"},
                         {&RunSettings::Density, "60"},
                         {&RunSettings::UpperLimit, "120"},
                         {&RunSettings::SDOutlier, "2.5"},
                         {&RunSettings::SearchX, "12.5"},
                         {&RunSettings::SearchY, "7.5"}}};

class GoldenRunTest : public ::testing::Test {
 protected:
  fs::path Generated(const FieldSimOptions& options) {
    const fs::path path = folder_ / ("field" + std::to_string(options.Seed) + ".txt");
    WriteFile(path, SimulateField(options));
    return path;
  }

  /// Runs `input` with `variant` and compares the detailed file with the
  /// golden file `stem`-`variant`.txt.
  void ExpectGolden(const fs::path& input, const std::string& stem, const Variant& variant) {
    std::string name = stem;
    name.append("-").append(variant.name);
    SCOPED_TRACE(name);
    RunSettings settings = SuppliedSettings();
    settings.InputFile = input.string();
    settings.OutputFile = (folder_ / "out.txt").string();
    settings.BasicOutput = false;
    settings.Title = name;
    variant.ApplyTo(settings);
    auto table = std::make_unique<PointTable>();
    std::int32_t count = 0;
    const RunOutcome outcome = RunPipeline(count, *table, settings);
    ASSERT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text << " " << outcome.Detail;
    const std::string produced = ReadFile(settings.OutputFile);
    const fs::path golden = fs::path(TARVIK_TEST_DATA_DIR) / "golden" / (name + ".txt");
    if (std::getenv("TARVIK_UPDATE_GOLDEN") != nullptr) {
      std::ofstream(golden, std::ios::binary) << produced;
      return;
    }
    const std::string expected = ReadFile(golden);
    ASSERT_FALSE(expected.empty()) << golden << " is missing";
    if (produced == expected) return;
    // Name the first line that differs rather than print both files.
    std::istringstream a(produced);
    std::istringstream b(expected);
    std::string lineA;
    std::string lineB;
    for (int line = 1;; ++line) {
      const bool moreA = static_cast<bool>(std::getline(a, lineA));
      const bool moreB = static_cast<bool>(std::getline(b, lineB));
      if (!moreA && !moreB) break;
      if (lineA != lineB || moreA != moreB) {
        ADD_FAILURE() << golden << ": line " << line << " differs\n  produced: " << lineA
                      << "\n  expected: " << lineB;
        return;
      }
    }
    ADD_FAILURE() << golden << " differs";
  }

  TestFolder folder_{"golden"};
};

TEST_F(GoldenRunTest, TheBundledSampleGivesTheSameDetailedFile) {
  const fs::path sample = fs::path(TARVIK_SOURCE_DIR) / "samples" / "sample-field.txt";
  for (const Variant& variant : {kDefault, kWide}) {
    ExpectGolden(sample, "sample", variant);
  }
}

TEST_F(GoldenRunTest, GeneratedFieldsGiveTheSameDetailedFiles) {
  FieldSimOptions square;
  square.Seed = 31;
  square.Points = 2500;
  for (const Variant& variant : {kTight, kWide, kSoybeans}) {
    ExpectGolden(Generated(square), "square", variant);
  }

  // Long narrow passes of a narrower header, further south.
  FieldSimOptions strips;
  strips.Seed = 32;
  strips.Points = 2000;
  strips.PassLength = 300;
  strips.Swath = 240;
  strips.Latitude = 38.2;
  strips.Longitude = -98.9;
  for (const Variant& variant : {kDefault, kWide}) {
    ExpectGolden(Generated(strips), "strips", variant);
  }
}

TEST_F(GoldenRunTest, AnOutlierAboveTheUpperLimitKeepsTheOutlierCode) {
  // The distribution check runs before the maximum-yield check: a grain
  // flow spike gives a yield above the limit too, and must keep code 4.
  FieldSimOptions options;
  options.Seed = 31;
  options.Points = 2500;
  RunSettings settings = SuppliedSettings();
  settings.InputFile = Generated(options).string();
  settings.OutputFile = (folder_ / "out.txt").string();
  settings.UpperLimit = "240";
  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  ASSERT_EQ(RunPipeline(count, *table, settings).Status, RunStatus::Finished);
  int outliersAboveTheLimit = 0;
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = (*table)[i];
    if (point.RemovalCode == 4 && point.Yield > 240) ++outliersAboveTheLimit;
  }
  EXPECT_GT(outliersAboveTheLimit, 0);
}

}  // namespace
}  // namespace tarvik

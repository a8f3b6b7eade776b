// What holds for every field and every setting, checked on many generated
// fields: one code per point, codes that stay once set, the basic file as
// the retained part of the detailed one, and the same bytes whatever the
// locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checks/ordering.h"
#include "run/run.h"
#include "run/stage_checks.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TestFolder;
using testing::WriteFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

/// Watches the table between the stages that report progress: a code once
/// set stays set. The table is followed by ID, as it is regrouped meanwhile.
class CodeWatch final : public Progress {
 public:
  CodeWatch(const std::int32_t& count, const PointTable& table) : count_(count), table_(table) {}

  void Begin(std::string_view status, std::int32_t) override { Check(status); }
  void SetValue(std::int32_t) override {}
  void End() override { Check("end of a stage"); }

  /// Compares the table with the codes seen last, then remembers it.
  void Check(std::string_view when) {
    codes_.resize(static_cast<std::size_t>(count_) + 1, 0);
    for (std::int32_t i = 1; i <= count_; ++i) {
      const YieldPoint& point = table_[i];
      ASSERT_GE(point.ID, 1);
      ASSERT_LE(point.ID, count_);
      std::int16_t& seen = codes_[static_cast<std::size_t>(point.ID)];
      if (seen != 0 && point.RemovalCode == 0) {
        ADD_FAILURE() << "point " << point.ID << " went from code " << seen << " back to 0 by "
                      << when;
        ++failures;
      }
      seen = point.RemovalCode;
    }
  }

  int failures = 0;

 private:
  const std::int32_t& count_;
  const PointTable& table_;
  std::vector<std::int16_t> codes_;
};

/// One generated field and the settings texts to run it with.
struct Case {
  std::uint64_t seed;
  std::int32_t points;
  std::vector<std::pair<std::string RunSettings::*, std::string>> texts;
};

std::vector<Case> Cases() {
  using S = RunSettings;
  std::vector<Case> cases;
  const std::vector<std::vector<std::pair<std::string S::*, std::string>>> settings = {
      {},
      {{&S::SDOutlier, "1.5"}, {&S::SearchSD, "1"}, {&S::NoPointsforValidSeg, "40"}},
      {{&S::StartPassDelay, "0"},
       {&S::EndPassDelay, "0"},
       {&S::SearchX, "60"},
       {&S::SearchY, "30"}},
      {{&S::StartPassDelay, "-3"}, {&S::UpperLimit, "150"}, {&S::LowerLimit, "90"}},
      {{&S::SearchSize, "0"}, {&S::SearchX, "5"}, {&S::SearchY, "2"}, {&S::SDOutlier, "4"}},
      {{&S::SearchSize, "60"}, {&S::SearchSD, "0"}, {&S::NoPointsforValidSeg, "1"}},
  };
  for (std::uint64_t seed = 101; seed < 113; ++seed) {
    const std::int32_t points = 300 + static_cast<std::int32_t>(seed % 5) * 450;
    cases.push_back({seed, points, settings[seed % settings.size()]});
  }
  return cases;
}

class PropertyTest : public ::testing::Test {
 protected:
  RunSettings SettingsFor(const Case& c) {
    FieldSimOptions options;
    options.Seed = c.seed;
    options.Points = c.points;
    options.Swath = static_cast<std::int16_t>(240 + (c.seed % 3) * 120);
    const fs::path input = folder_ / ("field" + std::to_string(c.seed) + ".txt");
    WriteFile(input, SimulateField(options));
    RunSettings s = *StartupSettings({"Corn", 15.5, 350, 1, 56}, {4, 4, 20, 10, 3, 2.5F, 10});
    s.InputFile = input.string();
    for (const auto& [field, text] : c.texts) s.*field = text;
    s.Rescale = c.seed % 2 == 0;
    return s;
  }

  /// Runs `settings` into `name`, detailed or basic; the bytes written.
  std::string Run(RunSettings settings, const std::string& name, bool detailed,
                  Progress& progress = NoProgress()) {
    settings.OutputFile = (folder_ / name).string();
    settings.BasicOutput = !detailed;
    const RunOutcome outcome = RunPipeline(count_, *table_, settings, progress);
    EXPECT_EQ(outcome.Status, RunStatus::Finished) << outcome.Text << " " << outcome.Detail;
    return ReadFile(settings.OutputFile);
  }

  TestFolder folder_{"property"};
  std::unique_ptr<PointTable> table_ = std::make_unique<PointTable>();
  std::int32_t count_ = 0;
};

TEST_F(PropertyTest, EveryPointKeepsOneCodeAndTheBasicFileIsTheRetainedPart) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    const RunSettings settings = SettingsFor(c);
    CodeWatch watch(count_, *table_);
    const std::string detailed = Run(settings, "detailed.txt", true, watch);
    watch.Check("the end of the run");
    ASSERT_EQ(watch.failures, 0);
    ASSERT_EQ(count_, c.points);

    // File order, and one code from 0 to 12 for every point: in the table
    // and in the detailed file.
    const std::vector<std::string> lines = Lines(detailed);
    ASSERT_EQ(lines.size(), 12U + static_cast<std::size_t>(count_));
    std::vector<std::vector<std::string>> retained;
    for (std::int32_t i = 1; i <= count_; ++i) {
      ASSERT_EQ((*table_)[i].ID, i);
      const std::vector<std::string> words = Words(lines[static_cast<std::size_t>(11 + i)]);
      ASSERT_GE(words.size(), 5U);
      const int code = std::stoi(words[4]);
      ASSERT_GE(code, 0);
      ASSERT_LE(code, 12);
      ASSERT_EQ(code, (*table_)[i].RemovalCode);
      if (code == 0) retained.push_back(words);
    }

    // The basic file: the retained rows in file order, the same values.
    const std::vector<std::string> basic = Lines(Run(settings, "basic.txt", false));
    ASSERT_EQ(basic.size(), 6U + retained.size());
    for (std::size_t k = 0; k < retained.size(); ++k) {
      const std::vector<std::string> words = Words(basic[6 + k]);
      ASSERT_EQ(words.size(), 4U) << basic[6 + k];
      EXPECT_EQ(std::stol(words[0]), std::stol(retained[k][0])) << "row " << k;
      EXPECT_EQ(std::stol(words[1]), std::stol(retained[k][1])) << "row " << k;
      EXPECT_EQ(words[2], retained[k][2]) << "row " << k;
      EXPECT_EQ(words[3], retained[k][3]) << "row " << k;
    }
  }
}

TEST_F(PropertyTest, RegroupingThenRestoringGivesBackTheSameTable) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    Run(SettingsFor(c), "out.txt", true);
    const auto before = std::make_unique<PointTable>(*table_);
    SortByBlocks(count_, *table_);
    bool moved = false;
    for (std::int32_t i = 1; i <= count_ && !moved; ++i) moved = (*table_)[i].ID != i;
    EXPECT_TRUE(moved) << "the regrouping left the file order; the test proves nothing";
    RestoreInputOrder(count_, *table_);
    for (std::int32_t i = 0; i <= count_ + 1; ++i) {
      ASSERT_EQ((*table_)[i], (*before)[i]) << "position " << i;
    }
  }
}

/// A decimal comma for the C++ streams, whatever the machine has installed.
struct CommaPunctuation : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

/// Switches the C and C++ locales to decimal-comma ones for its lifetime.
class CommaLocale {
 public:
  CommaLocale() : previousGlobal_(std::locale()) {
    if (const char* c = std::setlocale(LC_ALL, nullptr)) previousC_ = c;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        cName = name;
        break;
      }
    }
    if (cName.empty()) MakePrivateLocale();
    std::locale::global(std::locale(std::locale::classic(), new CommaPunctuation));
  }
  ~CommaLocale() {
    std::locale::global(previousGlobal_);
    std::setlocale(LC_ALL, previousC_.c_str());
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  std::string cName;  // the C locale set, empty when none could be had

 private:
  /// Compiles de_DE.UTF-8 into a folder of its own (once per machine) when
  /// the locale sources are there, and points LOCPATH at it.
  void MakePrivateLocale() {
    const fs::path folder = fs::temp_directory_path() / "tarvik-comma-locale";
    const fs::path locale = folder / "de_DE.UTF-8";
    if (!fs::exists(locale / "LC_NUMERIC")) {
      if (!fs::exists("/usr/share/i18n/locales/de_DE")) return;
      fs::create_directories(folder);
      const std::string command =
          "localedef -i de_DE -f UTF-8 '" + locale.string() + "' >/dev/null 2>&1";
      if (std::system(command.c_str()) != 0) return;
    }
    ::setenv("LOCPATH", folder.c_str(), 1);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) cName = "de_DE.UTF-8";
  }

  std::locale previousGlobal_;
  std::string previousC_ = "C";
};

TEST_F(PropertyTest, TwoRunsAndADecimalCommaLocaleGiveTheSameBytes) {
  const std::vector<Case> cases = Cases();
  for (std::size_t k = 0; k < cases.size(); k += 3) {
    const Case& c = cases[k];
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    const RunSettings settings = SettingsFor(c);
    for (const bool detailed : {true, false}) {
      const std::string first = Run(settings, "first.txt", detailed);
      EXPECT_EQ(Run(settings, "second.txt", detailed), first);
      std::string comma;
      {
        CommaLocale locale;
        if (locale.cName.empty() && k == 0 && detailed) {
          std::cout << "No decimal-comma C locale is installed; only the C++ one is changed.\n";
        }
        comma = Run(settings, "comma.txt", detailed);
      }
      EXPECT_EQ(comma, first);
    }
  }
}

TEST(StageChecksDeathTest, ADebugBuildStopsAtTheStageThatBrokeTheTable) {
#ifdef NDEBUG
  GTEST_SKIP() << "the stage checks exist in debug builds only";
#else
  const auto table = std::make_unique<PointTable>();
  const std::int32_t count = 3;
  for (std::int32_t i = 1; i <= count; ++i) (*table)[i].ID = i;
  (*table)[2].RemovalCode = 4;
  StageChecks checks;
  checks.After("one", count, *table, true);
  std::swap((*table)[1], (*table)[3]);
  checks.After("a regrouping", count, *table, false);
  EXPECT_DEATH(checks.After("a stage", count, *table, true), "After a stage: the file order");
  std::swap((*table)[1], (*table)[3]);
  (*table)[3].ID = 2;
  EXPECT_DEATH(checks.After("a stage", count, *table, false), "IDs are no longer 1 to the count");
  (*table)[3].ID = 3;
  (*table)[2].RemovalCode = 0;
  EXPECT_DEATH(checks.After("a stage", count, *table, true), "a code was set back to 0");
#endif
}

}  // namespace
}  // namespace tarvik

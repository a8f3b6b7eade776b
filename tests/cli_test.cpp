// tarvik-clean as a user calls it: options, exit statuses, summaries and errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/clean_command.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::Clean;
using testing::ReadFile;
using testing::Result;
using testing::TestFolder;
using testing::WriteFile;

class CleanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { settings_ = std::string(TARVIK_SOURCE_DIR) + "/settings"; }

  std::string Field(const std::string& name, std::int32_t points, std::uint64_t seed) {
    FieldSimOptions options;
    options.Points = points;
    options.Seed = seed;
    WriteFile(folder_ / name, SimulateField(options));
    return (folder_ / name).string();
  }

  TestFolder folder_{"cli"};
  std::string settings_;
};

TEST_F(CleanCommandTest, UsageErrorsExitWithTwoAndAMissingSettingsFolderWithOne) {
  EXPECT_EQ(Clean({}).status, 2);
  EXPECT_EQ(Clean({"--jobs", "0", "a.txt"}).status, 2);
  EXPECT_EQ(Clean({"--no-such-option", "a.txt"}).status, 2);
  const Result twoWithOutput = Clean({"--settings", settings_, "-o", "x.txt", "a.txt", "b.txt"});
  EXPECT_EQ(twoWithOutput.status, 2);
  EXPECT_NE(twoWithOutput.err.find("-o names one output file"), std::string::npos);
  const Result crop = Clean({"--settings", settings_, "--crop", "Rice", "a.txt"});
  EXPECT_EQ(crop.status, 2);
  EXPECT_NE(crop.err.find("no crop named \"Rice\""), std::string::npos) << crop.err;
  EXPECT_NE(crop.err.find("\"Soybeans\""), std::string::npos) << crop.err;
  const Result help = Clean({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--false-easting"), std::string::npos);

  const Result r = Clean({"--settings", (folder_ / "nowhere").string(), "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("crop.dat: cannot be opened"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(folder_ / "nowhere"));
}

TEST_F(CleanCommandTest, TheSettingsMessageOffersACopyOnlyWhenAFileIsMissing) {
  const fs::path folder = folder_ / "settings";
  fs::create_directories(folder);
  std::ofstream(folder / "crop.dat") << "Crop,Moisture,Upper,Lower,Weight\nCorn,15.5,300,0,56\n";
  const Result missing = Clean({"--settings", folder.string(), "a.txt"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("criteria.dat: cannot be opened"), std::string::npos) << missing.err;
  EXPECT_NE(
      missing.err.find(std::string("To copy them: mkdir -p ") + folder.string() + " && cp -n " +
                       TARVIK_SETTINGS_INSTALL_DIR + "/*.dat " + folder.string() + "/\n"),
      std::string::npos)
      << missing.err;

  // A file that is there but wrong is the user's to mend: no command that copies over it.
  std::ofstream(folder / "criteria.dat") << "a,b,c,d,e,f,g\n4,x,6,10,3,2.5,10\n";
  const Result wrong = Clean({"--settings", folder.string(), "a.txt"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("criteria.dat:2:"), std::string::npos) << wrong.err;
  EXPECT_EQ(wrong.err.find("To copy them"), std::string::npos) << wrong.err;

  // A SearchY that gives no buffer text is refused in the window's words.
  std::ofstream(folder / "criteria.dat") << "a,b,c,d,e,f,g\n4,4,20,40000,3,2.5,10\n";
  const Result searchY = Clean({"--settings", folder.string(), "a.txt"});
  EXPECT_EQ(searchY.status, 1);
  EXPECT_EQ(searchY.err, "tarvik-clean: " + (folder / "criteria.dat").string() +
                             ": the search size Y \"40000\" is not a whole number from -32768 to "
                             "32767.\n");
}

TEST_F(CleanCommandTest, VersionIsTheProjectVersion) {
  const Result r = Clean({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("tarvik-clean ") + TARVIK_VERSION + "\n");
}

TEST_F(CleanCommandTest, CleansAFieldAndPrintsTheCountPerCode) {
  const std::string input = Field("north.txt", 800, 11);
  const Result r = Clean({"--settings", settings_, input});
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path output = folder_ / "northout.txt";
  EXPECT_TRUE(fs::exists(output));
  EXPECT_EQ(r.out.rfind(input + " -> " + output.string() + ": 800 points read, ", 0), 0U) << r.out;
  EXPECT_NE(r.out.find("removed by code: 1:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 12:"), std::string::npos) << r.out;
  EXPECT_EQ(Clean({"--settings", settings_, "--quiet", input}).out, "");
}

TEST_F(CleanCommandTest, DelaysShowInTheSummaryOnlyWhenTheyMoveSomething) {
  const std::string input = Field("late.txt", 1500, 6);
  const std::string output = (folder_ / "out.txt").string();
  const Result plain = Clean({"--settings", settings_, "-o", output, input});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const std::string bytes = ReadFile(output);
  EXPECT_EQ(plain.out.find(" 13:"), std::string::npos) << plain.out;

  // Zero delays: the same line and the same bytes.
  const Result zero = Clean(
      {"--settings", settings_, "--flow-delay", "0", "--moisture-delay", "0", "-o", output, input});
  EXPECT_EQ(zero.out, plain.out);
  EXPECT_TRUE(ReadFile(output) == bytes);

  const Result late = Clean({"--settings", settings_, "--flow-delay", "8", "-o", output, input});
  ASSERT_EQ(late.status, 0) << late.err;
  EXPECT_NE(late.out.find(" 12:"), std::string::npos) << late.out;
  EXPECT_NE(late.out.find(" 13:"), std::string::npos) << late.out;
  EXPECT_TRUE(late.out.ends_with("; flow delay 8 s\n")) << late.out;

  const Result estimated =
      Clean({"--settings", settings_, "--flow-delay", "auto", "--verbose", "-o", output, input});
  ASSERT_EQ(estimated.status, 0) << estimated.err;
  EXPECT_NE(estimated.out.find(" s (estimated)\n  Flow delay estimate: "), std::string::npos)
      << estimated.out;
  EXPECT_NE(estimated.out.find("\n    delay 25 s: "), std::string::npos) << estimated.out;

  const Result negative =
      Clean({"--settings", settings_, "--flow-delay", "-2", "-o", output, input});
  EXPECT_EQ(negative.status, 1);
  EXPECT_NE(negative.err.find(": Error in Settings: Flow Delay must be a whole number of seconds "
                              "from 0 to 32767, or \"auto\"."),
            std::string::npos)
      << negative.err;
  EXPECT_EQ(
      Clean({"--settings", settings_, "--moisture-delay", "soon", "-o", output, input}).status, 1);
}

TEST_F(CleanCommandTest, OneRefusedFileFailsTheRunButTheOthersAreCleaned) {
  const std::string good = Field("good.txt", 300, 2);
  const fs::path bad = folder_ / "bad.txt";
  std::ofstream(bad, std::ios::binary)
      << "-96.7,40.8,5,1,1,60,360,15,33,1,\"a\",\"b\",\"c\",\"d\",4,2\n";
  const Result r = Clean({"--settings", settings_, "--jobs", "2", bad.string(), good});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::exists(folder_ / "goodout.txt"));
  EXPECT_FALSE(fs::exists(folder_ / "badout.txt"));
  EXPECT_NE(r.err.find("bad.txt: Error Input File: Invalid Input File"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("bad.txt:1"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("good.txt -> "), std::string::npos) << r.out;
}

TEST_F(CleanCommandTest, OptionsCarryTheFieldTextsAndConvertThemAsTheRunDoes) {
  const std::string input = Field("f.txt", 300, 3);
  const Result bad = Clean({"--settings", settings_, "--start-delay", "4.5.1", input});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("Error in Settings: Start Pass Delay must be a whole number"),
            std::string::npos)
      << bad.err;
  // 2.5 rounds to 2, as the window's whole-number conversion does.
  const fs::path a = folder_ / "a.txt";
  const fs::path b = folder_ / "b.txt";
  ASSERT_EQ(
      Clean({"--settings", settings_, "--start-delay", "2.5", "-o", a.string(), input}).status, 0);
  ASSERT_EQ(Clean({"--settings", settings_, "--start-delay", "2", "-o", b.string(), input}).status,
            0);
  EXPECT_EQ(ReadFile(a), ReadFile(b));
}

TEST_F(CleanCommandTest, TheBufferDefaultsToTheCriteriaSearchYWhateverSearchYSays) {
  const std::string input = Field("buffer.txt", 3000, 8);
  const auto detailed = [&](std::vector<std::string> extra, const char* name) {
    std::vector<std::string> args = {
        "--settings", settings_, "--detailed", "--search-y", "30", "-o", (folder_ / name).string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(input);
    EXPECT_EQ(Clean(args).status, 0) << name;
    return ReadFile(folder_ / name);
  };
  // The supplied criteria have SearchY 10.
  const std::string byDefault = detailed({}, "default.txt");
  EXPECT_EQ(byDefault, detailed({"--buffer", "10"}, "ten.txt"));
  EXPECT_NE(byDefault, detailed({"--buffer", "30"}, "thirty.txt"));
}

TEST_F(CleanCommandTest, NoOutputOverwritesAnotherInputOrAnEarlierOutput) {
  const std::string field = Field("west.txt", 300, 5);
  const std::string raw = Field("westout.txt", 300, 6);  // an export that happens to bear that name
  const std::string rawBytes = ReadFile(raw);
  const Result r = Clean({"--settings", settings_, "--jobs", "2", field, raw, field});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadFile(raw), rawBytes);
  EXPECT_NE(r.err.find("west.txt: Error Output File: " + raw + " is another input file"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find(raw + " -> "), std::string::npos) << r.out;  // cleaned on its own

  const std::string other = Field("east.txt", 300, 7);
  const Result twice = Clean({"--settings", settings_, other, other});
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.err.find("is already the output of " + other), std::string::npos) << twice.err;
}

TEST_F(CleanCommandTest, RescaleProposesTheSmallestEastingAndNorthing) {
  const fs::path output = folder_ / "r-detailed.txt";
  ASSERT_EQ(Clean({"--settings", settings_, "--detailed", "--rescale", "-o", output.string(),
                   Field("r.txt", 300, 4)})
                .status,
            0);
  std::istringstream lines(ReadFile(output));
  std::string line;
  for (int i = 0; i < 12; ++i) std::getline(lines, line);
  long minEasting = 1L << 40, minNorthing = 1L << 40, easting = 0, northing = 0;
  while (lines >> easting >> northing && std::getline(lines, line)) {
    minEasting = std::min(minEasting, easting);
    minNorthing = std::min(minNorthing, northing);
  }
  EXPECT_EQ(minEasting, 0);
  EXPECT_EQ(minNorthing, 0);
}

}  // namespace
}  // namespace tarvik

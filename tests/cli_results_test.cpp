// What tarvik-clean leaves beside the cleaned files: the JSON summary of
// every input and the field maps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "cli/clean_command.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ReadFile;
using testing::TestFolder;
using testing::WriteFile;

class CleanResultsTest : public ::testing::Test {
 protected:
  int Clean(std::vector<std::string> args) {
    args.insert(args.begin(),
                {"tarvik-clean", "--settings", std::string(TARVIK_SOURCE_DIR) + "/settings"});
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    out_.str({});
    err_.str({});
    return RunCleanCommand(static_cast<int>(argv.size()), argv.data(), out_, err_);
  }

  std::string Write(const std::string& name, const std::string& text) {
    WriteFile(folder_ / name, text);
    return (folder_ / name).string();
  }

  std::string Field(const std::string& name, std::int32_t points) {
    FieldSimOptions options;
    options.Points = points;
    options.Seed = 5;
    return Write(name, SimulateField(options));
  }

  /// Width and height from a PNG file's header; 0 x 0 when it is none.
  static std::pair<int, int> PngSize(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    const auto number = [&](std::size_t at) {
      int n = 0;
      for (std::size_t i = at; i < at + 4; ++i) n = n * 256 + static_cast<unsigned char>(bytes[i]);
      return n;
    };
    return {number(16), number(20)};
  }

  TestFolder folder_{"results"};
  std::ostringstream out_, err_;
};

TEST_F(CleanResultsTest, SummaryFileHoldsACleanedAndARefusedFile) {
  const std::string good = Field("good.txt", 400);
  const std::string bad = Write("bad.txt", SimulateField({}).substr(0, 200) + "\r\n-96.7,x\r\n");
  const fs::path summary = folder_ / "summary.json";
  EXPECT_EQ(Clean({"--summary", summary.string(), good, bad}), 1);

  const json j = json::parse(ReadFile(summary));
  ASSERT_EQ(j["files"].size(), 2u);
  const json& cleaned = j["files"][0];
  EXPECT_EQ(cleaned["input"], good);
  EXPECT_EQ(cleaned["outcome"], "cleaned");
  EXPECT_EQ(cleaned["output"], (folder_ / "goodout.txt").string());
  EXPECT_FALSE(cleaned.contains("reason"));
  const json& s = cleaned["summary"];
  EXPECT_EQ(s["points"]["read"], 400);
  const int retained = s["points"]["retained"];
  int removed = 0;
  ASSERT_EQ(s["codes"].size(), 12u);
  EXPECT_EQ(s["codes"][0]["rule"], "Header status");
  for (const json& row : s["codes"]) removed += row["count"].get<int>();
  EXPECT_EQ(removed, s["points"]["removed"]);
  EXPECT_EQ(retained + removed, 400);
  // The file's rows are the retained points: the title, 4, four names, then one per point.
  const std::string output = ReadFile(folder_ / "goodout.txt");
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 6 + retained);
  EXPECT_EQ(s["yield_bu_per_acre"]["retained"]["count"], retained);
  EXPECT_EQ(s["settings"]["standard_moisture_percent"], 15.5);
  EXPECT_EQ(s["histogram"]["edges"].size(), s["histogram"]["all"].size() + 1);

  const json& refused = j["files"][1];
  EXPECT_EQ(refused["input"], bad);
  EXPECT_EQ(refused["outcome"], "refused");
  EXPECT_EQ(refused["message"], "Invalid Input File");
  EXPECT_NE(refused["reason"].get<std::string>().find("bad.txt:"), std::string::npos)
      << refused["reason"];
  EXPECT_FALSE(refused.contains("summary"));
}

TEST_F(CleanResultsTest, MapsOfEachCleanedInputAtTheirSize) {
  const std::string first = Field("first.txt", 300);
  const std::string second = Field("second.txt", 300);
  const std::string bad = Write("bad.txt", "nothing\r\n");
  const fs::path maps = folder_ / "maps";
  EXPECT_EQ(Clean({"--map-dir", maps.string(), first, second, bad}), 1);
  EXPECT_EQ(PngSize(maps / "first.png"), std::make_pair(1600, 1200));
  EXPECT_EQ(PngSize(maps / "second.png"), std::make_pair(1600, 1200));
  EXPECT_FALSE(fs::exists(maps / "bad.png"));

  const fs::path one = folder_ / "one.png";
  EXPECT_EQ(Clean({"--map", one.string(), "--map-size", "640x480", first}), 0) << err_.str();
  EXPECT_EQ(PngSize(one), std::make_pair(640, 480));
  for (const char* size : {"640", "640x", "x480", "640x480x", "99x480", "640y480"}) {
    EXPECT_EQ(Clean({"--map", one.string(), "--map-size", size, first}), 2) << size;
  }
}

TEST_F(CleanResultsTest, MapsNeverReplaceOtherFiles) {
  const std::string field = Field("field.txt", 300);
  fs::create_directories(folder_ / "b");
  const std::string twin = (folder_ / "b" / "field.txt").string();
  fs::copy_file(field, twin);
  // Two inputs of the same name would share one map: the second gets none.
  EXPECT_EQ(Clean({"--map-dir", folder_.string(), field, twin}), 1);
  EXPECT_NE(err_.str().find("is already the map of " + field), std::string::npos) << err_.str();

  // A map named like the input: refused, the input unchanged.
  const std::string before = ReadFile(field);
  EXPECT_EQ(Clean({"--map", field, field}), 1);
  EXPECT_EQ(ReadFile(field), before);
  EXPECT_NE(err_.str().find("is already the input"), std::string::npos) << err_.str();

  EXPECT_EQ(Clean({"--map", "m.png", field, twin}), 2);
  EXPECT_EQ(Clean({"--summary", field, field}), 2);
  EXPECT_EQ(Clean({"--summary", (folder_ / "fieldout.txt").string(), field}), 2);
  EXPECT_NE(err_.str().find("--summary names the output of " + field), std::string::npos);
  EXPECT_EQ(ReadFile(field), before);
}

}  // namespace
}  // namespace tarvik

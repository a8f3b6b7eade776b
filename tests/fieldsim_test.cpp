#include "tools/fieldsim.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/point_table.h"
#include "input/advanced_export.h"

namespace tarvik {
namespace {

using Record = std::vector<std::string>;

/// Lines split at CR LF; fails the test on a bare CR or LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line without CR LF";
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare line end in: " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

Record Items(const std::string& line) {
  Record items;
  std::stringstream stream(line);
  std::string item;
  while (std::getline(stream, item, ',')) items.push_back(item);
  return items;
}

std::vector<Record> Records(const std::string& text) {
  std::vector<Record> records;
  for (const std::string& line : Lines(text)) records.push_back(Items(line));
  return records;
}

std::string Unquoted(const std::string& item) {
  EXPECT_GE(item.size(), 2u);
  EXPECT_EQ(item.front(), '"') << item;
  EXPECT_EQ(item.back(), '"') << item;
  return item.substr(1, item.size() - 2);
}

FieldSimOptions Options(std::uint64_t seed, std::int32_t points) {
  FieldSimOptions options;
  options.Seed = seed;
  options.Points = points;
  return options;
}

/// FNV-1a: a fixed fingerprint of the simulated bytes.
std::uint64_t Fingerprint(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

TEST(FieldSim, SameSeedSameBytesOtherSeedOtherBytes) {
  const std::string first = SimulateField(Options(11, 3000));
  EXPECT_TRUE(first == SimulateField(Options(11, 3000)));
  EXPECT_FALSE(first == SimulateField(Options(12, 3000)));
}

TEST(FieldSim, SameBytesOnEveryMachine) {
  // The simulator uses its own random numbers and trigonometry and exact
  // number formatting, so this fingerprint holds for every compiler and
  // library. It changes only when the simulator itself is changed: then
  // regenerate samples/sample-field.txt and update the value.
  EXPECT_EQ(Fingerprint(SimulateField(Options(1, 2000))), 856178407114935933ULL);
}

TEST(FieldSim, WritesExactlyTheRecordsAskedFor) {
  EXPECT_EQ(SimulateField(Options(1, 0)), "");
  for (const std::int32_t points : {1, 2, 7, 300, 5000}) {
    const std::vector<Record> records = Records(SimulateField(Options(3, points)));
    ASSERT_EQ(records.size(), static_cast<std::size_t>(points));
    for (const Record& record : records) ASSERT_EQ(record.size(), 17u);
  }
}

TEST(FieldSim, ValuesArePlausible) {
  const FieldSimOptions options = Options(5, 5000);
  const std::vector<Record> records = Records(SimulateField(options));
  std::int64_t lastTime = 0;
  std::int32_t lastPass = 0;
  for (const Record& r : records) {
    const double longitude = std::stod(r[0]);
    const double latitude = std::stod(r[1]);
    EXPECT_NEAR(longitude, options.Longitude + 0.002, 0.004);
    EXPECT_NEAR(latitude, options.Latitude + 0.0015, 0.0025);
    const double flow = std::stod(r[2]);
    EXPECT_GE(flow, 0);
    EXPECT_LT(flow, 250);
    const std::int64_t time = std::stoll(r[3]);
    const int interval = std::stoi(r[4]);
    EXPECT_TRUE(interval == 1 || interval == 2);
    if (lastTime != 0) {
      EXPECT_GE(time - lastTime, interval);
    }
    lastTime = time;
    EXPECT_LT(time, 2147483647);
    const int distance = std::stoi(r[5]);
    EXPECT_GE(distance, 0);
    EXPECT_LE(distance, 700);
    const int swath = std::stoi(r[6]);
    EXPECT_GE(swath, 60);
    EXPECT_LE(swath, options.Swath);
    const double moisture = std::stod(r[7]);
    EXPECT_GT(moisture, 0);
    EXPECT_LT(moisture, 50);
    const int header = std::stoi(r[8]);
    EXPECT_TRUE(header == 1 || header == 33) << header;
    const int pass = std::stoi(r[9]);
    EXPECT_TRUE(pass == lastPass || pass == lastPass + 1) << pass;
    lastPass = pass;
    EXPECT_EQ(Unquoted(r[13]), "Corn");
    const int gpsStatus = std::stoi(r[14]);
    EXPECT_TRUE(gpsStatus == 2 || gpsStatus == 4);
    const int pdop = std::stoi(r[15]);
    EXPECT_GE(pdop, 1);
    EXPECT_LE(pdop, 4);
    EXPECT_NEAR(std::stod(r[16]), 1185, 40);
    EXPECT_EQ(Unquoted(r[10]), Unquoted(records[0][10]));
    EXPECT_EQ(Unquoted(r[11]), Unquoted(records[0][11]));
  }
  // About 4 to 6 mph while harvesting.
  double inches = 0;
  double seconds = 0;
  for (const Record& r : records) {
    if (r[8] != "33") continue;
    inches += std::stod(r[5]);
    seconds += std::stod(r[4]);
  }
  EXPECT_GT(inches / seconds, 65);
  EXPECT_LT(inches / seconds, 95);
}

TEST(FieldSim, FieldLiesAtTheCornerAskedFor) {
  FieldSimOptions options = Options(2, 600);
  options.Latitude = -33.9;
  options.Longitude = 151.2;
  options.PassLength = 150;
  for (const Record& r : Records(SimulateField(options))) {
    EXPECT_NEAR(std::stod(r[0]), 151.2, 0.01);
    // 150 m of crop plus the headland turns, in degrees of latitude.
    EXPECT_GT(std::stod(r[1]), -33.9 - 0.0003);
    EXPECT_LT(std::stod(r[1]), -33.9 + 0.0017);
  }
}

TEST(FieldSim, HoldsWhatTheCleaningRulesLookFor) {
  const std::vector<Record> records = Records(SimulateField(Options(8, 4000)));
  int headerUp = 0;
  int gapsWithinHeaderState = 0;
  int zeroDistances = 0;
  int repeatedPositions = 0;
  int passStarts = 0;
  int rampingStarts = 0;
  int narrowSwaths = 0;
  std::set<std::string> loads;
  double flowSum = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    flowSum += std::stod(r[2]);
    if (r[8] == "1") ++headerUp;
    if (std::stoi(r[5]) == 0) ++zeroDistances;
    if (std::stoi(r[6]) < 300) ++narrowSwaths;
    loads.insert(Unquoted(r[12]));
    if (i == 0) continue;
    const Record& before = records[i - 1];
    if (r[8] == before[8] && std::stoll(r[3]) - std::stoll(before[3]) > 6) ++gapsWithinHeaderState;
    if (r[0] == before[0] && r[1] == before[1]) ++repeatedPositions;
  }
  const double meanFlow = flowSum / static_cast<double>(records.size());
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (records[i][8] != "33" || records[i - 1][8] != "1") continue;
    ++passStarts;
    // The combine fills: the first readings of a pass are low.
    if (std::stod(records[i][2]) < 0.25 * meanFlow) ++rampingStarts;
  }
  EXPECT_GT(headerUp, 100);
  EXPECT_GT(gapsWithinHeaderState, 3);
  EXPECT_GT(zeroDistances, 5);
  EXPECT_GT(repeatedPositions, 5);
  EXPECT_GT(passStarts, 10);
  EXPECT_GT(rampingStarts, passStarts * 3 / 4);
  EXPECT_GT(narrowSwaths, 0);
  EXPECT_GT(loads.size(), 2u);
  EXPECT_TRUE(loads.count("Load 1   ")) << "the first load carries trailing blanks";
  int padded = 0;
  for (const std::string& load : loads) padded += load.back() == ' ' ? 1 : 0;
  EXPECT_LT(padded, static_cast<int>(loads.size()));
}

TEST(FieldSim, ReaderAcceptsFullSizeField) {
  auto table = std::make_unique<PointTable>();
  std::int32_t count = 0;
  const std::string text = SimulateField(Options(4, kMaxPoints));
  const ReadResult result = ParseAdvancedExport(text, "simulated", *table, count);
  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(count, kMaxPoints);
  EXPECT_EQ((*table)[1].LoadNo, "Load 1   ");
  EXPECT_EQ((*table)[1].GrainType, "Corn");
  EXPECT_EQ((*table)[1].HeaderStatus, 33);
  EXPECT_NE((*table)[kMaxPoints].GPSTime, 0);

  const std::string small = SimulateField(Options(4, 250));
  ASSERT_TRUE(ParseAdvancedExport(small, "simulated", *table, count).ok);
  EXPECT_EQ(count, 250);
}

TEST(FieldSim, BundledSampleIsTheDocumentedField) {
  std::ifstream file(std::string(TARVIK_SOURCE_DIR) + "/samples/sample-field.txt",
                     std::ios::binary);
  ASSERT_TRUE(file) << "samples/sample-field.txt is missing";
  const std::string sample((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
  // tarvik-fieldsim --seed 1 --points 5000 -o samples/sample-field.txt
  EXPECT_TRUE(sample == SimulateField(Options(1, 5000)))
      << "regenerate the sample with the command in samples/README.md";
}

}  // namespace
}  // namespace tarvik

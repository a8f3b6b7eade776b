#include "tools/fieldsim.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/generated_fields.h"

namespace tarvik {
namespace {

using Record = std::vector<std::string>;
using testing::Options;

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

/// FNV-1a: a fixed fingerprint of the simulated bytes.
std::uint64_t Fingerprint(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

TEST(FieldSim, SameSeedSameBytesOnEveryMachine) {
  const std::string first = SimulateField(Options(11, 3000));
  EXPECT_TRUE(first == SimulateField(Options(11, 3000)));
  EXPECT_FALSE(first == SimulateField(Options(12, 3000)));
  // The simulator uses its own random numbers and trigonometry and exact number formatting, so
  // this fingerprint holds for every compiler and library. It changes only when the simulator
  // itself is changed: then regenerate samples/sample-field.txt and update the value.
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

TEST(FieldSim, ValuesArePlausibleAndHoldWhatTheCleaningRulesLookFor) {
  const FieldSimOptions options = Options(8, 4000);
  const std::vector<Record> records = Records(SimulateField(options));
  int lastPass = 0, headerUp = 0, gaps = 0, zeroDistances = 0, repeats = 0, narrowSwaths = 0;
  double flowSum = 0, inches = 0, seconds = 0;
  std::set<std::string> loads;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    const auto number = [&](std::size_t item) { return std::stod(r[item]); };
    EXPECT_NEAR(number(0), options.Longitude + 0.002, 0.004);
    EXPECT_NEAR(number(1), options.Latitude + 0.0015, 0.0025);
    EXPECT_TRUE(number(2) >= 0 && number(2) < 250) << r[2];              // grain flow
    EXPECT_LT(std::stoll(r[3]), 2147483647);                             // time
    EXPECT_TRUE(r[4] == "1" || r[4] == "2") << r[4];                     // interval
    EXPECT_TRUE(number(5) >= 0 && number(5) <= 700) << r[5];             // distance
    EXPECT_TRUE(number(6) >= 60 && number(6) <= options.Swath) << r[6];  // swath
    EXPECT_TRUE(number(7) > 0 && number(7) < 50) << r[7];                // moisture
    EXPECT_TRUE(r[8] == "1" || r[8] == "33") << r[8];                    // header status
    EXPECT_TRUE(std::stoi(r[9]) - lastPass <= 1 && std::stoi(r[9]) >= lastPass) << r[9];
    lastPass = std::stoi(r[9]);
    EXPECT_EQ(Unquoted(r[10]), Unquoted(records[0][10]));  // serial number
    EXPECT_EQ(Unquoted(r[11]), Unquoted(records[0][11]));  // field
    loads.insert(Unquoted(r[12]));
    EXPECT_EQ(Unquoted(r[13]), "Corn");
    EXPECT_TRUE(r[14] == "2" || r[14] == "4") << r[14];        // GPS status
    EXPECT_TRUE(number(15) >= 1 && number(15) <= 4) << r[15];  // PDOP
    EXPECT_NEAR(number(16), 1185, 40);                         // elevation
    flowSum += number(2);
    headerUp += r[8] == "1" ? 1 : 0;
    zeroDistances += r[5] == "0" ? 1 : 0;
    narrowSwaths += number(6) < 300 ? 1 : 0;
    if (r[8] == "33") {
      inches += number(5);
      seconds += number(4);
    }
    if (i == 0) continue;
    const Record& before = records[i - 1];
    const std::int64_t step = std::stoll(r[3]) - std::stoll(before[3]);
    EXPECT_GE(step, std::stoi(r[4]));
    gaps += r[8] == before[8] && step > 6 ? 1 : 0;
    repeats += r[0] == before[0] && r[1] == before[1] ? 1 : 0;
  }
  // About 4 to 6 mph while harvesting.
  EXPECT_GT(inches / seconds, 65);
  EXPECT_LT(inches / seconds, 95);
  // The combine fills: the first readings of a pass are low.
  int passStarts = 0, rampingStarts = 0;
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (records[i][8] != "33" || records[i - 1][8] != "1") continue;
    ++passStarts;
    if (std::stod(records[i][2]) < 0.25 * flowSum / static_cast<double>(records.size())) {
      ++rampingStarts;
    }
  }
  EXPECT_GT(headerUp, 100);
  EXPECT_GT(gaps, 3);
  EXPECT_GT(zeroDistances, 5);
  EXPECT_GT(repeats, 5);
  EXPECT_GT(passStarts, 10);
  EXPECT_GT(rampingStarts, passStarts * 3 / 4);
  EXPECT_GT(narrowSwaths, 0);
  // Several loads, the first with trailing blanks, not all of them padded.
  EXPECT_GT(loads.size(), 2u);
  EXPECT_TRUE(loads.count("Load 1   "));
  int padded = 0;
  for (const std::string& load : loads) padded += load.back() == ' ' ? 1 : 0;
  EXPECT_LT(padded, static_cast<int>(loads.size()));
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

TEST(FieldSim, LogsEachFlowExactlyTheDelayLateWhenAsked) {
  // The combine starts in the crop: the first flow arrives after the delay.
  for (const std::int32_t delay : {0, 3, 12}) {
    FieldSimOptions options = Options(4, 40);
    options.FlowDelay = delay;
    const std::vector<Record> records = Records(SimulateField(options));
    for (std::int32_t k = 0; k <= delay; ++k) {
      EXPECT_EQ(std::stod(records[static_cast<std::size_t>(k)][2]) > 0, k == delay)
          << "delay " << delay << ", record " << k;
    }
  }
}

TEST(FieldSim, HeadingTurnsTheFieldAboutItsCorner) {
  // Passes that run east and west: the field lies east of the corner and
  // spans far more longitude than latitude.
  FieldSimOptions options = Options(2, 600);
  options.PassLength = 150;
  options.Heading = 90;
  double north = 0;
  double east = 0;
  for (const Record& r : Records(SimulateField(options))) {
    east = std::max(east, (std::stod(r[0]) - options.Longitude) * 84000);
    north = std::max(north, std::abs(std::stod(r[1]) - options.Latitude) * 111000);
  }
  EXPECT_GT(east, 140);
  EXPECT_LT(north, 100);
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

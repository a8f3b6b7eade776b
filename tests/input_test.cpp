#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "input/advanced_export.h"
#include "input/blocks.h"
#include "input/segments.h"
#include "input/utm.h"
#include "input/yield.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

const std::string kGoodLine =
    "-96.700001,40.800001,20.5,1000,1,60,360,18.2,33,1,\"SN123\",\"F1: North\",\"L1: "
    "\",\"Corn\",4,2,"
    "350.5";

std::string MalformedPath(const std::string& name) {
  return std::string(TARVIK_TEST_DATA_DIR) + "/malformed/" + name;
}

/// A table holding an earlier successful read, to see that refusals leave it alone.
struct Loaded {
  Loaded() {
    const ReadResult read =
        ParseAdvancedExport(kGoodLine + "\n" + kGoodLine + "\n", "old", table, count);
    EXPECT_TRUE(read.ok);
  }
  PointTable table;
  std::int32_t count = 0;
};

std::string TempFile(const std::string& name, const std::string& contents) {
  const fs::path path = fs::path(::testing::TempDir()) / name;
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

std::string Records(std::int32_t n) {
  std::string text;
  text.reserve(static_cast<std::size_t>(n) * (kGoodLine.size() + 1));
  for (std::int32_t i = 0; i < n; ++i) text += kGoodLine + "\n";
  return text;
}

TEST(ReadAdvancedExport, RefusesEachMalformedFileWithItsReason) {
  const struct {
    const char* file;
    const char* reason;  // after "<path>"
  } cases[] = {
      {"too_few_items.txt", ":3: 16 items, expected 17"},
      {"too_many_items.txt", ":2: 18 items, expected 17"},
      {"text_in_number.txt", ":2: item 5 (GPSInterval): \"abc\" is not a whole number"},
      {"latitude_above_90.txt", ":2: item 2 (Latitude): 90.5 is above 90"},
      {"longitude_below_180.txt", ":1: item 1 (Longitude): -180.0001 is below -180"},
      {"na_in_number.txt", ":2: item 8 (Moisture): \"NA\" is not a number"},
      {"empty_number.txt", ":2: item 8 (Moisture): empty, expected a number"},
      {"distance_beyond_16_bits.txt", ":2: item 6 (Distance): 40000 is outside -32768 to 32767"},
      {"flow_beyond_single.txt",
       ":2: item 3 (GrainFlow): 1e39 is beyond the single-precision range"},
      {"text_after_quote.txt", ":2: item 11 (SerialNo): text follows the closing quote"},
      {"quote_not_closed.txt", ":2: item 17 (Elevation): the closing quote is missing"},
      {"heading_line.txt", ":1: item 1 (Longitude): \"Longitude\" is not a number"},
      {"bad_last_record.txt", ":5: item 17 (Elevation): \"inf\" is not a number"},
      {"empty.txt", ": the file holds no records"},
      {"blank_lines_only.txt", ": the file holds no records"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Loaded loaded;
    const PointTable before = loaded.table;
    const std::string path = MalformedPath(c.file);
    const ReadResult read = ReadAdvancedExport(path, loaded.table, loaded.count);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.reason, path + c.reason);
    EXPECT_EQ(loaded.count, 0);
    EXPECT_TRUE(loaded.table.records == before.records);
  }
}

TEST(ReadAdvancedExport, RefusesMissingFileAndFolder) {
  Loaded loaded;
  const PointTable before = loaded.table;
  const std::string missing = MalformedPath("no_such_file.txt");
  ReadResult read = ReadAdvancedExport(missing, loaded.table, loaded.count);
  EXPECT_EQ(read.reason, missing + ": the file does not exist");
  EXPECT_EQ(loaded.count, 0);

  loaded.count = 2;
  const std::string folder = MalformedPath("");
  read = ReadAdvancedExport(folder, loaded.table, loaded.count);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.reason, folder + ": is a folder, not a file");
  EXPECT_EQ(loaded.count, 0);
  EXPECT_TRUE(loaded.table.records == before.records);

  // A huge file picked by mistake is refused without being loaded.
  const auto huge = std::filesystem::temp_directory_path() / "tarvik-input-huge.txt";
  { std::ofstream(huge, std::ios::binary) << "x"; }
  std::filesystem::resize_file(huge, (256U << 20U) + 1);  // sparse: no disk used
  read = ReadAdvancedExport(huge.string(), loaded.table, loaded.count);
  EXPECT_EQ(read.reason,
            huge.string() + ": is larger than 256 MiB; an export of 62,000 records is far smaller");
  EXPECT_EQ(loaded.count, 0);
  std::filesystem::remove(huge);
}

TEST(ReadAdvancedExport, ReadsAFullTableAndRefusesOneRecordMore) {
  PointTable table;
  std::int32_t count = 0;
  const std::string full = TempFile("full_62000.txt", Records(kMaxPoints));
  ReadResult read = ReadAdvancedExport(full, table, count);
  ASSERT_TRUE(read.ok) << read.reason;
  EXPECT_EQ(count, kMaxPoints);
  EXPECT_EQ(table[kMaxPoints].GPSTime, 1000);
  EXPECT_EQ(table[0], YieldPoint{});
  ASSERT_EQ(table.records.size(), static_cast<std::size_t>(kMaxPoints) + 1);

  const PointTable before = table;
  const std::string over = TempFile("over_62001.txt", Records(kMaxPoints + 1));
  read = ReadAdvancedExport(over, table, count);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.reason, over + ":62001: more than 62000 records");
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(table.records == before.records);
  fs::remove(full);
  fs::remove(over);
}

TEST(ParseAdvancedExport, StoresEveryItemAndLeavesOtherPositionsBlank) {
  PointTable table;
  table[3].Yield = 7;  // left over from an earlier run
  std::int32_t count = -1;
  const ReadResult read = ParseAdvancedExport(
      kGoodLine + "\n-95,-95,0,7,2.5,3.5,24.00,0,1,2,,  F2 , \"L2  \",\"Soy, late\",-1.5,0,-3\n",
      "field.txt", table, count);
  ASSERT_TRUE(read.ok) << read.reason;
  ASSERT_EQ(count, 2);

  const YieldPoint& p = table[1];
  EXPECT_EQ(p.Longitude, static_cast<float>(-96.700001));
  EXPECT_EQ(p.Latitude, static_cast<float>(40.800001));
  EXPECT_EQ(p.GrainFlow, 20.5f);
  EXPECT_EQ(p.GPSTime, 1000);
  EXPECT_EQ(p.GPSInterval, 1);
  EXPECT_EQ(p.Distance, 60);
  EXPECT_EQ(p.Swath, 360);
  EXPECT_EQ(p.Moisture, 18.2f);
  EXPECT_EQ(p.HeaderStatus, 33);
  EXPECT_EQ(p.PassNo, 1);
  EXPECT_EQ(p.SerialNo, "SN123");
  EXPECT_EQ(p.FieldID, "F1: North");
  EXPECT_EQ(p.LoadNo, "L1: ");
  EXPECT_EQ(p.GrainType, "Corn");
  EXPECT_EQ(p.GPSStatus, 4);
  EXPECT_EQ(p.PDOP, 2);
  EXPECT_EQ(p.Elevation, 350.5f);
  EXPECT_EQ(p.ID, 0);  // derived fields wait for their stages

  // Fractions round half to even; a latitude south of -90 is kept; texts as written.
  const YieldPoint& q = table[2];
  EXPECT_EQ(q.Latitude, -95.0f);
  EXPECT_EQ(q.GPSInterval, 2);
  EXPECT_EQ(q.Distance, 4);
  EXPECT_EQ(q.Swath, 24);
  EXPECT_EQ(q.GPSStatus, -2);
  EXPECT_EQ(q.SerialNo, "");
  EXPECT_EQ(q.FieldID, "F2");
  EXPECT_EQ(q.LoadNo, "L2  ");
  EXPECT_EQ(q.GrainType, "Soy, late");

  EXPECT_EQ(table[0], YieldPoint{});
  EXPECT_EQ(table[3], YieldPoint{});
  EXPECT_EQ(table[kMaxPoints], YieldPoint{});
}

TEST(ParseAdvancedExport, AcceptsTheFormsRealExportsTake) {
  const std::string quoted =
      "\"-96.7\", \"40.8\" ,\"20.5\",\"1000\",\"1\",\"60\",\"360\",\"18.2\",\"33\",\"1\","
      "\"SN\",\"F\",\"L\",\"G\",\"4\",\"2\",\"350.5\"";
  const struct {
    const char* name;
    std::string text;
    std::int32_t records;
  } cases[] = {
      {"quoted numbers", quoted, 1},
      {"CR LF", kGoodLine + "\r\n" + kGoodLine + "\r\n", 2},
      {"byte-order mark", "\xEF\xBB\xBF" + kGoodLine + "\n", 1},
      {"blank lines", "\n  \r\n" + kGoodLine + "\n\n" + kGoodLine + "\n\n \n", 2},
      {"no final line end", kGoodLine, 1},
      {"longitude limits", "-180" + kGoodLine.substr(10) + "\n180" + kGoodLine.substr(10), 2},
      {"latitude 90", "-96.7,90" + kGoodLine.substr(20), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PointTable table;
    std::int32_t count = 0;
    const ReadResult read = ParseAdvancedExport(c.text, "field.txt", table, count);
    EXPECT_TRUE(read.ok) << read.reason;
    EXPECT_EQ(count, c.records);
    EXPECT_EQ(table[count].GrainFlow, 20.5f);
  }

  PointTable table;
  std::int32_t count = 0;
  ASSERT_TRUE(ParseAdvancedExport("1,40.123456789" + kGoodLine.substr(20), "f", table, count).ok);
  EXPECT_EQ(table[1].Latitude, static_cast<float>(40.123456789));
  EXPECT_NEAR(table[1].Latitude, 40.12346, 1e-5);
}

TEST(ParseAdvancedExport, CountsLinesIncludingBlankOnes) {
  PointTable table;
  std::int32_t count = 0;
  const ReadResult read = ParseAdvancedExport(
      kGoodLine + "\r\n\r\n" + "-96.7,40.8,x" + kGoodLine.substr(25), "field.txt", table, count);
  EXPECT_EQ(read.reason, "field.txt:3: item 3 (GrainFlow): \"x\" is not a number");
  EXPECT_EQ(count, 0);
}

/// The yield worked out step by step, each step rounded to single precision.
float ExpectedYield(double swath, double distance, std::int16_t interval, float flow,
                    float moisture, float target, float testWeight) {
  const double area = static_cast<float>(((swath / 12) * distance / 12) / 43560);
  const float wet = static_cast<float>((static_cast<double>(static_cast<float>(interval)) * flow) /
                                       (area * testWeight));
  return static_cast<float>(((100 - static_cast<double>(moisture)) * wet) / (100 - target));
}

YieldPoint YieldInput(std::int16_t swath, std::int16_t distance, float flow, float moisture) {
  YieldPoint p;
  p.Swath = swath;
  p.Distance = distance;
  p.GPSInterval = 1;
  p.GrainFlow = flow;
  p.Moisture = moisture;
  return p;
}

TEST(ComputeYield, WorkedExampleAndSpecialPoints) {
  PointTable table;
  table[1] = YieldInput(360, 60, 20, 20);
  table[2] = YieldInput(360, 0, 20, 20);
  table[3] = YieldInput(0, 60, 20, 20);
  table[4] = YieldInput(360, 60, 20, 15.5f);
  table[5] = YieldInput(360, 60, 20, 100);
  table[6] = YieldInput(360, 60, 0, 20);
  table[7] = YieldInput(360, 60, 20, 20);  // beyond the count
  ComputeYield(6, table, 15.5f, 56.0f);

  EXPECT_NEAR(table[1].Yield, 98.191, 0.001);
  EXPECT_EQ(table[1].Yield, ExpectedYield(360, 60, 1, 20, 20, 15.5f, 56));
  EXPECT_EQ(table[1].Yield, 0x1.88c3ap+6f);
  EXPECT_EQ(table[2].Yield, 0);
  EXPECT_EQ(table[3].Yield, 0);
  EXPECT_NEAR(table[4].Yield, 103.714, 0.001);  // at the target moisture: the wet yield
  EXPECT_EQ(table[4].Yield, ExpectedYield(360, 60, 1, 20, 15.5f, 15.5f, 56));
  EXPECT_EQ(table[5].Yield, 0);
  EXPECT_EQ(table[6].Yield, 0);
  EXPECT_EQ(table[7].Yield, 0);
}

TEST(ComputeYield, StopsOnDivisionByZeroAndOverflow) {
  PointTable table;
  table[1] = YieldInput(0, 60, 20, 20);
  table[2] = YieldInput(360, 60, 20, 20);
  try {
    ComputeYield(2, table, 15.5f, 0.0f);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(),
                 "Point 2: the test weight is 0, so the yield is a division by zero.");
  }
  EXPECT_THROW(ComputeYield(2, table, 100.0f, 56.0f), RunError);

  table[2] = YieldInput(1, 1, 3e38f, 20);
  try {
    ComputeYield(2, table, 15.5f, 56.0f);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_NE(std::string(error.what()).find("Point 2:"), std::string::npos) << error.what();
  }
}

void SetTimes(PointTable& table, const std::vector<std::int32_t>& times,
              const std::vector<std::int16_t>& status) {
  for (std::size_t i = 0; i < times.size(); ++i) {
    table[static_cast<std::int32_t>(i + 1)].GPSTime = times[i];
    table[static_cast<std::int32_t>(i + 1)].HeaderStatus = status[i];
  }
}

TEST(NumberSegments, SplitsAtStatusChangesAndTimeGaps) {
  const struct {
    const char* name;
    std::vector<std::int32_t> times;
    std::vector<std::int16_t> status;
    std::vector<std::int16_t> segments;
    std::vector<std::int16_t> points;
  } cases[] = {
      {"gap of 7", {100, 101, 107, 114}, {33, 33, 33, 33}, {1, 1, 1, 2}, {1, 2, 3, 1}},
      {"step of 6", {100, 106}, {33, 33}, {1, 1}, {1, 2}},
      {"status", {1, 2, 3, 4, 5}, {33, 33, 1, 1, 33}, {1, 1, 2, 2, 3}, {1, 2, 1, 2, 1}},
      {"status first", {1, 100}, {33, 1}, {1, 2}, {1, 1}},
      {"backwards", {200, 190, 191}, {33, 33, 33}, {1, 2, 2}, {1, 1, 2}},
      {"single point", {5}, {1}, {1}, {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PointTable table;
    SetTimes(table, c.times, c.status);
    const auto count = static_cast<std::int32_t>(c.times.size());
    NumberSegments(count, table);
    for (std::int32_t i = 1; i <= count; ++i) {
      EXPECT_EQ(table[i].ID, i);
      EXPECT_EQ(table[i].Segment, c.segments[static_cast<std::size_t>(i - 1)]) << i;
      EXPECT_EQ(table[i].PointInSegment, c.points[static_cast<std::size_t>(i - 1)]) << i;
    }
    EXPECT_EQ(table[count + 1].ID, 0);
  }
}

TEST(NumberSegments, StopsWhenACounterOrTimeStepOverflows) {
  PointTable table;
  for (std::int32_t i = 1; i <= 32768; ++i) table[i].HeaderStatus = (i % 2) ? 33 : 1;
  EXPECT_NO_THROW(NumberSegments(32767, table));
  EXPECT_EQ(table[32767].Segment, 32767);
  try {
    NumberSegments(32768, table);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "Point 32768: more than 32767 segments.");
  }

  for (std::int32_t i = 1; i <= 32768; ++i) {
    table[i].HeaderStatus = 33;
    table[i].GPSTime = i;
  }
  try {
    NumberSegments(32768, table);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "Point 32768: segment 1 has more than 32767 points.");
  }

  table[1].GPSTime = -2000000000;
  table[2].GPSTime = 2000000000;
  EXPECT_THROW(NumberSegments(2, table), RunError);
}

TEST(LatLongToUTM, MatchesTheReferencePoints) {
  const struct {
    float latitude, longitude;
    std::int32_t easting, northing;
  } cases[] = {
      {0, -99, 500000, 0},
      {40, -99, 500000, 4427757},
      {40.8f, -96.7f, 694025, 4519101},
      {41, -101.5f, 289737, 4541768},
      {45.5f, -93.2f, 953123, 5054883},
  };
  for (const auto& c : cases) {
    UTMPoint point{c.latitude, c.longitude};
    const UTMPoint result = LatLongToUTM(point);
    EXPECT_EQ(point.Easting, c.easting) << c.latitude << ", " << c.longitude;
    EXPECT_EQ(point.Northing, c.northing) << c.latitude << ", " << c.longitude;
    EXPECT_EQ(result.Easting, point.Easting);
    EXPECT_EQ(result.Latitude, c.latitude);
  }

  for (float latitude : {90.0f, -90.0f}) {
    UTMPoint pole{latitude, 180};
    EXPECT_NO_THROW(LatLongToUTM(pole));
  }
  UTMPoint far{-1e6f, -99};
  try {
    LatLongToUTM(far);
    FAIL() << "no RunError";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(),
                 "the northing of latitude -1000000, longitude -99 is beyond the 32-bit range.");
  }
}

std::int16_t BlockOf(std::int32_t easting, std::int32_t northing, const FieldExtent& extent,
                     std::int16_t buffer) {
  PointTable table;
  table[1].Easting = easting;
  table[1].Northing = northing;
  table[1].Block = 99;
  AssignBlocks(1, table, extent, buffer);
  return table[1].Block;
}

TEST(AssignBlocks, NumbersTheGridAndClearsTheBufferBands) {
  const FieldExtent single{599999, 600001, 4499999, 4500001};
  EXPECT_EQ(BlockOf(600000, 4500000, single, 0), 5);
  EXPECT_EQ(BlockOf(600000, 4500000, single, 1), 0);

  const FieldExtent square{0, 300, 0, 300};
  EXPECT_EQ(BlockOf(50, 50, square, 5), 1);
  EXPECT_EQ(BlockOf(150, 50, square, 5), 2);
  EXPECT_EQ(BlockOf(250, 250, square, 5), 9);
  EXPECT_EQ(BlockOf(50, 250, square, 5), 7);
  EXPECT_EQ(BlockOf(98, 50, square, 5), 0);
  EXPECT_EQ(BlockOf(94, 50, square, 5), 1);
  EXPECT_EQ(BlockOf(95, 50, square, 5), 1);  // exactly the half-width away
  EXPECT_EQ(BlockOf(50, 203, square, 5), 0);
  EXPECT_EQ(BlockOf(100, 50, square, 0), 2);
  EXPECT_EQ(BlockOf(100, 50, square, -3), 2);
  EXPECT_EQ(BlockOf(299, 299, square, 5), 9);  // the largest coordinates
  EXPECT_EQ(BlockOf(1, 1, square, 5), 1);

  PointTable table;
  EXPECT_THROW(AssignBlocks(1, table, FieldExtent{5, 5, 0, 10}, 1), RunError);
}

}  // namespace
}  // namespace tarvik

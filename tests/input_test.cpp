// Reading the export and the derived fields: yield, segments, UTM coordinates and blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "input/advanced_export.h"
#include "input/blocks.h"
#include "input/segments.h"
#include "input/utm.h"
#include "input/yield.h"
#include "support/errors.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ErrorText;

const std::string kGoodLine =
    "-96.700001,40.800001,20.5,1000,1,60,360,18.2,33,1,\"SN123\",\"F1: North\",\"L1: \",\"Corn\","
    "4,2,350.5";

std::string MalformedPath(const std::string& name) {
  return std::string(TARVIK_TEST_DATA_DIR) + "/malformed/" + name;
}

/// A table holding an earlier successful read, to see that a refusal blanks it.
struct Loaded {
  Loaded() {
    EXPECT_TRUE(ParseAdvancedExport(kGoodLine + "\n" + kGoodLine, "old", table, count).ok());
  }
  PointTable table;
  std::int32_t count = 0;
};

std::string TempFile(const std::string& name, std::int32_t records) {
  const fs::path path = fs::path(::testing::TempDir()) / name;
  std::ofstream file(path, std::ios::binary);
  for (std::int32_t i = 0; i < records; ++i) file << kGoodLine << '\n';
  return path.string();
}

TEST(ReadAdvancedExport, RefusesEachMalformedFileWithItsReason) {
  const std::pair<const char*, const char*> cases[] = {
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
      {"quote_beyond_last_item.txt", ":1: item 18: the closing quote is missing"},
      {"heading_line.txt", ":1: item 1 (Longitude): \"Longitude\" is not a number"},
      {"bad_last_record.txt", ":5: item 17 (Elevation): \"inf\" is not a number"},
      {"empty.txt", ": the file holds no records"},
      {"blank_lines_only.txt", ": the file holds no records"},
      {"no_such_file.txt", ": the file does not exist"},
      {"", ": is a folder, not a file"},
  };
  for (const auto& [file, reason] : cases) {
    SCOPED_TRACE(file);
    Loaded loaded;
    const std::string path = MalformedPath(file);
    const ReadResult read = ReadAdvancedExport(path, loaded.table, loaded.count);
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.reason(), path + reason);
    EXPECT_EQ(loaded.count, 0);
    EXPECT_TRUE(loaded.table.records == PointTable().records);
  }
}

TEST(ReadAdvancedExport, ReadsAFullTableAndRefusesOneRecordMoreOrAHugeFile) {
  PointTable table;
  std::int32_t count = 0;
  const std::string full = TempFile("full_62000.txt", kMaxPoints);
  ReadResult read = ReadAdvancedExport(full, table, count);
  ASSERT_TRUE(read.ok()) << read.reason();
  EXPECT_EQ(count, kMaxPoints);
  EXPECT_EQ(table[kMaxPoints].GPSTime, 1000);
  EXPECT_EQ(table[0], YieldPoint{});

  const std::string over = TempFile("over_62001.txt", kMaxPoints + 1);
  read = ReadAdvancedExport(over, table, count);
  EXPECT_FALSE(read.ok());
  EXPECT_EQ(read.reason(), over + ":62001: more than 62000 records");
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(table.records == PointTable().records);
  fs::remove(full);

  // A huge file picked by mistake is refused without being loaded.
  fs::resize_file(over, (256U << 20U) + 1);  // sparse: no disk used
  count = 5;
  EXPECT_EQ(ReadAdvancedExport(over, table, count).reason(),
            over + ": is larger than 256 MiB; an export of 62,000 records is far smaller");
  EXPECT_EQ(count, 0);
  fs::remove(over);
}

TEST(ParseAdvancedExport, StoresEveryItemAndLeavesOtherPositionsBlank) {
  PointTable table;
  table[3].Yield = 7;  // left over from an earlier run
  std::int32_t count = -1;
  const ReadResult read = ParseAdvancedExport(
      kGoodLine + "\n-95,-95,0,7,2.5,3.5,24.00,0,1,2,,  F2 , \"L2  \",\"Soy, late\",-1.5,0,-3\n",
      "field.txt", table, count);
  ASSERT_TRUE(read.ok()) << read.reason();
  ASSERT_EQ(count, 2);
  // Every item in its field, derived fields waiting for their stages. In the second row fractions
  // round half to even, a latitude south of -90 is kept and texts stay as written.
  // clang-format off
  EXPECT_EQ(table[1], (YieldPoint{
      .Latitude = static_cast<float>(40.800001), .Longitude = static_cast<float>(-96.700001),
      .GrainFlow = 20.5F, .GPSTime = 1000, .GPSInterval = 1, .Distance = 60, .Swath = 360,
      .Moisture = 18.2F, .HeaderStatus = 33, .PassNo = 1, .SerialNo = "SN123",
      .FieldID = "F1: North", .LoadNo = "L1: ", .GrainType = "Corn", .GPSStatus = 4, .PDOP = 2,
      .Elevation = 350.5F}));
  EXPECT_EQ(table[2], (YieldPoint{
      .Latitude = -95, .Longitude = -95, .GPSTime = 7, .GPSInterval = 2, .Distance = 4,
      .Swath = 24, .HeaderStatus = 1, .PassNo = 2, .SerialNo = "", .FieldID = "F2",
      .LoadNo = "L2  ", .GrainType = "Soy, late", .GPSStatus = -2, .Elevation = -3}));
  // clang-format on
  EXPECT_EQ(table[0], YieldPoint{});
  EXPECT_EQ(table[3], YieldPoint{});
}

TEST(ParseAdvancedExport, ReadsALargeFileAsOneReadWouldWhateverTheBlankLines) {
  // A file of megabytes is read in two halves at once; records keep their
  // order across blank lines, and the first refusal in the file wins.
  const auto line = [](int time) {
    return "-96.700001,40.800001,20.5," + std::to_string(time) +
           ",1,60,360,18.2,33,1,\"SN123\",\"F1: North\",\"L1: \",\"Corn\",4,2,350.5";
  };
  const auto field = [&](const std::vector<int>& blankAfter, int badAt) {
    std::string text;
    int lineNumber = 0;
    for (int k = 1; k <= 20000; ++k) {
      text += (++lineNumber == badAt) ? "-96.7,40.8,x" + line(k).substr(25) : line(k);
      text += "\r\n";
      if (std::find(blankAfter.begin(), blankAfter.end(), k) != blankAfter.end()) {
        text += "  \r\n\n";
        lineNumber += 2;
      }
    }
    return text;
  };
  PointTable table;
  std::int32_t count = 0;
  for (const std::vector<int>& blanks :
       {std::vector<int>{}, std::vector<int>{1, 5000, 9999}, std::vector<int>{12000, 19999}}) {
    const std::string text = field(blanks, 0);
    ASSERT_GT(text.size(), 1'500'000U);  // well past the size read in halves
    ASSERT_TRUE(ParseAdvancedExport(text, "big.txt", table, count).ok());
    ASSERT_EQ(count, 20000);
    for (std::int32_t k = 1; k <= count; ++k) ASSERT_EQ(table[k].GPSTime, k);
    EXPECT_EQ(table[count + 1], YieldPoint{});
  }
  EXPECT_EQ(ParseAdvancedExport(field({10}, 15003), "big.txt", table, count).reason(),
            "big.txt:15003: item 3 (GrainFlow): \"x\" is not a number");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(table[1], YieldPoint{});
  PointTable bothHalves;
  EXPECT_EQ(ParseAdvancedExport(field({}, 3000) + "1,2\n", "big.txt", bothHalves, count).reason(),
            "big.txt:3000: item 3 (GrainFlow): \"x\" is not a number");
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
    EXPECT_TRUE(read.ok()) << read.reason();
    EXPECT_EQ(count, c.records);
    EXPECT_EQ(table[count].GrainFlow, 20.5f);
  }

  // Line numbers count blank lines too.
  PointTable table;
  std::int32_t count = 0;
  EXPECT_EQ(ParseAdvancedExport(kGoodLine + "\r\n\r\n" + "-96.7,40.8,x" + kGoodLine.substr(25),
                                "field.txt", table, count)
                .reason(),
            "field.txt:3: item 3 (GrainFlow): \"x\" is not a number");
  EXPECT_EQ(count, 0);
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
  EXPECT_EQ(table[1].Yield, 0x1.88c3ap+6f);   // each step rounded to single precision
  EXPECT_EQ(table[4].Yield, 0x1.9edb6ep+6f);  // 103.714: at the target moisture, the wet yield
  for (std::int32_t i : {2, 3, 5, 6, 7}) EXPECT_EQ(table[i].Yield, 0) << i;
}

TEST(ComputeYield, TheGrainOfTheWholeIntervalIsTaken) {
  // Twice the distance in two seconds: twice the grain over twice the area. The same distance
  // in two seconds: twice the grain over the same area. Doubling is exact in binary.
  PointTable table;
  table[1] = YieldInput(360, 60, 20, 20);
  table[2] = YieldInput(360, 120, 20, 20);
  table[2].GPSInterval = 2;
  table[3] = YieldInput(360, 60, 20, 20);
  table[3].GPSInterval = 2;
  table[4] = YieldInput(360, 60, 20, 20);
  table[4].GPSInterval = 0;
  ComputeYield(4, table, 15.5f, 56.0f);
  EXPECT_EQ(table[2].Yield, table[1].Yield);
  EXPECT_EQ(table[3].Yield, 2 * table[1].Yield);
  EXPECT_EQ(table[4].Yield, 0);
}

TEST(ComputeYield, StopsOnDivisionByZeroAndOverflow) {
  PointTable table;
  table[1] = YieldInput(0, 60, 20, 20);
  table[2] = YieldInput(360, 60, 20, 20);
  EXPECT_EQ(ErrorText<RunError>([&] { ComputeYield(2, table, 15.5f, 0.0f); }),
            "Point 2: the test weight is 0, so the yield is a division by zero.");
  EXPECT_THROW(ComputeYield(2, table, 100.0f, 56.0f), RunError);
  table[2] = YieldInput(1, 1, 3e38f, 20);
  EXPECT_EQ(ErrorText<RunError>([&] { ComputeYield(2, table, 15.5f, 56.0f); }).rfind("Point 2:", 0),
            0U);
}

TEST(NumberSegments, SplitsAtStatusChangesAndTimeGaps) {
  const struct {
    const char* name;
    std::vector<std::int32_t> times;
    std::vector<std::int16_t> status, segments, points;
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
    const auto count = static_cast<std::int32_t>(c.times.size());
    for (std::int32_t i = 1; i <= count; ++i) {
      table[i].GPSTime = c.times[static_cast<std::size_t>(i - 1)];
      table[i].HeaderStatus = c.status[static_cast<std::size_t>(i - 1)];
    }
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
  EXPECT_EQ(ErrorText<RunError>([&] { NumberSegments(32768, table); }),
            "Point 32768: more than 32767 segments.");

  for (std::int32_t i = 1; i <= 32768; ++i) {
    table[i].HeaderStatus = 33;
    table[i].GPSTime = i;
  }
  EXPECT_EQ(ErrorText<RunError>([&] { NumberSegments(32768, table); }),
            "Point 32768: segment 1 has more than 32767 points.");

  table[1].GPSTime = -2000000000;
  table[2].GPSTime = 2000000000;
  EXPECT_THROW(NumberSegments(2, table), RunError);
}

TEST(LatLongToUTM, MatchesTheReferencePoints) {
  const struct {
    float latitude, longitude;
    std::int32_t easting, northing;
  } cases[] = {{0, -99, 500000, 0},
               {40, -99, 500000, 4427757},
               {40.8f, -96.7f, 694025, 4519101},
               {41, -101.5f, 289737, 4541768},
               {45.5f, -93.2f, 953123, 5054883}};
  for (const auto& c : cases) {
    UTMPoint point{c.latitude, c.longitude};
    const UTMPoint result = LatLongToUTM(point);
    EXPECT_EQ(point.Easting, c.easting) << c.latitude << ", " << c.longitude;
    EXPECT_EQ(point.Northing, c.northing) << c.latitude << ", " << c.longitude;
    EXPECT_EQ(result.Northing, c.northing);
  }
  for (float latitude : {90.0f, -90.0f}) {
    UTMPoint pole{latitude, 180};
    EXPECT_NO_THROW(LatLongToUTM(pole));
  }
  UTMPoint far{-1e6f, -99};
  EXPECT_EQ(ErrorText<RunError>([&] { LatLongToUTM(far); }),
            "the northing of latitude -1000000, longitude -99 is beyond the 32-bit range.");
}

TEST(LatLongToUTM, AFieldsConverterGivesTheSameMetresAndErrors) {
  // Latitudes and longitudes met again, values that share a slot of the
  // converter's memory, -0 beside 0, and a point beyond the range between.
  std::mt19937 random(5);
  std::uniform_real_distribution<float> latitude(40.79f, 40.81f);
  std::uniform_real_distribution<float> longitude(-96.71f, -96.69f);
  std::vector<UTMPoint> points;
  for (int k = 0; k < 20000; ++k) points.push_back({latitude(random), longitude(random)});
  for (int k = 0; k < 2000; ++k) points.push_back(points[static_cast<std::size_t>(k) * 7]);
  for (std::uint32_t bits = 0; bits < 64; ++bits) {
    points.push_back({std::bit_cast<float>(0x42233333U + (bits << 12)), -96.7f});
  }
  points.push_back({0.0f, -0.0f});
  points.push_back({-0.0f, 0.0f});
  points.push_back({-1e6f, -99});
  points.push_back({40.8f, -96.7f});
  UTMConverter converter;
  for (const UTMPoint& given : points) {
    UTMPoint alone = given;
    UTMPoint kept = given;
    std::string aloneError;
    std::string keptError;
    try {
      LatLongToUTM(alone);
    } catch (const RunError& error) {
      aloneError = error.what();
    }
    try {
      converter.Convert(kept);
    } catch (const RunError& error) {
      keptError = error.what();
    }
    ASSERT_EQ(keptError, aloneError) << given.Latitude << ", " << given.Longitude;
    ASSERT_EQ(kept.Easting, alone.Easting) << given.Latitude << ", " << given.Longitude;
    ASSERT_EQ(kept.Northing, alone.Northing) << given.Latitude << ", " << given.Longitude;
  }
}

TEST(AssignBlocks, NumbersTheGridAndClearsTheBufferBands) {
  const FieldExtent single{599999, 600001, 4499999, 4500001};
  const FieldExtent square{0, 300, 0, 300};
  // 95 lies exactly the half-width from the grid line; 299 is the largest coordinate.
  const struct {
    std::int32_t easting, northing;
    const FieldExtent& extent;
    std::int16_t buffer, block;
  } cases[] = {{600000, 4500000, single, 0, 5}, {600000, 4500000, single, 1, 0},
               {50, 50, square, 5, 1},          {150, 50, square, 5, 2},
               {250, 250, square, 5, 9},        {50, 250, square, 5, 7},
               {98, 50, square, 5, 0},          {94, 50, square, 5, 1},
               {95, 50, square, 5, 1},          {50, 203, square, 5, 0},
               {100, 50, square, 0, 2},         {100, 50, square, -3, 2},
               {299, 299, square, 5, 9},        {1, 1, square, 5, 1}};
  for (const auto& c : cases) {
    PointTable table;
    table[1].Easting = c.easting;
    table[1].Northing = c.northing;
    table[1].Block = 99;
    AssignBlocks(1, table, c.extent, c.buffer);
    EXPECT_EQ(table[1].Block, c.block) << c.easting << ", " << c.northing << " buffer " << c.buffer;
  }
  PointTable table;
  EXPECT_THROW(AssignBlocks(1, table, FieldExtent{5, 5, 0, 10}, 1), RunError);
}

}  // namespace
}  // namespace tarvik

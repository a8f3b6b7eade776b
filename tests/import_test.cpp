// Importing the layouts of other yield exports, and writing a table back as a
// 17-item file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "core/errors.h"
#include "input/advanced_export.h"
#include "input/yield_import.h"
#include "output/export_writer.h"

namespace tarvik {
namespace {

constexpr const char* k17 =
    "-96.700001,40.800001,20.5,1000,1,60,360,18.2,33,1,\"SN123\",\"F1: North\",\"L1: \",\"Corn\","
    "4,2,350.5\n"
    "-96.700002,40.800002,21.5,1001,1,61,360,18.3,1,1,SN123,F1: North,\"L1: \",Corn,4,2,351\n";

/// Imports `text` as "f.txt"; `result` keeps what the import said.
struct Imported {
  explicit Imported(const std::string& text, std::optional<HeaderCodes> codes = std::nullopt) {
    result = ParseYieldExport(text, "f.txt", table, count, codes);
  }
  ImportResult result;
  PointTable table;
  std::int32_t count = -1;
};

/// A refusal: the reason, and a count of 0.
std::string Refusal(const std::string& text, std::optional<HeaderCodes> codes = std::nullopt) {
  Imported imported(text, codes);
  EXPECT_FALSE(imported.result.ok);
  EXPECT_EQ(imported.count, 0);
  return imported.result.reason;
}

TEST(ImportLayouts, SeventeenItemsReadExactlyAsTheStrictReaderReadsThem) {
  Imported imported(k17);
  ASSERT_TRUE(imported.result.ok) << imported.result.reason;
  EXPECT_EQ(imported.result.layout, "17 items (Advanced Export); header codes as written");
  PointTable strict;
  std::int32_t count = 0;
  ASSERT_TRUE(ParseAdvancedExport(k17, "f.txt", strict, count).ok());
  EXPECT_EQ(imported.count, count);
  EXPECT_TRUE(imported.table.records == strict.records);
  EXPECT_EQ(imported.table[2].HeaderStatus, 1);  // kept: 33 and 1 as written

  // A bad record is refused with the strict reader's reason and the layout.
  Imported bad(std::string(k17) + "-96.7,40.8,5,1002,abc,60,360,15,33,1,a,b,c,d,4,2,1\n");
  EXPECT_FALSE(bad.result.ok);
  EXPECT_EQ(bad.result.reason, "f.txt:3: item 5 (GPSInterval): \"abc\" is not a whole number");
  EXPECT_EQ(bad.result.layout, "17 items (Advanced Export)");
  EXPECT_EQ(Refusal(std::string(k17) + "-96.7,40.8,5,1002,1,60,360,15,33,1,a,b,c,d,4,2\n"),
            "f.txt:3: 16 items, expected 17");
}

TEST(ImportLayouts, SixteenItemsHaveAVarietyAndAnElevation) {
  const std::string text =
      "-93.258294,39.296978,2.92,971213672,1,24.00,288.00,9.67,1,1,213647360,\"F1: C1N\",\"L1: "
      "\",\"Soybeans\",\"F9891RRN\",1381.17\n"
      "-93.258294,39.296981,3.62,971213673,1,24.5,288.00,9.67,0,2,213647360,F1,L1,Soy,NA,1382\n";
  Imported imported(text);
  ASSERT_TRUE(imported.result.ok) << imported.result.reason;
  EXPECT_EQ(imported.result.layout,
            "16 items (variety and elevation, no GPS status or PDOP); header 1 harvesting / 0 up");
  ASSERT_EQ(imported.count, 2);
  const YieldPoint& p = imported.table[1];
  EXPECT_EQ(p.Longitude, static_cast<float>(-93.258294));
  EXPECT_EQ(p.Distance, 24);
  EXPECT_EQ(p.Swath, 288);
  EXPECT_EQ(p.SerialNo, "213647360");
  EXPECT_EQ(p.LoadNo, "L1: ");
  EXPECT_EQ(p.GrainType, "Soybeans");
  EXPECT_EQ(p.Elevation, 1381.17f);
  EXPECT_EQ(p.GPSStatus, 0);
  EXPECT_EQ(p.PDOP, 0);
  EXPECT_EQ(p.HeaderStatus, 33);
  EXPECT_EQ(imported.table[2].HeaderStatus, 1);
  EXPECT_EQ(imported.table[2].Distance, 24);  // 24.5 rounds half to even
  EXPECT_EQ(imported.table[2].PassNo, 2);

  EXPECT_EQ(Refusal(text + "-93.2,39.2,3,971213674,1,24,288,9.67,1,1,2136,F1,L1,Soy,V\n"),
            "f.txt:3: 15 items, expected 16 as on line 1");
  EXPECT_EQ(Refusal(text + "-93.2,39.2,3,971213674,1,24,288,9.67,1,1,2136,F1,L1,Soy,V,high\n"),
            "f.txt:3: item 16 (Elevation): \"high\" is not a number");
}

TEST(ImportLayouts, FifteenItemsHaveAVarietyThatMayBeNA) {
  const std::string text =
      "\n-92.14668415,39.23022954,0,59242,1,0,120,16,32,1,0,F1: C3S,L1:,Corn,NA\r\n"
      "-92.14668427,39.23022945,5.5,59243,1,51,120,16,33,1,0,F1: C3S,L1:,Corn,DK 616\r\n";
  Imported imported(text);
  ASSERT_TRUE(imported.result.ok) << imported.result.reason;
  EXPECT_EQ(imported.result.layout,
            "15 items (variety, no GPS status, PDOP or elevation); header 33 harvesting / 32 up");
  ASSERT_EQ(imported.count, 2);
  EXPECT_EQ(imported.table[1].HeaderStatus, 1);
  EXPECT_EQ(imported.table[2].HeaderStatus, 33);
  EXPECT_EQ(imported.table[2].GrainFlow, 5.5f);
  EXPECT_EQ(imported.table[2].FieldID, "F1: C3S");
  EXPECT_EQ(imported.table[2].Elevation, 0);

  // "NA" in a numeric item, with the line counted from the file's start.
  Imported na(text + "-92.1,39.2,NA,59244,1,51,120,16,33,1,0,F1,L1,Corn,NA\n");
  EXPECT_FALSE(na.result.ok);
  EXPECT_EQ(na.result.reason, "f.txt:4: item 3 (GrainFlow): \"NA\" is not a number");
  EXPECT_EQ(na.result.layout, "15 items (variety, no GPS status, PDOP or elevation)");
  EXPECT_EQ(Refusal(text + "-92.1,39.2,1,59244,NA,51,120,16,33,1,0,F1,L1,Corn,NA\n"),
            "f.txt:4: item 5 (GPSInterval): \"NA\" is not a whole number");
  EXPECT_EQ(Refusal(text + "-92.1,95,1,59244,1,51,120,16,33,1,0,F1,L1,Corn,NA\n"),
            "f.txt:4: item 2 (Latitude): 95 is above 90");
  EXPECT_EQ(Refusal(text + "-92.1,39.2,1,59244,1,40000,120,16,33,1,0,F1,L1,Corn,NA\n"),
            "f.txt:4: item 6 (Distance): 40000 is outside -32768 to 32767");
}

TEST(ImportLayouts, OtherItemCountsAndUnreadableFirstLinesAreRefused) {
  EXPECT_EQ(Refusal("1,2,3\n"),
            "f.txt:1: 3 items; a record has 15, 16 or 17 items, or the first line names the "
            "columns");
  EXPECT_EQ(Refusal("what,is,this\n1,2,3\n"),
            "f.txt:1: the first line is neither a record (its item 1 \"what\" is not a number) "
            "nor a heading that names the columns");
  EXPECT_EQ(Refusal(""), "f.txt: the file holds no records");
  EXPECT_EQ(Refusal(" \r\n\n"), "f.txt: the file holds no records");
}

constexpr const char* kHeadedComma =
    "Serial, Time,LAT,long,Flow,Extra,Cycles,Distance,Swath,Moisture,Header Status,Pass Num,"
    "Load_id,Load_name\n"
    "2000110154,1004549898,43.927265,-93.97842,16.54,x,3,116,360,18.5,1,4,2,45T5\n"
    "\"2000110154\",1004549901,43.927228,-93.978421,22.52,y,3,159,360,16.7,0,4,2,\"45T5\"\n";

TEST(ImportHeaded, CommaColumnsAreFoundByNameInAnyOrder) {
  Imported imported(kHeadedComma);
  ASSERT_TRUE(imported.result.ok) << imported.result.reason;
  EXPECT_EQ(imported.result.layout,
            "heading line, 14 comma-separated columns (not used: Extra, Load_id); header 1 "
            "harvesting / 0 up");
  ASSERT_EQ(imported.count, 2);
  const YieldPoint& p = imported.table[1];
  EXPECT_EQ(p.Longitude, static_cast<float>(-93.97842));
  EXPECT_EQ(p.Latitude, static_cast<float>(43.927265));
  EXPECT_EQ(p.GPSTime, 1004549898);
  EXPECT_EQ(p.GPSInterval, 3);
  EXPECT_EQ(p.Distance, 116);
  EXPECT_EQ(p.Swath, 360);
  EXPECT_EQ(p.Moisture, 18.5f);
  EXPECT_EQ(p.PassNo, 4);
  EXPECT_EQ(p.LoadNo, "45T5");  // Load_name is preferred to Load_id
  EXPECT_EQ(p.SerialNo, "2000110154");
  EXPECT_EQ(p.HeaderStatus, 33);
  EXPECT_EQ(imported.table[2].HeaderStatus, 1);

  // The heading's own name is the item's name in reasons.
  EXPECT_EQ(
      Refusal(std::string(kHeadedComma) + "2,1004549902,43.9,-93.9,NA,z,3,1,360,16,1,4,2,L\n"),
      "f.txt:4: item 5 (Flow): \"NA\" is not a number");
  EXPECT_EQ(Refusal("Longitude,Latitude,Flow,Time,Interval,Distance,Swath\n-93,43,1,1,1,1,1\n"),
            "f.txt:1: no column for the moisture (Moisture)");
  EXPECT_EQ(Refusal("Lon,Lat,Time,Interval,Distance,Swath,Moisture\n-93,43,1,1,1,1,1\n"),
            "f.txt:1: no column for the grain flow (Flow, Grain Flow, Mass Flow (lb/s) or Mass "
            "Flow)");
}

TEST(ImportHeaded, SemicolonFileWithoutHeaderOrPassColumns) {
  const std::string text =
      "\xEF\xBB\xBFMoisture;Grain Type;Mass Flow (lb/s);X;Y;GPS Time;Logging Interval;Distance;"
      "Width;Altitude\r\n"
      "15,5;Corn;10;-96.7;40.8;100;1;60;360;300\r\n";
  const std::string good = "15.5;Corn;10;-96.7;40.8;100;1;60;360;300.5\r\n";
  Imported imported(
      "Moisture;Grain Type;Mass Flow (lb/s);X;Y;GPS Time;Logging Interval;Distance;Width;Altitude"
      "\r\n" +
      good + good);
  ASSERT_TRUE(imported.result.ok) << imported.result.reason;
  EXPECT_EQ(imported.result.layout,
            "heading line, 10 semicolon-separated columns (no pass number: all 1); no header "
            "status: all harvesting");
  EXPECT_EQ(imported.table[2].HeaderStatus, 33);
  EXPECT_EQ(imported.table[2].PassNo, 1);
  EXPECT_EQ(imported.table[2].Elevation, 300.5f);
  EXPECT_EQ(imported.table[2].GrainType, "Corn");

  // A decimal comma is no number; a row of another width is refused.
  EXPECT_EQ(Refusal(text), "f.txt:2: item 1 (Moisture): \"15,5\" is not a number");
  EXPECT_EQ(Refusal("Moisture;Grain Type;Mass Flow (lb/s);X;Y;GPS Time;Logging Interval;"
                    "Distance;Width;Altitude\n" +
                    good + "15.5;Corn;10;-96.7;40.8;100;1;60;360\n"),
            "f.txt:3: 9 items, expected 10 as in the heading");
}

TEST(ImportHeaded, TabFileKeepsBlanksInsideTextsAndReadsEmptyItemsAsMissing) {
  const std::string heading =
      "field\tlong\tlat\tgrain flow\ttime\tinterval\tdistance\tswath\t"
      "moisture\theader\tpass\tgps status\tpdop\n";
  Imported imported(heading + "North 80\t-96.7\t40.8\t5\t100\t1\t60\t360\t15\t33\t2\t4\t1\n" +
                    "North 80\t-96.7\t40.8\t5\t101\t1\t60\t360\t15\t32\t2\t4\t1\n");
  ASSERT_TRUE(imported.result.ok) << imported.result.reason;
  EXPECT_EQ(imported.result.layout,
            "heading line, 13 tab-separated columns; header 33 harvesting / 32 up");
  EXPECT_EQ(imported.table[1].FieldID, "North 80");
  EXPECT_EQ(imported.table[1].GPSStatus, 4);
  EXPECT_EQ(imported.table[1].PDOP, 1);
  EXPECT_EQ(imported.table[2].HeaderStatus, 1);

  EXPECT_EQ(Refusal(heading + "North 80\t-96.7\t40.8\t5\t100\t\t60\t360\t15\t33\t2\t4\t1\n"),
            "f.txt:2: item 6 (interval): empty, expected a whole number");
}

TEST(ImportHeaderCodes, DetectedSetsAndChosenCodes) {
  const auto fifteen = [](std::initializer_list<int> codes) {
    std::string text;
    int time = 1;
    for (int code : codes) {
      text += "-96.7,40.8,5," + std::to_string(time++) + ",1,60,360,15," + std::to_string(code) +
              ",1,S,F,L,Corn,V\n";
    }
    return text;
  };
  const auto statuses = [](const Imported& imported) {
    std::vector<int> out;
    for (std::int32_t i = 1; i <= imported.count; ++i)
      out.push_back(imported.table[i].HeaderStatus);
    return out;
  };

  EXPECT_EQ(statuses(Imported(fifteen({0, 1, 1}))), (std::vector<int>{1, 33, 33}));
  EXPECT_EQ(statuses(Imported(fifteen({32, 33, 33}))), (std::vector<int>{1, 33, 33}));
  EXPECT_EQ(statuses(Imported(fifteen({1, 1}))), (std::vector<int>{33, 33}));  // all harvesting
  EXPECT_EQ(statuses(Imported(fifteen({33}))), (std::vector<int>{33}));

  // 33 with 1 is ambiguous outside the 17-item layout: 1 means harvesting
  // beside 0 and header up beside 33.
  EXPECT_EQ(Refusal(fifteen({33, 1, 33})),
            "f.txt: header status codes 1 (1 point), 33 (2 points) are neither 1 harvesting / 0 "
            "up nor 33 harvesting / 32 up; choose the harvesting and header-up codes");
  EXPECT_EQ(Refusal(fifteen({0, 1, 32, 33, 33})),
            "f.txt: header status codes 0 (1 point), 1 (1 point), 32 (1 point), 33 (2 points) "
            "are neither 1 harvesting / 0 up nor 33 harvesting / 32 up; choose the harvesting "
            "and header-up codes");

  // Chosen codes place the set, in every layout.
  Imported chosen(fifteen({33, 1, 33}), HeaderCodes{33, 1});
  EXPECT_EQ(statuses(chosen), (std::vector<int>{33, 1, 33}));
  EXPECT_EQ(chosen.result.layout,
            "15 items (variety, no GPS status, PDOP or elevation); header 33 harvesting / 1 up "
            "(as chosen)");
  Imported swapped(k17, HeaderCodes{1, 33});
  EXPECT_EQ(statuses(swapped), (std::vector<int>{1, 33}));
  EXPECT_EQ(Refusal(fifteen({0, 1, 2}), HeaderCodes{1, 0}),
            "f.txt: header status codes 0 (1 point), 1 (1 point), 2 (1 point) are not all 1 "
            "(harvesting) or 0 (header up) as chosen");
  EXPECT_EQ(Refusal(k17, HeaderCodes{5, 7}),
            "f.txt: header status codes 1 (1 point), 33 (1 point) are not all 5 (harvesting) or "
            "7 (header up) as chosen");
}

TEST(ImportHeaderCodes, ParsesTwoDifferentWholeNumbers) {
  EXPECT_EQ(ParseHeaderCodes("1,0"), (HeaderCodes{1, 0}));
  EXPECT_EQ(ParseHeaderCodes(" 33 , 32 "), (HeaderCodes{33, 32}));
  EXPECT_EQ(ParseHeaderCodes("-5,+7"), (HeaderCodes{-5, 7}));
  for (const char* bad : {"", "1", "1,1", "1,0,2", "a,b", "1.5,0", "40000,1", "1,", "+-5,1"}) {
    EXPECT_FALSE(ParseHeaderCodes(bad)) << bad;
  }
}

TEST(ImportLimits, RefusalsLeaveTheTableAndMoreThan62000RecordsAreRefused) {
  Imported imported(k17);
  ASSERT_TRUE(imported.result.ok);
  const std::vector<YieldPoint> before = imported.table.records;
  std::int32_t count = 5;
  EXPECT_FALSE(ParseYieldExport("-96.7,40.8,5,1,1,60,360,15,33,1,S,F,L,Corn,V\n"
                                "-96.7,40.8,5,1,1,60,360,15,33,1,S,F,L,Corn,V,3,4\n",
                                "f.txt", imported.table, count)
                   .ok);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(imported.table.records == before);

  std::string many;
  for (int i = 0; i < kMaxPoints; ++i) many += "-96.7,40.8,5,1,1,60,360,15,33,1,S,F,L,Corn,V\n";
  Imported full(many);
  EXPECT_TRUE(full.result.ok);
  EXPECT_EQ(full.count, kMaxPoints);
  EXPECT_EQ(Refusal(many + "-96.7,40.8,5,1,1,60,360,15,33,1,S,F,L,Corn,V\n"),
            "f.txt:62001: more than 62000 records");
}

TEST(ImportFile, NamesAMissingFileAndReadsAFileFromDisk) {
  PointTable table;
  std::int32_t count = 3;
  const ImportResult missing = ReadYieldExport("/no/such/file.txt", table, count);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.reason, "/no/such/file.txt: the file does not exist");
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(ReadYieldExport(::testing::TempDir(), table, count).ok);
}

TEST(AdvancedExportWriter, WhatIsWrittenReadsBackAsTheSameTable) {
  Imported imported(kHeadedComma);
  ASSERT_TRUE(imported.result.ok);
  // Values whose shortest single-precision text could move when read
  // through double precision, and extremes of each field.
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> bits;
  for (std::int32_t i = 3; i <= 2000; ++i) {
    YieldPoint p = imported.table[1];
    const auto randomFloat = [&](float low, float high) {
      while (true) {
        const std::uint32_t b = bits(random);
        float f;
        std::memcpy(&f, &b, sizeof f);
        if (std::isfinite(f) && f >= low && f <= high) return f;
      }
    };
    p.Longitude = randomFloat(-180, 180);
    p.Latitude = randomFloat(-1e30f, 90);
    p.GrainFlow = randomFloat(-3e38f, 3e38f);
    p.Moisture = randomFloat(-1e-30f, 1e-30f);
    p.Elevation = randomFloat(-3e38f, 3e38f);
    p.GPSTime = static_cast<std::int32_t>(bits(random));
    p.Distance = -32768;
    p.Swath = 32767;
    imported.table[i] = p;
  }
  imported.count = 2000;
  const std::string text = FormatAdvancedExport(imported.count, imported.table);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "-93.97842,43.927265,16.54,1004549898,3,116,360,18.5,33,4,\"2000110154\",\"\","
            "\"45T5\",\"\",0,0,0\r\n");
  PointTable back;
  std::int32_t count = 0;
  const ReadResult read = ParseAdvancedExport(text, "back", back, count);
  ASSERT_TRUE(read.ok()) << read.reason();
  ASSERT_EQ(count, imported.count);
  for (std::int32_t i = 1; i <= count; ++i) {
    ASSERT_TRUE(back[i] == imported.table[i]) << "record " << i;
    ASSERT_EQ(std::signbit(back[i].Moisture), std::signbit(imported.table[i].Moisture));
  }

  imported.table[2].FieldID = "say \"hi\"";
  EXPECT_THROW(FormatAdvancedExport(imported.count, imported.table), OutputError);
}

}  // namespace
}  // namespace tarvik

// Regrouping the table by block and restoring its file order.
#include "checks/ordering.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/point_table.h"
#include "core/removal_codes.h"
#include "support/tables.h"

namespace tarvik {
namespace {

using testing::Fill;

YieldPoint InBlock(std::int16_t block) {
  YieldPoint p;
  p.Block = block;
  return p;
}

TEST(SortByBlocks, LeavesTheOrderOfItsSwaps) {
  PointTable table;
  // IDs 1..7 with blocks 2, 10, 1, 0, 1, 2, 1. By hand:
  //   block 0: swap 1,4       -> 4 2 3 1 5 6 7
  //   block 1: swap 2,3; 3,5; 4,7 -> 4 3 2 1 5 6 7 -> 4 3 5 1 2 6 7 -> 4 3 5 7 2 6 1
  //   block 2: swap 5,6; 6,7  -> 4 3 5 7 6 2 1 -> 4 3 5 7 6 1 2
  // Point 2 (block 10) is never placed. A stable sort would put 1 before 6.
  std::int32_t count = Fill(
      table, {InBlock(2), InBlock(10), InBlock(1), InBlock(0), InBlock(1), InBlock(2), InBlock(1)});
  SortByBlocks(count, table);
  std::vector<int> ids;
  for (std::int32_t i = 1; i <= count; ++i) ids.push_back(table[i].ID);
  EXPECT_EQ(ids, (std::vector<int>{4, 3, 5, 7, 6, 1, 2}));

  // A grouped table, and the positions beyond the count, stay as they are.
  count = Fill(table, {InBlock(0), InBlock(0), InBlock(1), InBlock(3), InBlock(3), InBlock(9)});
  table[count + 1] = InBlock(0);
  table[count + 1].ID = 99;
  const PointTable before = table;
  SortByBlocks(count, table);
  EXPECT_TRUE(table.records == before.records);
}

/// A table of `count` points with every field telling them apart.
std::int32_t RandomField(PointTable& table, std::int32_t count, std::mt19937& random) {
  std::vector<YieldPoint> points(static_cast<std::size_t>(count));
  for (std::size_t k = 0; k < points.size(); ++k) {
    YieldPoint& p = points[k];
    p.Block = static_cast<std::int16_t>(random() % 11);
    p.RemovalCode = static_cast<std::int16_t>(random() % 13);
    p.Yield = static_cast<float>(random() % 30000) / 100.0F;
    p.GPSTime = static_cast<std::int32_t>(random());
    p.SerialNo = std::to_string(k * 7);
    p.LoadNo = std::to_string(random());
  }
  return Fill(table, points);
}

TEST(RestoreInputOrder, UndoesSortByBlocksWithEveryField) {
  std::mt19937 random(7);
  PointTable table;
  const std::int32_t count = RandomField(table, 500, random);
  PointTable expected = table;
  SortByBlocks(count, table);
  // Codes set while the table is regrouped travel with their points.
  for (std::int32_t i = 1; i <= count; i += 3) {
    table[i].RemovalCode = kCoLocated;
    expected[table[i].ID].RemovalCode = kCoLocated;
  }
  RestoreInputOrder(count, table);
  EXPECT_TRUE(table.records == expected.records);
}

TEST(RestoreInputOrder, RefusesIdsThatAreNotOneToCount) {
  for (const std::vector<std::int32_t>& ids :
       std::vector<std::vector<std::int32_t>>{{2, 2, 1}, {3, 0, 1}, {2, 4, 1}, {-1, 2, 3}}) {
    PointTable table;
    const std::int32_t count = Fill(table, {InBlock(0), InBlock(1), InBlock(2)});
    for (std::int32_t i = 1; i <= count; ++i) table[i].ID = ids[static_cast<std::size_t>(i - 1)];
    const PointTable before = table;
    EXPECT_THROW(RestoreInputOrder(count, table), RunError);
    EXPECT_TRUE(table.records == before.records);
  }
  PointTable table;
  const std::int32_t count = Fill(table, {InBlock(0), InBlock(0)});
  table[2].ID = 1;
  try {
    RestoreInputOrder(count, table);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(),
                 "Position 2 holds ID 1, which another point also holds: the table's file order "
                 "cannot be restored.");
  }
}

}  // namespace
}  // namespace tarvik

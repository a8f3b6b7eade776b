// The items of a record as the readers of every export layout store them:
// numbers scanned and checked against the field that keeps them, and the
// coordinates checked once the record is complete.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/point_table.h"

namespace tarvik {

/// How an item of a record is read.
enum class ItemKind { Coordinate, Single, Int16, Int32, Text };

/// An item's kind and the field of a point that keeps it: none for a
/// coordinate (kept by StoreCoordinates) or for a text that is not kept.
struct ItemField {
  ItemKind kind = ItemKind::Text;
  float YieldPoint::*single = nullptr;
  std::int16_t YieldPoint::*int16 = nullptr;
  std::int32_t YieldPoint::*int32 = nullptr;
  std::string YieldPoint::*text = nullptr;
};

/// Stores the number `value` of a number item into its field, or into
/// `coordinate` for a coordinate. False when it is beyond the field's range.
bool StoreValue(const ItemField& field, double value, YieldPoint& point, double& coordinate);

/// Scans the number item `written` (blanks trimmed) and stores it as
/// StoreValue does. The reason, without file, line and item, when it is
/// empty, no number (`shown` is quoted then) or beyond its range.
std::optional<std::string> StoreNumber(const ItemField& field, std::string_view written,
                                       std::string_view shown, YieldPoint& point,
                                       double& coordinate);

/// The longitude and latitude of a complete record as read, checked and
/// kept in single precision. When one fails: its index (0 the longitude)
/// and the reason, which quotes its text from `texts`.
std::optional<std::pair<int, std::string>> StoreCoordinates(
    const std::array<double, 2>& coordinates, const std::array<std::string_view, 2>& texts,
    YieldPoint& point);

}  // namespace tarvik

#include "input/record_items.h"

#include "core/number_text.h"

namespace tarvik {

namespace {

/// The range a whole-number item must fall in, as reasons state it.
const char* RangeText(ItemKind kind) {
  switch (kind) {
    case ItemKind::Int16:
      return " is outside -32768 to 32767";
    case ItemKind::Int32:
      return " is outside -2147483648 to 2147483647";
    default:
      return " is beyond the range of numbers";
  }
}

}  // namespace

bool StoreValue(const ItemField& field, double value, YieldPoint& point, double& coordinate) {
  switch (field.kind) {
    case ItemKind::Coordinate:
      coordinate = value;
      return true;
    case ItemKind::Single:
      if (const auto single = RoundToSingle(value)) {
        point.*field.single = *single;
        return true;
      }
      return false;
    case ItemKind::Int16:
      return RoundIntoWhole(value, point.*field.int16);
    case ItemKind::Int32:
      return RoundIntoWhole(value, point.*field.int32);
    case ItemKind::Text:
      break;
  }
  return true;
}

std::optional<std::string> StoreNumber(const ItemField& field, std::string_view written,
                                       std::string_view shown, YieldPoint& point,
                                       double& coordinate) {
  const bool whole = field.kind == ItemKind::Int16 || field.kind == ItemKind::Int32;
  const NumberScan scan = ScanNumber(written, {'.', false});
  switch (scan.status) {
    case NumberStatus::Ok:
      break;
    case NumberStatus::Empty:
      return whole ? "empty, expected a whole number" : "empty, expected a number";
    case NumberStatus::NotANumber: {
      std::string reason = "\"";
      reason += shown;
      reason += whole ? "\" is not a whole number" : "\" is not a number";
      return reason;
    }
    case NumberStatus::OutOfRange:
      return std::string(written) + RangeText(field.kind);
  }
  if (!StoreValue(field, scan.value, point, coordinate)) {
    return std::string(written) + (field.kind == ItemKind::Single
                                       ? " is beyond the single-precision range"
                                       : RangeText(field.kind));
  }
  return std::nullopt;
}

std::optional<std::pair<int, std::string>> StoreCoordinates(
    const std::array<double, 2>& coordinates, const std::array<std::string_view, 2>& texts,
    YieldPoint& point) {
  if (coordinates[0] < -180 || coordinates[0] > 180) {
    return std::pair{
        0, std::string(texts[0]) + (coordinates[0] < -180 ? " is below -180" : " is above 180")};
  }
  if (coordinates[1] > 90) return std::pair{1, std::string(texts[1]) + " is above 90"};
  point.Longitude = static_cast<float>(coordinates[0]);
  point.Latitude = static_cast<float>(coordinates[1]);
  return std::nullopt;
}

}  // namespace tarvik

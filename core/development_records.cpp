#include "core/development_records.h"

#include <limits>
#include <optional>
#include <utility>

#include "core/list_input.h"
#include "core/number_text.h"

namespace tarvik {

namespace {

constexpr const char* kColumns[] = {"VData",   "ID",       "Segment", "Point",   "HStat",
                                    "Easting", "Northing", "Yield",   "GPS time"};

/// Converts the items of one record into a point; the reason on failure.
class RecordReader {
 public:
  RecordReader(const std::string& path, const std::vector<ListItem>& items, std::size_t first)
      : path_(path), items_(items), first_(first) {}

  template <typename Int>
  void Whole(int column, Int& out) {
    if (error) return;
    const ListItem& item = items_[first_ + static_cast<std::size_t>(column)];
    if (ParseWholeInto(item.Text, out)) return;
    Refuse(item, column,
           "a whole number from " + std::to_string(std::numeric_limits<Int>::min()) + " to " +
               std::to_string(std::numeric_limits<Int>::max()));
  }

  void Single(int column, float& out) {
    if (error) return;
    const ListItem& item = items_[first_ + static_cast<std::size_t>(column)];
    if (const auto value = ParseSingle(item.Text)) {
      out = *value;
      return;
    }
    Refuse(item, column, "a number");
  }

  std::optional<std::string> error;

 private:
  void Refuse(const ListItem& item, int column, const std::string& expected) {
    error = path_ + ":" + std::to_string(item.Line) + ": the " + kColumns[column] + " is \"" +
            item.Text + "\", not " + expected + ".";
  }

  const std::string& path_;
  const std::vector<ListItem>& items_;
  std::size_t first_;
};

}  // namespace

Result<std::vector<YieldPoint>> ParseDevelopmentRecords(std::string_view contents,
                                                        const std::string& displayName) {
  const std::vector<ListItem> items = SplitListItems(contents);
  constexpr std::size_t kItems = 9;
  std::vector<YieldPoint> read(1);  // position 0 stays blank
  for (std::size_t first = 0; first < items.size(); first += kItems) {
    const std::size_t n = read.size();
    if (n > static_cast<std::size_t>(kMaxTestPoints)) {
      return Fail(displayName + ": record " + std::to_string(n) +
                  " is one too many; the test holds at most " + std::to_string(kMaxTestPoints) +
                  " points.");
    }
    if (items.size() - first < kItems) {
      return Fail(displayName + ": the file ends inside record " + std::to_string(n) + ", after " +
                  std::to_string(items.size() - first) + " of its 9 items.");
    }
    YieldPoint& point = read.emplace_back();
    RecordReader reader(displayName, items, first);
    reader.Whole(0, point.RemovalCode);
    reader.Whole(1, point.ID);
    reader.Whole(2, point.Segment);
    reader.Whole(3, point.PointInSegment);
    reader.Whole(4, point.HeaderStatus);
    reader.Whole(5, point.Easting);
    reader.Whole(6, point.Northing);
    reader.Single(7, point.Yield);
    reader.Whole(8, point.GPSTime);
    if (reader.error) return Fail(std::move(*reader.error));
  }
  return read;
}

}  // namespace tarvik

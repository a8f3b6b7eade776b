#include "input/yield_import.h"

#include <array>
#include <map>
#include <utility>
#include <vector>

#include "core/number_text.h"
#include "input/advanced_export.h"
#include "input/record_items.h"

namespace tarvik {

namespace {

/// The header codes the removal rules use.
constexpr std::int16_t kHarvesting = 33;
constexpr std::int16_t kHeaderUp = 1;

/// Where the text of an item goes. `Variety` is read and not kept.
enum class Target {
  Longitude,
  Latitude,
  GrainFlow,
  GPSTime,
  GPSInterval,
  Distance,
  Swath,
  Moisture,
  HeaderStatus,
  PassNo,
  SerialNo,
  FieldID,
  LoadNo,
  GrainType,
  GPSStatus,
  PDOP,
  Elevation,
  Variety
};

struct TargetInfo {
  const char* name;     // name of the item in reasons
  const char* meaning;  // what the column holds, in reasons about a missing column
  ItemField field;
};

constexpr std::array<TargetInfo, 18> kTargets = {{
    {"Longitude", "the longitude", {ItemKind::Coordinate}},
    {"Latitude", "the latitude", {ItemKind::Coordinate}},
    {"GrainFlow", "the grain flow", {ItemKind::Single, &YieldPoint::GrainFlow}},
    {"GPSTime", "the GPS time", {ItemKind::Int32, nullptr, nullptr, &YieldPoint::GPSTime}},
    {"GPSInterval", "the logging interval", {ItemKind::Int16, nullptr, &YieldPoint::GPSInterval}},
    {"Distance", "the distance", {ItemKind::Int16, nullptr, &YieldPoint::Distance}},
    {"Swath", "the swath", {ItemKind::Int16, nullptr, &YieldPoint::Swath}},
    {"Moisture", "the moisture", {ItemKind::Single, &YieldPoint::Moisture}},
    {"HeaderStatus", "the header status", {ItemKind::Int16, nullptr, &YieldPoint::HeaderStatus}},
    {"PassNo", "the pass number", {ItemKind::Int16, nullptr, &YieldPoint::PassNo}},
    {"SerialNo",
     "the serial number",
     {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::SerialNo}},
    {"FieldID", "the field", {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::FieldID}},
    {"LoadNo", "the load", {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::LoadNo}},
    {"GrainType",
     "the grain type",
     {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::GrainType}},
    {"GPSStatus", "the GPS status", {ItemKind::Int16, nullptr, &YieldPoint::GPSStatus}},
    {"PDOP", "the PDOP", {ItemKind::Int16, nullptr, &YieldPoint::PDOP}},
    {"Elevation", "the elevation", {ItemKind::Single, &YieldPoint::Elevation}},
    {"Variety", "the variety", {ItemKind::Text}},  // read, not kept
}};

const TargetInfo& Info(Target target) {
  return kTargets[static_cast<std::size_t>(target)];
}

/// Column names of the headed layout, per item, in order of preference: when
/// two columns name the same item, the one named earlier here is used. Names
/// compare without regard to case or blanks.
struct ColumnNames {
  Target target;
  std::vector<const char*> names;
  bool required;  // a rule needs it
};

const std::vector<ColumnNames>& KnownColumns() {
  static const std::vector<ColumnNames> columns = {
      {Target::Longitude, {"Longitude", "Long", "Lon", "X"}, true},
      {Target::Latitude, {"Latitude", "Lat", "Y"}, true},
      {Target::GrainFlow, {"Flow", "Grain Flow", "Mass Flow (lb/s)", "Mass Flow"}, true},
      {Target::GPSTime, {"Time", "GPS Time"}, true},
      {Target::GPSInterval, {"Cycles", "Interval", "Logging Interval", "GPS Interval"}, true},
      {Target::Distance, {"Distance"}, true},
      {Target::Swath, {"Swath", "Width"}, true},
      {Target::Moisture, {"Moisture"}, true},
      {Target::HeaderStatus, {"Header", "Header Status"}, false},
      {Target::PassNo, {"Pass", "Pass Num", "Pass No", "Pass Number"}, false},
      {Target::SerialNo, {"Serial", "Serial No", "Serial Number"}, false},
      {Target::FieldID, {"Field", "Field ID"}, false},
      {Target::LoadNo, {"Load", "Load_name", "Load_id", "Load No"}, false},
      {Target::GrainType, {"Crop", "Grain Type", "Product"}, false},
      {Target::GPSStatus, {"Gps", "GPS Status"}, false},
      {Target::PDOP, {"PDOP"}, false},
      {Target::Elevation, {"Altitude", "Elevation"}, false},
  };
  return columns;
}

/// A column name without blanks, in lower case.
std::string NormalName(std::string_view name) {
  std::string normal;
  for (char c : name) {
    if (c == ' ' || c == '\t') continue;
    normal += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return normal;
}

/// Blanks around items: spaces and CR, and tabs unless they separate items.
struct Blanks {
  char separator = ',';
  bool operator()(char c) const {
    return c == ' ' || c == '\r' || (c == '\t' && separator != '\t');
  }
};

std::string_view Trim(std::string_view text, Blanks blank = {}) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

/// Items are scanned as written: blanks inside quotes make no number.
constexpr NumberForm kItemNumbers{'.', false};

/// Stores one item's text into `point` (coordinates into `coordinates`, to be
/// checked once the record is complete). The reason, without file, line and
/// item, when the text is not of the item's type.
std::optional<std::string> StoreItem(Target target, std::string_view text, YieldPoint& point,
                                     std::array<double, 2>& coordinates) {
  const ItemField& field = Info(target).field;
  if (field.kind == ItemKind::Text) {
    if (field.text != nullptr) point.*field.text = std::string(text);
    return std::nullopt;
  }
  double other = 0;  // only the coordinates are kept apart
  double& coordinate = target == Target::Longitude  ? coordinates[0]
                       : target == Target::Latitude ? coordinates[1]
                                                    : other;
  return StoreNumber(field, text, text, point, coordinate);
}

/// Splits a line at the separators outside quotes; the text of a quoted item
/// is kept without its quotes. False, with the item and problem set, when a
/// quote is not closed or text follows a closing quote.
bool SplitItems(std::string_view line, char separator, std::vector<std::string_view>& items,
                std::size_t& badItem, const char*& problem) {
  items.clear();
  const Blanks blank{separator};
  std::size_t i = 0;
  const std::size_t size = line.size();
  while (true) {
    while (i < size && blank(line[i])) ++i;
    if (i < size && line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        badItem = items.size();
        problem = "the closing quote is missing";
        return false;
      }
      items.push_back(line.substr(i + 1, close - i - 1));
      i = close + 1;
      while (i < size && blank(line[i])) ++i;
      if (i < size && line[i] != separator) {
        badItem = items.size() - 1;
        problem = "text follows the closing quote";
        return false;
      }
    } else {
      const std::size_t next = line.find(separator, i);
      const std::size_t stop = (next == std::string_view::npos) ? size : next;
      items.push_back(Trim(line.substr(i, stop - i), blank));
      i = stop;
    }
    if (i >= size) return true;
    ++i;  // the separator
  }
}

/// The separator of a heading line: the most frequent of tab, semicolon and
/// comma outside quotes (comma when none occurs).
char SeparatorOf(std::string_view line) {
  std::size_t tabs = 0, semicolons = 0, commas = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\t') ++tabs;
    if (c == ';') ++semicolons;
    if (c == ',') ++commas;
  }
  if (tabs > semicolons && tabs > commas) return '\t';
  if (semicolons > commas) return ';';
  return ',';
}

const char* SeparatorName(char separator) {
  switch (separator) {
    case '\t':
      return "tab";
    case ';':
      return "semicolon";
    default:
      return "comma";
  }
}

/// Builds the refusal reasons of one source.
class Reasons {
 public:
  explicit Reasons(std::string_view displayName) : name_(displayName) {}

  std::string Whole(std::string_view what) const {
    return std::string(name_) + ": " + std::string(what);
  }
  std::string Line(std::int64_t line, std::string_view what) const {
    return std::string(name_) + ":" + std::to_string(line) + ": " + std::string(what);
  }
  std::string AtItem(std::int64_t line, std::size_t item, std::string_view itemName,
                     std::string_view what) const {
    std::string text = "item " + std::to_string(item + 1);
    if (!itemName.empty()) text += " (" + std::string(itemName) + ")";
    return Line(line, text + ": " + std::string(what));
  }

 private:
  std::string_view name_;
};

/// One layout the importer reads line by line: what each item holds.
struct Layout {
  std::string description;
  char separator = ',';
  std::vector<std::optional<Target>> columns;  // per item; nothing: not used
  std::vector<std::string> names;              // per item, for reasons
  std::int64_t firstRecordLine = 1;            // the heading, if any, is before it
  std::string expected;                        // ", expected N ..." of a wrong item count
  bool hasHeader = true;
  bool hasPass = true;
};

Layout FixedLayout(std::size_t items, std::int64_t firstLine) {
  Layout layout;
  for (int k = 0; k < 14; ++k) layout.columns.push_back(static_cast<Target>(k));
  layout.columns.push_back(Target::Variety);
  if (items == 16) {
    layout.columns.push_back(Target::Elevation);
    layout.description = "16 items (variety and elevation, no GPS status or PDOP)";
  } else {
    layout.description = "15 items (variety, no GPS status, PDOP or elevation)";
  }
  for (const auto& column : layout.columns) layout.names.push_back(Info(*column).name);
  layout.firstRecordLine = firstLine;
  layout.expected =
      ", expected " + std::to_string(items) + " as on line " + std::to_string(firstLine);
  return layout;
}

/// The layout named by a heading line, or the reason it cannot be used.
std::optional<std::string> HeadedLayout(const std::vector<std::string_view>& heading,
                                        char separator, std::int64_t line, Layout& layout) {
  layout.separator = separator;
  layout.firstRecordLine = line + 1;
  layout.columns.assign(heading.size(), std::nullopt);
  for (std::string_view name : heading) layout.names.emplace_back(name);

  std::string missing;
  bool any = false;
  for (const ColumnNames& known : KnownColumns()) {
    std::optional<std::size_t> chosen;
    for (const char* synonym : known.names) {
      const std::string wanted = NormalName(synonym);
      for (std::size_t c = 0; c < heading.size() && !chosen; ++c) {
        if (!layout.columns[c] && NormalName(heading[c]) == wanted) chosen = c;
      }
      if (chosen) break;
    }
    if (chosen) {
      layout.columns[*chosen] = known.target;
      any = true;
    } else if (known.required && missing.empty()) {
      missing = std::string("no column for ") + Info(known.target).meaning + " (";
      for (std::size_t s = 0; s < known.names.size(); ++s) {
        if (s > 0) missing += s + 1 == known.names.size() ? " or " : ", ";
        missing += known.names[s];
      }
      missing += ")";
    } else if (known.target == Target::HeaderStatus) {
      layout.hasHeader = false;
    } else if (known.target == Target::PassNo) {
      layout.hasPass = false;
    }
  }
  if (!any) {
    return "the first line is neither a record (its item 1 \"" + std::string(heading[0]) +
           "\" is not a number) nor a heading that names the columns";
  }
  if (!missing.empty()) return missing;

  layout.description = "heading line, " + std::to_string(heading.size()) + " " +
                       SeparatorName(separator) + "-separated columns";
  std::string notes;
  std::string unused;
  for (std::size_t c = 0; c < heading.size(); ++c) {
    if (layout.columns[c]) continue;
    if (!unused.empty()) unused += ", ";
    unused += heading[c].empty() ? std::string("(no name)") : std::string(heading[c]);
  }
  if (!layout.hasPass) notes = "no pass number: all 1";
  if (!unused.empty()) notes += (notes.empty() ? "" : "; ") + std::string("not used: ") + unused;
  if (!notes.empty()) layout.description += " (" + notes + ")";
  layout.expected = ", expected " + std::to_string(heading.size()) + " as in the heading";
  return std::nullopt;
}

/// "1 (120 points), 33 (4000 points)".
std::string CodeList(const std::map<std::int16_t, std::int32_t>& codes) {
  std::string list;
  for (const auto& [code, points] : codes) {
    if (!list.empty()) list += ", ";
    list += std::to_string(code) + " (" + std::to_string(points) +
            (points == 1 ? " point)" : " points)");
  }
  return list;
}

std::string MappingText(HeaderCodes codes) {
  return "header " + std::to_string(codes.Harvesting) + " harvesting / " +
         std::to_string(codes.Up) + " up";
}

/// Turns the file's header codes into 33 and 1. The description of the
/// mapping, or the reason the codes cannot be placed.
std::optional<std::string> MapHeaderCodes(std::vector<YieldPoint>& records, bool keepAsWritten,
                                          const std::optional<HeaderCodes>& given,
                                          std::string& mapping) {
  std::map<std::int16_t, std::int32_t> found;
  for (std::size_t i = 1; i < records.size(); ++i) ++found[records[i].HeaderStatus];
  const auto within = [&](std::int16_t a, std::int16_t b) {
    for (const auto& entry : found) {
      if (entry.first != a && entry.first != b) return false;
    }
    return true;
  };

  HeaderCodes codes;
  if (given) {
    codes = *given;
    if (!within(codes.Harvesting, codes.Up)) {
      return "header status codes " + CodeList(found) + " are not all " +
             std::to_string(codes.Harvesting) + " (harvesting) or " + std::to_string(codes.Up) +
             " (header up) as chosen";
    }
    mapping = MappingText(codes) + " (as chosen)";
  } else if (keepAsWritten) {
    mapping = "header codes as written";
    return std::nullopt;
  } else if (within(1, 0)) {
    codes = {1, 0};
    mapping = MappingText(codes);
  } else if (within(33, 32)) {
    codes = {33, 32};
    mapping = MappingText(codes);
  } else {
    return "header status codes " + CodeList(found) +
           " are neither 1 harvesting / 0 up nor 33 harvesting / 32 up; choose the "
           "harvesting and header-up codes";
  }
  for (std::size_t i = 1; i < records.size(); ++i) {
    std::int16_t& status = records[i].HeaderStatus;
    status = status == codes.Harvesting ? kHarvesting : kHeaderUp;
  }
  return std::nullopt;
}

ImportResult Refuse(std::int32_t& count, std::string reason, std::string layout = {}) {
  count = 0;
  ImportResult result;
  result.reason = std::move(reason);
  result.layout = std::move(layout);
  return result;
}

/// Reads the records of `layout` from `contents`, from offset `start`, which
/// begins line `layout.firstRecordLine`; then maps the header codes.
ImportResult ReadRecords(std::string_view contents, std::size_t start, const Layout& layout,
                         const Reasons& reasons, const std::optional<HeaderCodes>& codes,
                         PointTable& table, std::int32_t& count) {
  std::vector<YieldPoint> records;
  records.reserve(static_cast<std::size_t>(kMaxPoints) + 1);
  records.emplace_back();

  std::vector<std::string_view> items;
  std::int64_t lineNumber = layout.firstRecordLine - 1;
  const Blanks blank{layout.separator};
  while (start < contents.size()) {
    ++lineNumber;
    const std::size_t newline = contents.find('\n', start);
    const std::size_t stop = (newline == std::string_view::npos) ? contents.size() : newline;
    std::string_view line = contents.substr(start, stop - start);
    start = (newline == std::string_view::npos) ? contents.size() : newline + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line, blank).empty()) continue;

    std::size_t badItem = 0;
    const char* problem = nullptr;
    const auto nameOf = [&](std::size_t item) -> std::string_view {
      return item < layout.names.size() ? std::string_view(layout.names[item]) : "";
    };
    if (!SplitItems(line, layout.separator, items, badItem, problem)) {
      return Refuse(count, reasons.AtItem(lineNumber, badItem, nameOf(badItem), problem),
                    layout.description);
    }
    if (items.size() != layout.columns.size()) {
      return Refuse(
          count,
          reasons.Line(lineNumber, std::to_string(items.size()) +
                                       (items.size() == 1 ? " item" : " items") + layout.expected),
          layout.description);
    }

    YieldPoint point;
    if (!layout.hasHeader) point.HeaderStatus = kHarvesting;
    if (!layout.hasPass) point.PassNo = 1;
    std::array<double, 2> coordinates{};
    std::array<std::string_view, 2> coordinateTexts;
    std::array<std::size_t, 2> coordinateItems{};
    for (std::size_t k = 0; k < items.size(); ++k) {
      const auto& target = layout.columns[k];
      if (!target) continue;
      if (*target == Target::Longitude || *target == Target::Latitude) {
        const auto which = static_cast<std::size_t>(*target);
        coordinateTexts[which] = items[k];
        coordinateItems[which] = k;
      }
      if (auto reason = StoreItem(*target, items[k], point, coordinates)) {
        return Refuse(count, reasons.AtItem(lineNumber, k, nameOf(k), *reason), layout.description);
      }
    }
    if (auto bad = StoreCoordinates(coordinates, coordinateTexts, point)) {
      const std::size_t item = coordinateItems[static_cast<std::size_t>(bad->first)];
      return Refuse(count, reasons.AtItem(lineNumber, item, nameOf(item), bad->second),
                    layout.description);
    }
    if (records.size() > static_cast<std::size_t>(kMaxPoints)) {
      return Refuse(
          count, reasons.Line(lineNumber, "more than " + std::to_string(kMaxPoints) + " records"),
          layout.description);
    }
    records.push_back(std::move(point));
  }

  const auto n = static_cast<std::int32_t>(records.size() - 1);
  if (n == 0) {
    return Refuse(count, reasons.Whole("the file holds no records"), layout.description);
  }
  std::string mapping;
  if (!layout.hasHeader) {
    mapping = "no header status: all harvesting";
  } else if (auto refused = MapHeaderCodes(records, false, codes, mapping)) {
    return Refuse(count, reasons.Whole(*refused), layout.description);
  }

  records.resize(static_cast<std::size_t>(kMaxPoints) + 1);
  table.records.swap(records);
  count = n;
  ImportResult result;
  result.ok = true;
  result.layout = layout.description + "; " + mapping;
  return result;
}

/// The 17-item layout: the strict reader reads it, and chosen codes are
/// mapped afterwards.
ImportResult ReadAdvancedLayout(std::string_view contents, std::string_view displayName,
                                const std::optional<HeaderCodes>& codes, PointTable& table,
                                std::int32_t& count) {
  const std::string description = "17 items (Advanced Export)";
  ImportResult result;
  // The strict reader blanks its table on a refusal, so it reads into a new
  // one: a refusal here leaves `table` as it was.
  PointTable read;
  std::int32_t n = 0;
  const ReadResult strict = ParseAdvancedExport(contents, displayName, read, n);
  if (!strict) return Refuse(count, strict.reason(), description);
  if (!codes) {
    table.records.swap(read.records);
    count = n;
    result.ok = true;
    result.layout = description + "; header codes as written";
    return result;
  }
  std::vector<YieldPoint> records(read.records.begin(), read.records.begin() + n + 1);
  std::string mapping;
  if (auto refused = MapHeaderCodes(records, true, codes, mapping)) {
    return Refuse(count, Reasons(displayName).Whole(*refused), description);
  }
  records.resize(static_cast<std::size_t>(kMaxPoints) + 1);
  table.records.swap(records);
  count = n;
  result.ok = true;
  result.layout = description + "; " + mapping;
  return result;
}

}  // namespace

std::optional<HeaderCodes> ParseHeaderCodes(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  HeaderCodes codes;
  std::array<std::int16_t*, 2> outs = {&codes.Harvesting, &codes.Up};
  std::array<std::string_view, 2> parts = {text.substr(0, comma), text.substr(comma + 1)};
  for (std::size_t k = 0; k < 2; ++k) {
    // A whole number as written: a sign and digits, no fraction or exponent.
    const std::string_view part = Trim(parts[k]);
    if (part.find_first_not_of("+-0123456789") != std::string_view::npos) return std::nullopt;
    const NumberScan scan = ScanNumber(part, kItemNumbers);
    if (scan.status != NumberStatus::Ok) return std::nullopt;
    const auto code = RoundToWhole<std::int16_t>(scan.value);
    if (!code) return std::nullopt;
    *outs[k] = *code;
  }
  if (codes.Harvesting == codes.Up) return std::nullopt;
  return codes;
}

ImportResult ParseYieldExport(std::string_view contents, std::string_view displayName,
                              PointTable& table, std::int32_t& count,
                              const std::optional<HeaderCodes>& codes) {
  count = 0;
  const Reasons reasons(displayName);
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const std::string_view whole = contents;
  if (contents.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    contents.remove_prefix(kByteOrderMark.size());
  }

  // The first line that is not blank decides the layout.
  std::int64_t lineNumber = 0;
  std::size_t start = 0;
  std::string_view first;
  while (start < contents.size() && first.empty()) {
    ++lineNumber;
    const std::size_t newline = contents.find('\n', start);
    const std::size_t stop = (newline == std::string_view::npos) ? contents.size() : newline;
    std::string_view line = contents.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!Trim(line).empty()) {
      first = line;
    } else {
      start = (newline == std::string_view::npos) ? contents.size() : newline + 1;
    }
  }
  if (first.empty()) return Refuse(count, reasons.Whole("the file holds no records"));

  std::vector<std::string_view> items;
  std::size_t badItem = 0;
  const char* problem = nullptr;
  const char separator = SeparatorOf(first);
  if (SplitItems(first, separator, items, badItem, problem) &&
      ScanNumber(items[0], kItemNumbers).status != NumberStatus::Ok) {
    Layout layout;
    if (auto refused = HeadedLayout(items, separator, lineNumber, layout)) {
      return Refuse(count, reasons.Line(lineNumber, *refused));
    }
    const std::size_t newline = contents.find('\n', start);
    const std::size_t next = (newline == std::string_view::npos) ? contents.size() : newline + 1;
    return ReadRecords(contents, next, layout, reasons, codes, table, count);
  }

  if (!SplitItems(first, ',', items, badItem, problem)) {
    return Refuse(count, reasons.AtItem(lineNumber, badItem, {}, problem));
  }
  switch (items.size()) {
    case 17:
      return ReadAdvancedLayout(whole, displayName, codes, table, count);
    case 16:
    case 15:
      return ReadRecords(contents, start, FixedLayout(items.size(), lineNumber), reasons, codes,
                         table, count);
    default:
      return Refuse(count, reasons.Line(lineNumber, std::to_string(items.size()) +
                                                        (items.size() == 1 ? " item" : " items") +
                                                        "; a record has 15, 16 or 17 items, or "
                                                        "the first line names the columns"));
  }
}

ImportResult ReadYieldExport(const std::string& fileName, PointTable& table, std::int32_t& count,
                             const std::optional<HeaderCodes>& codes) {
  count = 0;
  auto contents = ReadExportFile(fileName);
  if (!contents) return Refuse(count, contents.reason());
  return ParseYieldExport(*contents, fileName, table, count, codes);
}

}  // namespace tarvik

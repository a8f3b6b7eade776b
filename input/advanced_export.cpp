#include "input/advanced_export.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/file_read.h"
#include "core/number_text.h"
#include "core/two_threads.h"
#include "input/record_items.h"

namespace tarvik {

namespace {

constexpr int kItemCount = 17;

/// One item of a record: its name in reasons and the field that keeps it.
struct ItemLayout {
  const char* name;
  ItemField field;
};

constexpr std::array<ItemLayout, kItemCount> kItems = {{
    {"Longitude", {ItemKind::Coordinate}},
    {"Latitude", {ItemKind::Coordinate}},
    {"GrainFlow", {ItemKind::Single, &YieldPoint::GrainFlow}},
    {"GPSTime", {ItemKind::Int32, nullptr, nullptr, &YieldPoint::GPSTime}},
    {"GPSInterval", {ItemKind::Int16, nullptr, &YieldPoint::GPSInterval}},
    {"Distance", {ItemKind::Int16, nullptr, &YieldPoint::Distance}},
    {"Swath", {ItemKind::Int16, nullptr, &YieldPoint::Swath}},
    {"Moisture", {ItemKind::Single, &YieldPoint::Moisture}},
    {"HeaderStatus", {ItemKind::Int16, nullptr, &YieldPoint::HeaderStatus}},
    {"PassNo", {ItemKind::Int16, nullptr, &YieldPoint::PassNo}},
    {"SerialNo", {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::SerialNo}},
    {"FieldID", {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::FieldID}},
    {"LoadNo", {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::LoadNo}},
    {"GrainType", {ItemKind::Text, nullptr, nullptr, nullptr, &YieldPoint::GrainType}},
    {"GPSStatus", {ItemKind::Int16, nullptr, &YieldPoint::GPSStatus}},
    {"PDOP", {ItemKind::Int16, nullptr, &YieldPoint::PDOP}},
    {"Elevation", {ItemKind::Single, &YieldPoint::Elevation}},
}};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

/// One item of a line: its text, without the quotes of a quoted item.
struct Item {
  std::string_view text;
};

/// Builds the refusal reasons of one source.
class Reasons {
 public:
  explicit Reasons(std::string_view displayName) : name_(displayName) {}

  std::string Whole(std::string_view what) const {
    std::string reason(name_);
    reason += ": ";
    reason += what;
    return reason;
  }

  std::string Line(std::int64_t line, std::string_view what) const {
    std::string reason(name_);
    reason += ':';
    reason += std::to_string(line);
    reason += ": ";
    reason += what;
    return reason;
  }

  std::string AtItem(std::int64_t line, int item, std::string_view what) const {
    std::string text = "item ";
    text += std::to_string(item + 1);
    if (item < kItemCount) {
      text += " (";
      text += kItems[static_cast<std::size_t>(item)].name;
      text += ")";
    }
    text += ": ";
    text += what;
    return Line(line, text);
  }

 private:
  std::string_view name_;
};

/// Splits one line at the commas outside quotes. Returns the number of items
/// found (only the first kItemCount are kept), or nothing with `problem` set
/// when a quote is not closed or text follows a closing quote.
std::optional<int> SplitItems(std::string_view line, std::array<Item, kItemCount>& items,
                              int& badItem, const char*& problem) {
  int n = 0;
  std::size_t i = 0;
  const std::size_t size = line.size();
  while (true) {
    while (i < size && IsBlank(line[i])) ++i;
    Item item;
    if (i < size && line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        badItem = n;
        problem = "the closing quote is missing";
        return std::nullopt;
      }
      item.text = line.substr(i + 1, close - i - 1);
      i = close + 1;
      while (i < size && IsBlank(line[i])) ++i;
      if (i < size && line[i] != ',') {
        badItem = n;
        problem = "text follows the closing quote";
        return std::nullopt;
      }
    } else {
      // Items are short: a plain scan finds the comma sooner than a search call.
      std::size_t stop = i;
      while (stop < size && line[stop] != ',') ++stop;
      std::size_t last = stop;
      while (last > i && IsBlank(line[last - 1])) --last;
      item.text = line.substr(i, last - i);
      i = stop;
    }
    if (n < kItemCount) items[static_cast<std::size_t>(n)] = item;
    ++n;
    if (i >= size) return n;
    ++i;  // the comma
  }
}

/// Converts the items of one record into `point`. Returns the reason text
/// (without file and line) of the first item that cannot be read.
std::optional<std::string> StoreItems(const std::array<Item, kItemCount>& items, YieldPoint& point,
                                      int& badItem) {
  std::array<double, 2> coordinates{};  // longitude, latitude as read
  for (int k = 0; k < kItemCount; ++k) {
    const ItemField& field = kItems[static_cast<std::size_t>(k)].field;
    const Item& item = items[static_cast<std::size_t>(k)];
    badItem = k;
    if (field.kind == ItemKind::Text) {
      (point.*field.text).assign(item.text);
      continue;
    }
    double other = 0;  // only the coordinates are kept apart
    double& coordinate = k < 2 ? coordinates[static_cast<std::size_t>(k)] : other;
    if (auto reason = StoreNumber(field, TrimBlanks(item.text), item.text, point, coordinate)) {
      return reason;
    }
  }

  // The coordinates are checked as read, then kept in single precision.
  if (auto bad = StoreCoordinates(coordinates,
                                  {TrimBlanks(items[0].text), TrimBlanks(items[1].text)}, point)) {
    badItem = bad->first;
    return std::move(bad->second);
  }
  return std::nullopt;
}

/// Reads `line` into `point` when it has the plain shape of nearly every
/// exported line: 17 items between bare commas, numbers written without
/// blanks, quotes or exponents and within their ranges, texts in quotes.
/// Returns false for any other line, which the item-by-item reading then
/// takes: for a plain line it would give the same values, so this is only
/// the quicker way to them. `point` must be blank.
bool ReadPlainLine(std::string_view line, YieldPoint& point) {
  const char* p = line.data();
  const char* const end = p + line.size();
  std::array<double, 2> coordinates{};  // longitude, latitude as read
  for (std::size_t k = 0; k < kItems.size(); ++k) {
    const ItemField& field = kItems[k].field;
    if (field.kind == ItemKind::Text) {
      if (p == end || *p != '"') return false;
      const auto* close =
          static_cast<const char*>(std::memchr(p + 1, '"', static_cast<std::size_t>(end - p - 1)));
      if (close == nullptr) return false;
      (point.*field.text).assign(p + 1, close);
      p = close + 1;
    } else {
      double value = 0;
      double other = 0;  // only the coordinates are kept apart
      double& coordinate = k < 2 ? coordinates[k] : other;
      if (!ScanPlainDecimal(p, end, '.', value) || !StoreValue(field, value, point, coordinate)) {
        return false;
      }
    }
    if (k + 1 < kItems.size()) {
      if (p == end || *p != ',') return false;
      ++p;
    }
  }
  // A coordinate out of range is left to the item-by-item reading, which names it.
  return p == end && !StoreCoordinates(coordinates, {}, point);
}

ReadResult Refuse(std::int32_t& count, std::string reason) {
  count = 0;
  return Fail(std::move(reason));
}

/// What reading a run of lines came to: the records read, or the reason of
/// the first line that could not be read.
struct LinesRead {
  std::int32_t records = 0;
  std::optional<std::string> refusal;
};

/// Reads the lines of `text`, the first of which is line `firstLine` of the
/// file, into the records from position `first`; a record that would go past
/// position kMaxPoints is refused.
LinesRead ReadLines(std::string_view text, std::int64_t firstLine, const Reasons& reasons,
                    std::vector<YieldPoint>& records, std::int32_t first) {
  LinesRead read;
  std::int32_t position = first;
  YieldPoint beyond;  // a record past a full table, read so that its own faults come first
  std::array<Item, kItemCount> items;
  std::int64_t lineNumber = firstLine - 1;
  std::size_t start = 0;
  while (start < text.size()) {
    ++lineNumber;
    const std::size_t newline = text.find('\n', start);
    const std::size_t stop = (newline == std::string_view::npos) ? text.size() : newline;
    std::string_view line = text.substr(start, stop - start);
    start = (newline == std::string_view::npos) ? text.size() : newline + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (TrimBlanks(line).empty()) continue;

    YieldPoint& point =
        position <= kMaxPoints ? records[static_cast<std::size_t>(position)] : beyond;
    // A blank record again, built in place: cheaper than assigning one.
    std::destroy_at(&point);
    std::construct_at(&point);
    if (position <= kMaxPoints && ReadPlainLine(line, point)) {
      ++position;
      ++read.records;
      continue;
    }

    int badItem = 0;
    const char* problem = nullptr;
    const std::optional<int> found = SplitItems(line, items, badItem, problem);
    if (!found) {
      read.refusal = reasons.AtItem(lineNumber, badItem, problem);
      return read;
    }
    if (*found != kItemCount) {
      read.refusal =
          reasons.Line(lineNumber, std::to_string(*found) + (*found == 1 ? " item" : " items") +
                                       ", expected " + std::to_string(kItemCount));
      return read;
    }

    std::destroy_at(&point);  // blank again after the plain reading's try
    std::construct_at(&point);
    if (auto reason = StoreItems(items, point, badItem)) {
      read.refusal = reasons.AtItem(lineNumber, badItem, *reason);
      return read;
    }
    if (position > kMaxPoints) {
      read.refusal =
          reasons.Line(lineNumber, "more than " + std::to_string(kMaxPoints) + " records");
      return read;
    }
    ++position;
    ++read.records;
  }
  return read;
}

/// Files from this size on are read in pieces on two threads.
constexpr std::size_t kPiecedSize = 1U << 20U;

/// A run of whole lines of a file, read on its own.
struct Piece {
  std::string_view text;
  std::int64_t firstLine = 1;  // the line number of its first line in the file
  std::int64_t lines = 0;      // how many lines it holds
  LinesRead read;
};

/// The file's text cut after lines into pieces of about 256 KiB.
std::vector<Piece> Pieces(std::string_view contents) {
  constexpr std::size_t kPieceSize = 1U << 18U;
  std::vector<Piece> pieces;
  std::int64_t line = 1;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t stop = contents.size();
    if (contents.size() - start > kPieceSize) {
      const std::size_t newline = contents.find('\n', start + kPieceSize);
      if (newline != std::string_view::npos) stop = newline + 1;
    }
    Piece piece;
    piece.text = contents.substr(start, stop - start);
    piece.firstLine = line;
    piece.lines =
        static_cast<std::int64_t>(std::count(piece.text.begin(), piece.text.end(), '\n')) +
        (piece.text.back() != '\n' ? 1 : 0);
    line += piece.lines;
    pieces.push_back(piece);
    start = stop;
  }
  return pieces;
}

}  // namespace

ReadResult ParseAdvancedExport(std::string_view contents, std::string_view displayName,
                               PointTable& table, std::int32_t& count) {
  count = 0;
  const Reasons reasons(displayName);
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (contents.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    contents.remove_prefix(kByteOrderMark.size());
  }

  // The records go straight into the table, in file order from position 1;
  // a refusal blanks the whole table.
  std::vector<YieldPoint>& records = table.records;
  records.resize(static_cast<std::size_t>(kMaxPoints) + 1);
  const auto refuse = [&](std::string reason) {
    RecreateTable(table);
    return Refuse(count, std::move(reason));
  };

  // A large file whose lines all fit the table is read in pieces, split
  // after a line, by two threads taking turns: each piece's records go after
  // as many positions as the pieces before it have lines, and move down when
  // some of those lines were blank. The first refusal in the file wins, as
  // in one read.
  LinesRead read;
  std::vector<Piece> pieces =
      contents.size() >= kPiecedSize ? Pieces(contents) : std::vector<Piece>{};
  if (!pieces.empty() && pieces.back().firstLine - 1 + pieces.back().lines <= kMaxPoints) {
    std::atomic<std::size_t> next = 0;
    const auto readPieces = [&] {
      for (std::size_t k = next++; k < pieces.size(); k = next++) {
        Piece& piece = pieces[k];
        piece.read = ReadLines(piece.text, piece.firstLine, reasons, records,
                               static_cast<std::int32_t>(piece.firstLine));
      }
    };
    RunBoth(readPieces, readPieces);
    for (Piece& piece : pieces) {
      if (piece.read.refusal) {
        read.refusal = std::move(piece.read.refusal);
        break;
      }
      const auto first = static_cast<std::int32_t>(piece.firstLine);
      if (read.records + 1 < first) {
        std::move(records.begin() + first, records.begin() + first + piece.read.records,
                  records.begin() + read.records + 1);
      }
      read.records += piece.read.records;
    }
  } else {
    read = ReadLines(contents, 1, reasons, records, 1);
  }
  if (read.refusal) return refuse(std::move(*read.refusal));
  const std::int32_t n = read.records;
  if (n == 0) return refuse(reasons.Whole("the file holds no records"));

  // Position 0 and the positions above the count are blank; most already are.
  const YieldPoint blank;
  if (!(records[0] == blank)) records[0] = blank;
  for (auto k = static_cast<std::size_t>(n) + 1; k < records.size(); ++k) {
    if (!(records[k] == blank)) records[k] = blank;
  }
  count = n;
  return Done{};
}

Result<std::string> ReadExportFile(const std::string& fileName) {
  if (fileName.empty()) return Fail("No input file was named.");
  auto contents = ReadWholeFile(fileName);
  if (contents) return std::move(*contents);
  const Reasons reasons(fileName);
  const FileFailure& failure = contents.reason();
  switch (failure.problem) {
    case FileFailure::Problem::Missing:
      return Fail(reasons.Whole("the file does not exist"));
    case FileFailure::Problem::Folder:
      return Fail(reasons.Whole("is a folder, not a file"));
    case FileFailure::Problem::CannotOpen:
      return Fail(reasons.Whole(std::string("cannot be opened: ") + std::strerror(failure.error)));
    case FileFailure::Problem::TooLarge:
      return Fail(
          reasons.Whole("is larger than 256 MiB; an export of 62,000 records is "
                        "far smaller"));
    case FileFailure::Problem::CannotRead:
      break;
  }
  return Fail(reasons.Whole(std::string("cannot be read: ") + std::strerror(failure.error)));
}

ReadResult ReadAdvancedExport(const std::string& fileName, PointTable& table, std::int32_t& count) {
  count = 0;

  auto contents = ReadExportFile(fileName);
  if (!contents) {
    RecreateTable(table);
    return Refuse(count, contents.reason());
  }
  return ParseAdvancedExport(*contents, fileName, table, count);
}

}  // namespace tarvik

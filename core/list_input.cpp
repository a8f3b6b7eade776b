#include "core/list_input.h"

#include <utility>

#include "core/file_read.h"

namespace tarvik {

std::vector<ListItem> SplitListItems(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<ListItem> items;
  std::size_t pos = 0;
  int line = 1;
  const auto atBreak = [&] { return text[pos] == '\n' || text[pos] == '\r'; };
  const auto consumeBreak = [&] {
    if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
    ++pos;
    ++line;
  };
  const auto skipBlanks = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  for (;;) {
    skipBlanks();
    if (pos >= text.size()) break;
    if (atBreak()) {
      consumeBreak();
      continue;
    }
    ListItem item;
    item.Line = line;
    if (text[pos] == '"') {
      ++pos;
      while (pos < text.size() && text[pos] != '"') {
        if (text[pos] == '\n') ++line;
        item.Text += text[pos++];
      }
      if (pos < text.size()) ++pos;  // the closing quote
      // Anything between the closing quote and the separator is ignored.
      while (pos < text.size() && text[pos] != ',' && !atBreak()) ++pos;
    } else {
      while (pos < text.size() && text[pos] != ',' && !atBreak()) item.Text += text[pos++];
      while (!item.Text.empty() && (item.Text.back() == ' ' || item.Text.back() == '\t')) {
        item.Text.pop_back();
      }
    }
    if (pos < text.size()) {
      if (text[pos] == ',') {
        ++pos;
      } else {
        consumeBreak();
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

Result<std::string> ReadTextFile(const std::string& path) {
  auto read = ReadWholeFile(path);
  if (read) return std::move(*read);
  switch (read.reason().problem) {
    case FileFailure::Problem::Folder:
      return Fail(path + ": is a folder, not a file.");
    case FileFailure::Problem::Missing:
    case FileFailure::Problem::CannotOpen:
      return Fail(path + ": cannot be opened (missing or unreadable).");
    case FileFailure::Problem::TooLarge:
      return Fail(path + ": is larger than 256 MiB.");
    case FileFailure::Problem::CannotRead:
      break;
  }
  return Fail(path + ": cannot be read.");
}

}  // namespace tarvik

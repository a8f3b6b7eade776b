// Free-format list input: the item syntax of the settings files and of the
// development window's test file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

/// One item and the line it starts on (from 1).
struct ListItem {
  std::string Text;
  int Line = 0;
};

/// Splits text into items separated by commas or line breaks (LF, CR LF or
/// CR). Blanks before and after an item are skipped; an item in double quotes
/// may hold commas and line breaks and is kept without its quotes; empty lines
/// hold no item; a UTF-8 byte-order mark is skipped.
std::vector<ListItem> SplitListItems(std::string_view text);

/// Reads a whole file into `contents`; the reason, naming the path, on failure.
std::optional<std::string> ReadTextFile(const std::string& path, std::string& contents);

}  // namespace tarvik

// Free-format list input: the item syntax of the settings files and of the
// development window's test file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

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

/// The bytes of a settings or test file, or the reason, naming the path, it
/// cannot be read.
Result<std::string> ReadTextFile(const std::string& path);

}  // namespace tarvik

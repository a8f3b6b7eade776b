#include "core/settings_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "core/number_text.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace tarvik {

namespace {

/// One item of a settings file and the line it starts on.
struct Item {
  std::string text;
  int line = 0;
};

/// Splits settings text into items: separated by commas or line breaks,
/// blanks before and after an item skipped, text in double quotes may hold
/// commas. Empty lines give no item.
class ItemReader {
 public:
  explicit ItemReader(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
  }

  std::optional<Item> Next() {
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size()) return std::nullopt;
      if (!AtLineBreak()) break;
      ConsumeLineBreak();
    }
    Item item;
    item.line = line_;
    if (text_[pos_] == '"') {
      ++pos_;
      while (pos_ < text_.size() && text_[pos_] != '"') {
        if (text_[pos_] == '\n') ++line_;
        item.text += text_[pos_++];
      }
      if (pos_ < text_.size()) ++pos_;  // closing quote
      SkipBlanks();
      // Anything up to the separator after a closing quote is ignored.
      while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineBreak()) ++pos_;
    } else {
      while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineBreak()) item.text += text_[pos_++];
      while (!item.text.empty() && (item.text.back() == ' ' || item.text.back() == '\t')) {
        item.text.pop_back();
      }
    }
    if (pos_ < text_.size()) {
      if (text_[pos_] == ',') {
        ++pos_;
      } else {
        ConsumeLineBreak();
      }
    }
    return item;
  }

 private:
  bool AtLineBreak() const { return text_[pos_] == '\n' || text_[pos_] == '\r'; }
  void ConsumeLineBreak() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  }
  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& contents) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return path + ": is a folder, not a file.";
  std::ifstream file(path, std::ios::binary);
  if (!file) return path + ": cannot be opened (missing or unreadable).";
  std::ostringstream buffer;
  buffer << file.rdbuf();
  if (file.bad()) return path + ": cannot be read.";
  contents = buffer.str();
  return std::nullopt;
}

std::string Where(const std::string& name, const Item& item) {
  return name + ":" + std::to_string(item.line);
}

}  // namespace

std::string DefaultSettingsFolder() {
#ifdef _WIN32
  return "C:\\Tarvik";
#else
  const char* home = std::getenv("HOME");
  std::string folder = home != nullptr ? home : "";
  if (folder.empty()) {
    if (const passwd* entry = getpwuid(getuid())) folder = entry->pw_dir;
  }
  return folder + "/Tarvik";
#endif
}

std::string SettingsFilePath(const std::string& folder, const char* fileName) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  if (folder.empty() || folder.back() == kSeparator) return folder + fileName;
  return folder + kSeparator + fileName;
}

CropFile ParseCropFile(std::string_view contents, const std::string& displayName) {
  CropFile result;
  ItemReader reader(contents);
  for (int i = 1; i <= 5; ++i) {
    if (!reader.Next()) {
      result.error = displayName + ": the heading ends after " + std::to_string(i - 1) +
                     " of its 5 items.";
      return result;
    }
  }
  static const char* const kColumns[] = {"crop name", "moisture", "upper limit", "lower limit",
                                         "test weight"};
  while (auto name = reader.Next()) {
    CropRecord record;
    record.Name = name->text;
    double* values[] = {&record.Moisture, &record.UpperLimit, &record.LowerLimit,
                        &record.TestWeight};
    for (int k = 0; k < 4; ++k) {
      auto item = reader.Next();
      if (!item) {
        result.error = displayName + ": the record of \"" + record.Name +
                       "\" ends before its " + kColumns[k + 1] + ".";
        return result;
      }
      auto value = ParseDecimal(item->text);
      if (!value) {
        result.error = Where(displayName, *item) + ": the " + kColumns[k + 1] + " of \"" +
                       record.Name + "\" is \"" + item->text + "\", not a number.";
        return result;
      }
      *values[k] = *value;
    }
    result.records.push_back(std::move(record));
  }
  result.ok = true;
  return result;
}

CriteriaFile ParseCriteriaFile(std::string_view contents, const std::string& displayName) {
  CriteriaFile result;
  ItemReader reader(contents);
  for (int i = 1; i <= 7; ++i) {
    if (!reader.Next()) {
      result.error = displayName + ": the heading ends after " + std::to_string(i - 1) +
                     " of its 7 items.";
      return result;
    }
  }
  static const char* const kNames[] = {"start pass delay", "end pass delay", "search size X",
                                       "search size Y",    "SD for outlier test",
                                       "SD for neighborhood", "minimum points per segment"};
  float* values[] = {&result.values.StartPassDelay, &result.values.EndPassDelay,
                     &result.values.SearchX,        &result.values.SearchY,
                     &result.values.SDOutlier,      &result.values.SearchSD,
                     &result.values.NoPointsforValidSeg};
  for (int k = 0; k < 7; ++k) {
    auto item = reader.Next();
    if (!item) {
      result.error = displayName + ": the file ends before the " + kNames[k] + " (value " +
                     std::to_string(k + 1) + " of 7).";
      return result;
    }
    auto value = ParseSingle(item->text);
    if (!value) {
      result.error = Where(displayName, *item) + ": the " + kNames[k] + " is \"" + item->text +
                     "\", not a number.";
      return result;
    }
    *values[k] = *value;
  }
  result.ok = true;
  return result;
}

CropFile ReadCropFile(const std::string& path) {
  std::string contents;
  if (auto error = ReadWholeFile(path, contents)) {
    CropFile result;
    result.error = *error;
    return result;
  }
  return ParseCropFile(contents, path);
}

CriteriaFile ReadCriteriaFile(const std::string& path) {
  std::string contents;
  if (auto error = ReadWholeFile(path, contents)) {
    CriteriaFile result;
    result.error = *error;
    return result;
  }
  return ParseCriteriaFile(contents, path);
}

const CropRecord* FindCrop(const CropFile& crops, std::string_view name) {
  const CropRecord* found = nullptr;
  for (const CropRecord& record : crops.records) {
    if (record.Name == name) found = &record;
  }
  return found;
}

}  // namespace tarvik

#include "core/settings_files.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/list_input.h"
#include "core/number_text.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace tarvik {

namespace {

std::string Where(const std::string& name, const ListItem& item) {
  return name + ":" + std::to_string(item.Line);
}

/// Hands out the items of a list one at a time.
class ItemReader {
 public:
  explicit ItemReader(std::string_view text) : items_(SplitListItems(text)) {}
  const ListItem* Next() { return next_ < items_.size() ? &items_[next_++] : nullptr; }

 private:
  std::vector<ListItem> items_;
  std::size_t next_ = 0;
};

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

bool SettingsFilesMissing(const std::string& folder) {
  for (const char* name : {kCropFileName, kCriteriaFileName}) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(SettingsFilePath(folder, name)), error)) {
      return true;
    }
  }
  return false;
}

namespace {

#ifndef _WIN32
/// `path` as one shell word: unchanged when it holds only safe characters,
/// else in single quotes.
std::string ShellWord(const std::string& path) {
  const bool safe = !path.empty() && path.find_first_not_of(
                                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789/._-+,:@%") == std::string::npos;
  if (safe) return path.front() == '-' ? "./" + path : path;
  std::string word = "'";
  for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

/// `folder` for the shell, written from ~ when it lies in the home folder.
std::string ShellFolder(const std::string& folder) {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    std::string prefix = home;
    if (prefix.back() != '/') prefix += '/';
    if (folder.size() > prefix.size() && folder.compare(0, prefix.size(), prefix) == 0) {
      const std::string rest = folder.substr(prefix.size());
      const std::string word = ShellWord(rest);
      if (word == rest) return "~/" + rest;
    }
  }
  return ShellWord(folder);
}
#endif

}  // namespace

std::string SettingsCopyCommand(const std::string& suppliedFolder, const std::string& folder) {
#ifdef _WIN32
  std::string target = folder;
  while (target.size() > 1 && target.back() == '\\') target.pop_back();
  return "mkdir \"" + target + "\" 2>NUL & copy /-Y \"" +
         SettingsFilePath(suppliedFolder, "*.dat") + "\" \"" + target + "\"";
#else
  std::string target = folder;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  const std::string word = ShellFolder(target);
  std::string supplied = suppliedFolder;
  while (supplied.size() > 1 && supplied.back() == '/') supplied.pop_back();
  return "mkdir -p " + word + " && cp -n " + ShellWord(supplied) + "/*.dat " + word + "/";
#endif
}

CropFile ParseCropFile(std::string_view contents, const std::string& displayName) {
  ItemReader reader(contents);
  for (int i = 1; i <= 5; ++i) {
    if (!reader.Next()) {
      return Fail(displayName + ": the heading ends after " + std::to_string(i - 1) +
                  " of its 5 items.");
    }
  }
  static const char* const kColumns[] = {"crop name", "moisture", "upper limit", "lower limit",
                                         "test weight"};
  std::vector<CropRecord> records;
  while (auto name = reader.Next()) {
    CropRecord record;
    record.Name = name->Text;
    double* values[] = {&record.Moisture, &record.UpperLimit, &record.LowerLimit,
                        &record.TestWeight};
    for (int k = 0; k < 4; ++k) {
      auto item = reader.Next();
      if (!item) {
        return Fail(displayName + ": the record of \"" + record.Name + "\" ends before its " +
                    kColumns[k + 1] + ".");
      }
      auto value = ParseDecimal(item->Text);
      if (!value) {
        return Fail(Where(displayName, *item) + ": the " + kColumns[k + 1] + " of \"" +
                    record.Name + "\" is \"" + item->Text + "\", not a number.");
      }
      *values[k] = *value;
    }
    records.push_back(std::move(record));
  }
  return records;
}

CriteriaFile ParseCriteriaFile(std::string_view contents, const std::string& displayName) {
  ItemReader reader(contents);
  for (int i = 1; i <= 7; ++i) {
    if (!reader.Next()) {
      return Fail(displayName + ": the heading ends after " + std::to_string(i - 1) +
                  " of its 7 items.");
    }
  }
  static const char* const kNames[] = {"start pass delay",
                                       "end pass delay",
                                       "search size X",
                                       "search size Y",
                                       "SD for outlier test",
                                       "SD for neighborhood",
                                       "minimum points per segment"};
  Criteria criteria;
  float* values[] = {&criteria.StartPassDelay,
                     &criteria.EndPassDelay,
                     &criteria.SearchX,
                     &criteria.SearchY,
                     &criteria.SDOutlier,
                     &criteria.SearchSD,
                     &criteria.NoPointsforValidSeg};
  for (int k = 0; k < 7; ++k) {
    auto item = reader.Next();
    if (!item) {
      return Fail(displayName + ": the file ends before the " + kNames[k] + " (value " +
                  std::to_string(k + 1) + " of 7).");
    }
    const NumberScan scan = ScanNumber(item->Text);
    const auto value = scan.status == NumberStatus::Ok ? RoundToSingle(scan.value) : std::nullopt;
    if (!value) {
      return Fail(Where(displayName, *item) + ": the " + kNames[k] + " is \"" + item->Text +
                  (scan.status == NumberStatus::Ok ? "\", beyond the single-precision range."
                                                   : "\", not a number."));
    }
    *values[k] = *value;
  }
  return criteria;
}

CropFile ReadCropFile(const std::string& path) {
  auto contents = ReadTextFile(path);
  if (!contents) return Fail(contents.reason());
  return ParseCropFile(*contents, path);
}

CriteriaFile ReadCriteriaFile(const std::string& path) {
  auto contents = ReadTextFile(path);
  if (!contents) return Fail(contents.reason());
  return ParseCriteriaFile(*contents, path);
}

const CropRecord* FindCrop(const std::vector<CropRecord>& crops, std::string_view name) {
  const CropRecord* found = nullptr;
  for (const CropRecord& record : crops) {
    if (record.Name == name) found = &record;
  }
  return found;
}

}  // namespace tarvik

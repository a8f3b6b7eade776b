// The crop file (crop.dat) and the criteria file (criteria.dat) of the
// settings folder.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace tarvik {

inline constexpr const char* kCropFileName = "crop.dat";
inline constexpr const char* kCriteriaFileName = "criteria.dat";

/// The settings folder: "C:\Tarvik" on Windows, the folder Tarvik in the
/// user's home folder elsewhere.
std::string DefaultSettingsFolder();

/// `folder` joined with `fileName` by the platform's separator.
std::string SettingsFilePath(const std::string& folder, const char* fileName);

/// True when `folder` lacks crop.dat or criteria.dat (or is itself missing).
bool SettingsFilesMissing(const std::string& folder);

/// The command a user types to copy the supplied settings files from
/// `suppliedFolder` into `folder`, creating it and keeping any file already
/// there: a shell command, or a cmd.exe one on Windows.
std::string SettingsCopyCommand(const std::string& suppliedFolder, const std::string& folder);

/// One crop of crop.dat.
struct CropRecord {
  std::string Name;
  double Moisture = 0;    // standard moisture content, %
  double UpperLimit = 0;  // bu/ac
  double LowerLimit = 0;  // bu/ac
  double TestWeight = 0;  // lb/bu
};

/// The seven criteria of criteria.dat, in file order.
struct Criteria {
  float StartPassDelay = 0;       // s
  float EndPassDelay = 0;         // s
  float SearchX = 0;              // m
  float SearchY = 0;              // m
  float SDOutlier = 0;            // standard deviations
  float SearchSD = 0;             // standard deviations
  float NoPointsforValidSeg = 0;  // points
};

/// The crops of crop.dat in file order, or the reason, naming the file and
/// the problem, it could not be read.
using CropFile = Result<std::vector<CropRecord>>;
/// The criteria of criteria.dat, or the reason it could not be read.
using CriteriaFile = Result<Criteria>;

/// Reads crop.dat: a heading of 5 items, then records of 5 items.
CropFile ReadCropFile(const std::string& path);
/// Reads criteria.dat: a heading of 7 items, then 7 numbers; the rest is ignored.
CriteriaFile ReadCriteriaFile(const std::string& path);

/// The same over text in memory; `displayName` names it in errors.
CropFile ParseCropFile(std::string_view contents, const std::string& displayName);
CriteriaFile ParseCriteriaFile(std::string_view contents, const std::string& displayName);

/// The last record named exactly `name` (case counts), or nullptr.
const CropRecord* FindCrop(const std::vector<CropRecord>& crops, std::string_view name);

}  // namespace tarvik

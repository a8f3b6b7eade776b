// The JSON file of tarvik-clean --summary: one entry per input file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/summary.h"

namespace tarvik {

/// What one input file came to, for the summary file.
struct FileSummary {
  std::string Input;    // the input path as given
  std::string Outcome;  // "cleaned", "refused" (the file was not read) or "failed"
  std::string Output;   // the output file of a cleaned input
  std::string Map;      // the map file written for it, if any
  std::string Message;  // the run's message ("Invalid Input File", ...); none when cleaned
  std::string Reason;   // why it was refused or failed: file, line and item where known
  std::optional<RunSummary> Summary;  // the figures of a cleaned input
};

/// The summary file's text: {"files": [one object per input, in order]}.
std::string SummaryJsonText(const std::vector<FileSummary>& files);

}  // namespace tarvik

// Failures that stop a run. Stages throw them; RunPipeline turns them into a
// RunOutcome, so nothing above the engine sees an exception.
#pragma once

#include <stdexcept>
#include <string>

namespace tarvik {

/// Arithmetic that cannot go on: a division by zero, a counter or a
/// coordinate beyond its type. The message names the cause and the point.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The output file could not be created, written or put in place. The
/// message names the path and the reason.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarvik

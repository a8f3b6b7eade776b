// Failures that stop a run. Stages throw them; RunPipeline turns them into a
// RunOutcome, so nothing above the engine sees an exception.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvik {

/// Arithmetic that cannot go on: a division by zero, a counter or a
/// coordinate beyond its type. The message names the cause and the point.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Stops the run at a point: RunError "Point <point>: <reason>", where
/// `point` is the point's ID or position, as the stage names points.
[[noreturn]] inline void StopAtPoint(std::int32_t point, const std::string& reason) {
  throw RunError("Point " + std::to_string(point) + ": " + reason);
}

/// The output file could not be created, written or put in place. The
/// message names the path and the reason.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarvik

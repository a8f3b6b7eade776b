// A progress sink that remembers every call, for tests of what a stage shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/progress.h"

namespace tarvik::testing {

class RecordingProgress final : public Progress {
 public:
  struct Call {
    enum Kind { Begin, SetValue, End } kind;
    std::string status;       // Begin only
    std::int32_t number = 0;  // Begin: maximum; SetValue: value
  };

  void Begin(std::string_view status, std::int32_t maximum) override {
    calls.push_back({Call::Begin, std::string(status), maximum});
  }
  void SetValue(std::int32_t value) override { calls.push_back({Call::SetValue, {}, value}); }
  void End() override { calls.push_back({Call::End, {}, 0}); }

  /// The status texts of the Begin calls, in order.
  std::vector<std::string> Statuses() const {
    std::vector<std::string> out;
    for (const Call& c : calls) {
      if (c.kind == Call::Begin) out.push_back(c.status);
    }
    return out;
  }
  /// The values of the SetValue calls, in order.
  std::vector<std::int32_t> Values() const {
    std::vector<std::int32_t> out;
    for (const Call& c : calls) {
      if (c.kind == Call::SetValue) out.push_back(c.number);
    }
    return out;
  }

  std::vector<Call> calls;
};

/// The calls of `progress` as one line, e.g. "Begin(Checking ...,3) 1 2 3 End".
inline std::string Trace(const RecordingProgress& progress) {
  std::string out;
  for (const RecordingProgress::Call& call : progress.calls) {
    if (!out.empty()) out += ' ';
    if (call.kind == RecordingProgress::Call::Begin) {
      out += "Begin(" + call.status + "," + std::to_string(call.number) + ")";
    } else if (call.kind == RecordingProgress::Call::SetValue) {
      out += std::to_string(call.number);
    } else {
      out += "End";
    }
  }
  return out;
}

}  // namespace tarvik::testing

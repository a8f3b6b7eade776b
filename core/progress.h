// How a stage reports its progress to whoever runs it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvik {

/// A stage calls Begin once, SetValue as it goes (when its rules say so) and
/// End once. The window shows a bar and a status line; the command line and
/// the tests pass NoProgress().
class Progress {
 public:
  virtual ~Progress() = default;
  /// Show the bar and the status text; the bar runs from 0 to maximum.
  virtual void Begin(std::string_view status, std::int32_t maximum) = 0;
  virtual void SetValue(std::int32_t value) = 0;
  /// Hide the bar and the status text.
  virtual void End() = 0;
};

/// A progress sink that ignores everything.
Progress& NoProgress();

/// One stage's progress: begins on construction and ends when the stage is
/// left, by a return or by an exception alike.
class ProgressScope {
 public:
  ProgressScope(Progress& progress, std::string_view status, std::int32_t maximum)
      : progress_(progress) {
    progress_.Begin(status, maximum);
  }
  ~ProgressScope() { progress_.End(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  void SetValue(std::int32_t value) { progress_.SetValue(value); }

 private:
  Progress& progress_;
};

}  // namespace tarvik

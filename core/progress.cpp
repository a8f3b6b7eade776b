#include "core/progress.h"

namespace tarvik {

namespace {
class SilentProgress final : public Progress {
 public:
  void Begin(std::string_view, std::int32_t) override {}
  void SetValue(std::int32_t) override {}
  void End() override {}
};
}  // namespace

Progress& NoProgress() {
  static SilentProgress silent;
  return silent;
}

}  // namespace tarvik

// The development window's reader on any bytes: the points read, or a reason
// naming the file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/development_records.h"
#include "fuzz/fuzz_check.h"

using tarvik::fuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto read = tarvik::ParseDevelopmentRecords(text, "test.txt");
  if (!read) {
    Expect(tarvik::fuzz::StartsWith(read.reason(), "test.txt:"), "the reason names the file",
           read.reason());
    return 0;
  }
  const std::vector<tarvik::YieldPoint>& points = *read;
  Expect(!points.empty() && points[0] == tarvik::YieldPoint{}, "position 0 is blank");
  Expect(points.size() - 1 <= static_cast<std::size_t>(tarvik::kMaxTestPoints),
         "at most 15,000 points");
  for (const tarvik::YieldPoint& p : points) {
    Expect(std::isfinite(p.Yield), "the yield is a finite number");
  }
  return 0;
}

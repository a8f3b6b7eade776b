// The export reader on any bytes: a whole table or a refusal that names the
// file, and a refusal that leaves the table blank.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/point_table.h"
#include "fuzz/fuzz_check.h"
#include "input/advanced_export.h"

using tarvik::fuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tarvik::PointTable table;
  constexpr std::string_view kName = "field.txt";
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto* before = table.records.data();
  std::int32_t count = -1;
  const tarvik::ReadResult result = tarvik::ParseAdvancedExport(text, kName, table, count);
  if (!result) {
    Expect(count == 0, "a refused file reads no points");
    Expect(table.records.data() == before, "a refused file keeps the table's memory");
    Expect(table.records.size() == static_cast<std::size_t>(tarvik::kMaxPoints) + 1 &&
               table[1] == tarvik::YieldPoint{} && table[2] == tarvik::YieldPoint{},
           "a refused file leaves the table blank");
    Expect(tarvik::fuzz::StartsWith(result.reason(), "field.txt:"), "the reason names the file",
           result.reason());
    return 0;
  }
  Expect(count >= 1 && count <= tarvik::kMaxPoints, "the count is 1 to 62,000");
  Expect(table.records.size() == static_cast<std::size_t>(tarvik::kMaxPoints) + 1,
         "the table keeps positions 0 to 62,000");
  Expect(table[0] == tarvik::YieldPoint{}, "position 0 is blank");
  if (count < tarvik::kMaxPoints) {
    Expect(table[count + 1] == tarvik::YieldPoint{}, "the position after the count is blank");
  }
  for (std::int32_t i = 1; i <= count; ++i) {
    tarvik::fuzz::ExpectReadPoint(table[i]);
  }

  return 0;
}

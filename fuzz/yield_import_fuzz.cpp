// The importer of other export layouts on any bytes: a whole table with the
// rules' header codes and the layout it read, or a refusal that names the
// file, and the previous table untouched by a refusal. The first byte picks
// detected header codes or a chosen pair, so both paths are searched.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/point_table.h"
#include "fuzz/fuzz_check.h"
#include "input/yield_import.h"

using tarvik::fuzz::Expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tarvik::PointTable table;
  constexpr std::string_view kName = "field.csv";
  if (size == 0) return 0;
  std::optional<tarvik::HeaderCodes> codes;
  if (data[0] % 4 == 1) codes = tarvik::ParseHeaderCodes("1,0");
  if (data[0] % 4 == 2) codes = tarvik::ParseHeaderCodes("33,32");
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  const auto* before = table.records.data();
  std::int32_t count = -1;
  const tarvik::ImportResult result = tarvik::ParseYieldExport(text, kName, table, count, codes);
  if (!result.ok) {
    Expect(count == 0, "a refused file reads no points");
    Expect(table.records.data() == before, "a refused file keeps the previous table");
    Expect(tarvik::fuzz::StartsWith(result.reason, "field.csv"), "the reason names the file",
           result.reason);
    return 0;
  }
  Expect(!result.layout.empty(), "a read file says which layout it was");
  Expect(count >= 1 && count <= tarvik::kMaxPoints, "the count is 1 to 62,000");
  Expect(table[0] == tarvik::YieldPoint{}, "position 0 is blank");
  const bool advanced = tarvik::fuzz::StartsWith(result.layout, "17 items");
  for (std::int32_t i = 1; i <= count; ++i) {
    const tarvik::YieldPoint& p = table[i];
    tarvik::fuzz::ExpectReadPoint(p);
    if (!advanced) {
      Expect(p.HeaderStatus == 33 || p.HeaderStatus == 1,
             "a short or headed layout maps its header codes onto 33 and 1");
    }
  }
  return 0;
}

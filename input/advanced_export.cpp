#include "input/advanced_export.h"

namespace tarvik {

ReadResult ReadAdvancedExport(const std::string&, PointTable&, std::int32_t& count) { count = 0; return {false, "not built yet"}; }
ReadResult ParseAdvancedExport(std::string_view, std::string_view, PointTable&, std::int32_t& count) { count = 0; return {false, "not built yet"}; }

}  // namespace tarvik

#include "output/writers.h"

namespace tarvik {

std::string FormatBasicOutput(const std::string&, const std::int32_t&, const PointTable&, const bool&, const std::int32_t&, const std::int32_t&) { return {}; }
std::string FormatDetailedOutput(const std::string&, const std::int32_t&, const PointTable&, const bool&, const std::int32_t&, const std::int32_t&) { return {}; }
void WriteBasicOutput(const std::string&, const std::string&, const std::int32_t&, const PointTable&, const bool&, const std::int32_t&, const std::int32_t&) {}
void WriteDetailedOutput(const std::string&, const std::string&, const std::int32_t&, const PointTable&, const bool&, const std::int32_t&, const std::int32_t&) {}
void WriteFileAtomically(const std::string&, const std::string&) {}

}  // namespace tarvik

#include "output/export_writer.h"

#include <charconv>
#include <string_view>
#include <system_error>

#include "core/errors.h"
#include "core/number_text.h"
#include "output/writers.h"

namespace tarvik {

namespace {

/// Whether text read back as the reader reads a number (as a double, then
/// rounded to single precision) gives exactly `value`.
bool ReadsBackAs(std::string_view text, float value) {
  const NumberScan read = ScanNumber(text);
  return read.status == NumberStatus::Ok && static_cast<float>(read.value) == value;
}

/// The shortest text of a single-precision value that reads back as it. The
/// shortest float text nearly always does; where rounding through double
/// would move it, the shortest text of the value as a double is exact.
void AppendSingle(std::string& out, float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (!ReadsBackAs(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)),
                   value)) {
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value));
  }
  out.append(buffer, result.ptr);
}

void AppendWhole(std::string& out, std::int32_t value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendText(std::string& out, const std::string& text, std::int32_t position, int item) {
  if (text.find_first_of("\"\r\n") != std::string::npos) {
    throw OutputError("Point " + std::to_string(position) + ", item " + std::to_string(item) +
                      ": the text \"" + text +
                      "\" holds a double quote or a line break, which an Advanced Export "
                      "file cannot carry.");
  }
  out += '"';
  out += text;
  out += '"';
}

}  // namespace

std::string FormatAdvancedExport(const std::int32_t& count, const PointTable& table) {
  std::string out;
  out.reserve(static_cast<std::size_t>(count) * 120);
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& p = table[i];
    AppendSingle(out, p.Longitude);
    out += ',';
    AppendSingle(out, p.Latitude);
    out += ',';
    AppendSingle(out, p.GrainFlow);
    for (const std::int32_t whole : {p.GPSTime, std::int32_t{p.GPSInterval},
                                     std::int32_t{p.Distance}, std::int32_t{p.Swath}}) {
      out += ',';
      AppendWhole(out, whole);
    }
    out += ',';
    AppendSingle(out, p.Moisture);
    for (const std::int32_t whole : {std::int32_t{p.HeaderStatus}, std::int32_t{p.PassNo}}) {
      out += ',';
      AppendWhole(out, whole);
    }
    int item = 11;
    for (const std::string* text : {&p.SerialNo, &p.FieldID, &p.LoadNo, &p.GrainType}) {
      out += ',';
      AppendText(out, *text, i, item++);
    }
    for (const std::int32_t whole : {std::int32_t{p.GPSStatus}, std::int32_t{p.PDOP}}) {
      out += ',';
      AppendWhole(out, whole);
    }
    out += ',';
    AppendSingle(out, p.Elevation);
    out += "\r\n";
  }
  return out;
}

void WriteAdvancedExport(const std::string& path, const std::int32_t& count,
                         const PointTable& table) {
  WriteFileAtomically(path, FormatAdvancedExport(count, table));
}

}  // namespace tarvik

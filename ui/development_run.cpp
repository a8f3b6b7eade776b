#include "ui/development_run.h"

#include <fstream>
#include <vector>

#include "core/development_records.h"
#include "core/list_input.h"
#include "core/number_text.h"
#include "core/point_table.h"

namespace tarvik::ui {

std::optional<std::string> RunDevelopmentTest(const std::string& inputPath,
                                              const std::string& outputPath) {
  const auto contents = ReadTextFile(inputPath);
  if (!contents) return contents.reason();
  const auto read = ParseDevelopmentRecords(*contents, inputPath);
  if (!read) return read.reason();
  const std::vector<YieldPoint>& points = *read;

  std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
  if (!output) return outputPath + ": cannot be written.";
  output
      << "\"VData\",\"ID\",\"Segment\",\"Point\",\"HStat\",\"Easting\",\"Northing\",\"Yield\"\r\n";
  for (std::size_t n = 1; n < points.size(); ++n) {
    const YieldPoint& p = points[n];
    output << p.RemovalCode << ',' << p.ID << ',' << p.Segment << ',' << p.PointInSegment << ','
           << p.HeaderStatus << ',' << p.Easting << ',' << p.Northing << ','
           << FormatGeneral(p.Yield, '.') << ',' << p.GPSTime << "\r\n";
  }
  output.close();
  if (!output) return outputPath + ": cannot be written.";
  return std::nullopt;
}

}  // namespace tarvik::ui

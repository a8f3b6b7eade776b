// tarvik-fieldsim: writes a simulated Advanced Export file.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/fieldsim.h"

int main(int argc, char** argv) {
  tarvik::FieldSimOptions options;
  std::string outputPath;

  CLI::App app{
      "Writes a simulated yield-monitor field in the Advanced Export layout: serpentine passes "
      "logged at 1 Hz, headland turns, pauses, flow ramps and the faults a monitor logs.",
      "tarvik-fieldsim"};
  app.add_option("--seed", options.Seed,
                 "Seed of the simulation; the same seed gives the same file")
      ->capture_default_str();
  app.add_option("--points", options.Points, "Number of records to write")
      ->check(CLI::Range(0, 1000000))
      ->capture_default_str();
  app.add_option("--lat", options.Latitude, "Latitude of the field's south-west corner, degrees")
      ->check(CLI::Range(-80.0, 80.0))
      ->capture_default_str();
  app.add_option("--lon", options.Longitude, "Longitude of the field's south-west corner, degrees")
      ->check(CLI::Range(-180.0, 179.0))
      ->capture_default_str();
  app.add_option("--length", options.PassLength,
                 "Length of a pass in metres (0: a roughly square field for the points)")
      ->check(CLI::Range(0.0, 5000.0))
      ->capture_default_str();
  app.add_option("--swath", options.Swath, "Cut width of a full pass, inches")
      ->check(CLI::Range(60, 720))
      ->capture_default_str();
  app.add_option("--flow-delay", options.FlowDelay,
                 "Log each flow exactly this many seconds after the cut, with no sensor lag "
                 "(default: the combine's own 5 s transport and the sensor's lag)")
      ->check(CLI::Range(0, 600));
  app.add_option("--heading", options.Heading,
                 "Degrees clockwise from north of the first pass; the field turns about its "
                 "south-west corner")
      ->check(CLI::Range(0.0, 360.0))
      ->capture_default_str();
  app.add_option("-o,--output", outputPath, "File to write (standard output when absent)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help ends here with 0; a usage error with 2, as for tarvik-clean.
    return app.exit(error) == 0 ? 0 : 2;
  }

  if (options.PassLength > 0 && options.PassLength < 20) {
    std::cerr << "tarvik-fieldsim: --length must be 0 or at least 20 metres\n";
    return 2;
  }

  const std::string text = tarvik::SimulateField(options);
  if (outputPath.empty()) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cout.flush();
    return std::cout ? 0 : 1;
  }
  std::ofstream file(outputPath, std::ios::binary | std::ios::trunc);
  if (file) file.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (file) file.close();
  if (!file) {
    std::cerr << "tarvik-fieldsim: cannot write " << outputPath << ": " << std::strerror(errno)
              << '\n';
    return 1;
  }
  return 0;
}

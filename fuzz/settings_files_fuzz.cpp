// The crop and criteria readers on any bytes: the values read, or an error
// that names the file. TARVIK_FUZZ_CRITERIA picks the criteria reader.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings_files.h"
#include "fuzz/fuzz_check.h"

using tarvik::fuzz::Expect;
using tarvik::fuzz::StartsWith;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
#ifdef TARVIK_FUZZ_CRITERIA
  const tarvik::CriteriaFile criteria = tarvik::ParseCriteriaFile(text, "criteria.dat");
  if (!criteria) {
    Expect(StartsWith(criteria.reason(), "criteria.dat"), "the error names the file",
           criteria.reason());
    return 0;
  }
  const tarvik::Criteria& c = *criteria;
  for (const float value : {c.StartPassDelay, c.EndPassDelay, c.SearchX, c.SearchY, c.SDOutlier,
                            c.SearchSD, c.NoPointsforValidSeg}) {
    Expect(std::isfinite(value), "every criterion is a finite number");
  }
#else
  const tarvik::CropFile crops = tarvik::ParseCropFile(text, "crop.dat");
  if (!crops) {
    Expect(StartsWith(crops.reason(), "crop.dat"), "the error names the file", crops.reason());
    return 0;
  }
  for (const tarvik::CropRecord& crop : *crops) {
    for (const double value : {crop.Moisture, crop.UpperLimit, crop.LowerLimit, crop.TestWeight}) {
      Expect(std::isfinite(value), "every crop value is a finite number");
    }
    const tarvik::CropRecord* found = tarvik::FindCrop(*crops, crop.Name);
    Expect(found != nullptr && found->Name == crop.Name, "every crop is found by its name");
  }
#endif
  return 0;
}

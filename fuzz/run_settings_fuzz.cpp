// The run's conversion of the form's texts on any texts: every value in its
// type's range, or the message of the first field that fails. A window with
// a decimal comma converts the same texts, commas and full stops swapped, to
// the same values.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "fuzz/fuzz_check.h"
#include "run/run.h"

using tarvik::fuzz::Expect;

namespace {

std::string* Texts(tarvik::RunSettings& s, std::size_t i) {
  std::string* fields[] = {&s.MC,           &s.Density,   &s.SearchSize, &s.StartPassDelay,
                           &s.EndPassDelay, &s.SDOutlier, &s.LowerLimit, &s.UpperLimit,
                           &s.SearchX,      &s.SearchY,   &s.SearchSD,   &s.NoPointsforValidSeg,
                           &s.FEast,        &s.FNorth};
  return i < std::size(fields) ? fields[i] : nullptr;
}

bool Same(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  tarvik::RunSettings settings;
  settings.DecimalPoint = input.ConsumeBool() ? ',' : '.';
  for (std::size_t i = 0; std::string* text = Texts(settings, i); ++i) {
    *text = input.ConsumeRandomLengthString(40);
  }

  const auto converted = tarvik::ConvertRunSettings(settings);
  if (!converted) Expect(!converted.reason().empty(), "a failed conversion says why");

  tarvik::RunSettings swapped = settings;
  swapped.DecimalPoint = settings.DecimalPoint == '.' ? ',' : '.';
  for (std::size_t i = 0; std::string* text = Texts(swapped, i); ++i) {
    for (char& c : *text) {
      c = c == '.' ? ',' : c == ',' ? '.' : c;
    }
  }
  const auto swappedConverted = tarvik::ConvertRunSettings(swapped);
  Expect(converted.ok() == swappedConverted.ok(),
         "the decimal comma converts as the full stop does");
  if (!converted) return 0;
  const tarvik::ConvertedSettings& out = *converted;
  const tarvik::ConvertedSettings& other = *swappedConverted;

  for (const float value : {out.TargetMoisture, out.TestWeight, out.SDOutlier, out.LowerLimit,
                            out.UpperLimit, out.SearchX, out.SearchY, out.SearchSD}) {
    Expect(std::isfinite(value), "every converted number is finite");
  }
  Expect(Same(out.TargetMoisture, other.TargetMoisture) && Same(out.TestWeight, other.TestWeight) &&
             out.BufferHalfWidth == other.BufferHalfWidth &&
             out.StartPassDelay == other.StartPassDelay && out.EndPassDelay == other.EndPassDelay &&
             Same(out.SDOutlier, other.SDOutlier) && Same(out.LowerLimit, other.LowerLimit) &&
             Same(out.UpperLimit, other.UpperLimit) && Same(out.SearchX, other.SearchX) &&
             Same(out.SearchY, other.SearchY) && Same(out.SearchSD, other.SearchSD) &&
             out.MinimumPoints == other.MinimumPoints && out.FalseEasting == other.FalseEasting &&
             out.FalseNorthing == other.FalseNorthing,
         "the decimal comma gives the same values");
  return 0;
}

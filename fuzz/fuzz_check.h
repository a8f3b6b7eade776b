// A failed expectation inside a fuzz target: says what broke and aborts, so
// that libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tarvik::fuzz {

[[noreturn]] inline void Broken(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "expectation broken: %.*s %.*s\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void Expect(bool holds, std::string_view what, std::string_view detail = {}) {
  if (!holds) Broken(what, detail);
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace tarvik::fuzz

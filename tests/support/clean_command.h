// tarvik-clean called in-process, as a user calls the program.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/clean_command.h"

namespace tarvik::testing {

/// What one call of tarvik-clean gave: its exit status and what it printed.
struct Result {
  int status = 0;
  std::string out;
  std::string err;
};

/// Runs tarvik-clean with `args` (without the program's name).
inline Result Clean(std::vector<std::string> args) {
  args.insert(args.begin(), "tarvik-clean");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out;
  std::ostringstream err;
  Result r;
  r.status = RunCleanCommand(static_cast<int>(argv.size()), argv.data(), out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

}  // namespace tarvik::testing

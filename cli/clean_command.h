// tarvik-clean: the cleaning run from the command line, one file or many.
#pragma once

#include <iosfwd>

namespace tarvik {

/// Runs tarvik-clean with `argv`; summaries go to `out`, errors to `err`.
/// Returns the exit status: 0 every file cleaned, 1 a file refused or its
/// run failed, 2 a usage error.
int RunCleanCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tarvik

// Reading a whole file into memory, with a cap on its size.
#pragma once

#include <cstdint>
#include <string>

#include "core/result.h"

namespace tarvik {

/// The most an input or settings file may hold: a full export of 62,000
/// records is a few megabytes; anything past this is not one (a disk image
/// or a device picked by mistake) and is not loaded into memory.
inline constexpr std::uintmax_t kMaxFileBytes = 256U << 20U;

/// Why a file could not be read; each reader words it for its own messages.
struct FileFailure {
  enum class Problem { Missing, Folder, CannotOpen, TooLarge, CannotRead };
  Problem problem = Problem::CannotRead;
  int error = 0;  // errno of the open or read that failed, else 0
};

/// The bytes of `path` exactly as stored, or why they are not there: the
/// path does not exist or is a folder, cannot be opened or read, or holds
/// more than `maxBytes` (checked before reading a regular file, and while
/// reading anything else).
Result<std::string, FileFailure> ReadWholeFile(const std::string& path,
                                               std::uintmax_t maxBytes = kMaxFileBytes);

}  // namespace tarvik

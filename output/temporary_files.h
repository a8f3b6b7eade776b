// The temporary files being written at this moment, so that a process
// stopped by a signal can remove them before it ends.
#pragma once

#include <string>

namespace tarvik {

/// Notes `path` as a temporary file that exists, or is about to, until
/// ForgetTemporaryFile(slot). Returns the slot, or -1 when every slot is
/// taken (the file is then simply not removed on a signal).
int RememberTemporaryFile(const std::string& path);

/// The file of `slot` is renamed or removed: a signal must leave it alone.
void ForgetTemporaryFile(int slot);

/// Unlinks every remembered file. Async-signal-safe: only atomics and unlink.
void RemoveTemporaryFiles() noexcept;

}  // namespace tarvik

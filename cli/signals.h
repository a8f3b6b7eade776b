// How tarvik-clean meets the signals that can stop it.
#pragma once

namespace tarvik {

/// SIGINT, SIGTERM and SIGHUP remove the temporary output files being
/// written, then end the program as the signal would have. SIGXFSZ is
/// ignored, so a write beyond the file-size limit fails with EFBIG and is
/// reported like any other failed write.
void InstallSignalHandlers();

}  // namespace tarvik

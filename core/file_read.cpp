#include "core/file_read.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tarvik {

namespace {

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

Failure<FileFailure> Problem(FileFailure::Problem problem, int error = 0) {
  return {{problem, error}};
}

}  // namespace

Result<std::string, FileFailure> ReadWholeFile(const std::string& path, std::uintmax_t maxBytes) {
  namespace fs = std::filesystem;
  using P = FileFailure::Problem;
  std::error_code error;
  const auto status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return Problem(P::Missing);
  if (status.type() == fs::file_type::directory) return Problem(P::Folder);

  const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
  if (!file) return Problem(P::CannotOpen, errno);
  std::string contents;
  if (status.type() == fs::file_type::regular) {
    const auto size = fs::file_size(path, error);
    if (!error && size > maxBytes) return Problem(P::TooLarge);
    if (!error) contents.reserve(static_cast<std::size_t>(size));
  }
  char buffer[1 << 16];
  while (true) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    contents.append(buffer, got);
    if (contents.size() > maxBytes) return Problem(P::TooLarge);
    if (got < sizeof buffer) {
      if (std::ferror(file.get())) return Problem(P::CannotRead, errno == 0 ? EIO : errno);
      return contents;
    }
  }
}

}  // namespace tarvik

#include "core/file_read.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/large_pages.h"

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
  // A regular file is read in one call straight into the text, asking for
  // one byte more than its size to see its end; anything else, or a file
  // that grows meanwhile, in blocks.
  constexpr std::size_t kBlock = 1 << 16;
  std::size_t want = kBlock;
  if (status.type() == fs::file_type::regular) {
    const auto size = fs::file_size(path, error);
    if (!error && size > maxBytes) return Problem(P::TooLarge);
    if (!error) want = static_cast<std::size_t>(size) + 1;
  }
  std::string contents;
  std::size_t filled = 0;
  while (true) {
    if (filled == 0 && want > kBlock) {
      contents.reserve(want);
      AdviseLargePages(contents.data(), want);
    }
    contents.resize(filled + want);
    const std::size_t got = std::fread(contents.data() + filled, 1, want, file.get());
    filled += got;
    if (filled > maxBytes) return Problem(P::TooLarge);
    if (got < want) {
      if (std::ferror(file.get())) return Problem(P::CannotRead, errno == 0 ? EIO : errno);
      contents.resize(filled);
      return contents;
    }
    want = kBlock;
  }
}

}  // namespace tarvik

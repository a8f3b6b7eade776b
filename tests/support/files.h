// Files and folders for tests: whole files read and written byte for byte,
// and a fresh folder per test.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace tarvik::testing {

/// The bytes of `path`; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << file.rdbuf();
  return buffer.str();
}

/// Makes `path` hold exactly `contents`.
inline void WriteFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

/// The names in `folder`, sorted.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

/// An empty folder "tarvik-<area>-<test name>-<process>" in the temporary
/// folder for the running test, removed with all it holds when this goes;
/// the process number keeps suites run at once from different builds apart.
/// It is its path, so `folder / "name"` names a file in it.
class TestFolder : public std::filesystem::path {
 public:
  explicit TestFolder(const std::string& area)
      : path(std::filesystem::temp_directory_path() /
             ("tarvik-" + area + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
              std::to_string(ProcessNumber()))) {
    std::filesystem::remove_all(*this);
    std::filesystem::create_directories(*this);
  }
  ~TestFolder() {
    std::error_code error;
    std::filesystem::remove_all(*this, error);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

 private:
  static int ProcessNumber() {
#ifdef _WIN32
    return ::_getpid();
#else
    return static_cast<int>(::getpid());
#endif
  }
};

}  // namespace tarvik::testing

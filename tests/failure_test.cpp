// Failures of the disk the results go to, and signals that stop tarvik-clean:
// each gives its message and exit status, and leaves no partial or temporary
// file and the previous output as it was.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/signals.h"
#include "core/errors.h"
#include "output/temporary_files.h"
#include "output/writers.h"
#include "support/files.h"
#include "tools/fieldsim.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TestFolder;
using testing::WriteFile;

/// Names in `folder` (and its subfolders) of temporary files left behind.
std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

/// How a child process ended: its exit status, or the signal that ended it.
struct Ended {
  int status = -1;
  int signal = 0;
  std::string out;
  std::string err;
};

Ended Wait(pid_t pid, const fs::path& out, const fs::path& err) {
  int raw = 0;
  while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  Ended ended;
  if (WIFEXITED(raw)) ended.status = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) ended.signal = WTERMSIG(raw);
  ended.out = ReadFile(out);
  ended.err = ReadFile(err);
  return ended;
}

/// What the child does before it becomes tarvik-clean.
struct ChildLimits {
  std::optional<rlim_t> fileSize;  // RLIMIT_FSIZE in bytes
  bool unprivileged = false;       // run as nobody when started as root
};

constexpr uid_t kNobody = 65534;

/// Starts build/tarvik-clean with `args`; its output goes to files in `logs`.
pid_t StartClean(const std::vector<std::string>& args, const fs::path& logs,
                 const ChildLimits& limits = {}) {
  std::vector<std::string> all = {TARVIK_CLEAN};
  all.insert(all.end(), args.begin(), args.end());
  const std::string out = (logs / "stdout").string();
  const std::string err = (logs / "stderr").string();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // The child: only calls that are safe after fork.
  if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) {
    ::_exit(120);
  }
  if (limits.fileSize) {
    const rlimit limit{*limits.fileSize, *limits.fileSize};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(121);
  }
  if (limits.unprivileged && ::geteuid() == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      ::_exit(122);
    }
  }
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(123);
}

class FailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_ / "logs");
    // Readable by the unprivileged user some tests run as.
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(folder_ / "logs", fs::perms::all);
    settings_ = std::string(TARVIK_SOURCE_DIR) + "/settings";
  }
  void TearDown() override {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder_, error)) {
      if (entry.is_directory()) fs::permissions(entry.path(), fs::perms::all, error);
    }
  }

  std::string Field(const std::string& name, std::int32_t points = 3000, std::uint64_t seed = 4) {
    FieldSimOptions options;
    options.Points = points;
    options.Seed = seed;
    const fs::path path = folder_ / name;
    WriteFile(path, SimulateField(options));
    return path.string();
  }

  /// Runs tarvik-clean to its end with the supplied settings and `args`.
  Ended Clean(std::vector<std::string> args, const ChildLimits& limits = {}) {
    args.insert(args.begin(), {"--settings", settings_});
    const pid_t pid = StartClean(args, folder_ / "logs", limits);
    return Wait(pid, folder_ / "logs" / "stdout", folder_ / "logs" / "stderr");
  }

  /// The common ending of a failed write: status 1, the message with its
  /// reason, no summary, nothing left behind.
  void ExpectOutputFailure(const Ended& ended, const std::string& reason) {
    EXPECT_EQ(ended.signal, 0);
    EXPECT_EQ(ended.status, 1) << ended.err;
    EXPECT_NE(ended.err.find("Error Output File"), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find(reason), std::string::npos) << ended.err;
    EXPECT_EQ(ended.out, "");
    EXPECT_EQ(ended.err.find("FINISH"), std::string::npos) << ended.err;
    EXPECT_EQ(ended.err.find("points read"), std::string::npos) << ended.err;
    EXPECT_EQ(Leftovers(folder_), std::vector<std::string>{});
  }

  TestFolder folder_{"failure"};
  std::string settings_;
};

TEST_F(FailureTest, AMissingOutputFolderIsReportedAndNothingIsCreated) {
  const std::string input = Field("f.txt");
  const fs::path target = folder_ / "nowhere" / "out.txt";
  ExpectOutputFailure(Clean({"-o", target.string(), input}), "No such file or directory");
  EXPECT_FALSE(fs::exists(folder_ / "nowhere"));
}

TEST_F(FailureTest, AReadOnlyFolderKeepsItsPreviousOutput) {
  const std::string input = Field("f.txt");
  fs::permissions(input, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                             fs::perms::group_read);
  const fs::path locked = folder_ / "locked";
  fs::create_directory(locked);
  WriteFile(locked / "out.txt", "the previous output\r\n");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  ChildLimits limits;
  limits.unprivileged = true;
  const Ended ended = Clean({"-o", (locked / "out.txt").string(), input}, limits);
  if (ended.status == 122 || ended.status == 123 ||
      ended.err.find("cannot be opened") != std::string::npos) {
    GTEST_SKIP() << "tarvik-clean cannot run here as an unprivileged user (status " << ended.status
                 << "): " << ended.err;
  }
  ExpectOutputFailure(ended, "Permission denied");
  EXPECT_EQ(ReadFile(locked / "out.txt"), "the previous output\r\n");
}

TEST_F(FailureTest, AFileSizeLimitFailsTheWriteInsteadOfKillingTheProgram) {
  const std::string input = Field("f.txt");
  const fs::path target = folder_ / "out.txt";
  WriteFile(target, "the previous output\r\n");
  ChildLimits limits;
  limits.fileSize = 20000;  // the detailed file of 3,000 points is far larger
  const Ended ended = Clean({"--detailed", "-o", target.string(), input}, limits);
  EXPECT_NE(ended.signal, SIGXFSZ);
  ExpectOutputFailure(ended, "File too large");
  EXPECT_EQ(ReadFile(target), "the previous output\r\n");

  // Under a limit that the file fits, the same run succeeds.
  limits.fileSize = 4 << 20;
  const Ended fits = Clean({"--detailed", "-o", target.string(), input}, limits);
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_NE(fits.out.find("points read"), std::string::npos);
}

TEST_F(FailureTest, AFolderAsTargetOrTheInputAsTargetIsRefusedAndKept) {
  const std::string input = Field("f.txt");
  const fs::path target = folder_ / "results";
  fs::create_directory(target);
  WriteFile(target / "inside.txt", "kept");
  ExpectOutputFailure(Clean({"-o", target.string(), input}), "Is a directory");
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(ReadFile(target / "inside.txt"), "kept");

  const std::string bytes = ReadFile(input);
  ExpectOutputFailure(Clean({"-o", input, input}), "must not be the input file");
  EXPECT_EQ(ReadFile(input), bytes);
  // The same file by another spelling of its path.
  const std::string other = (folder_ / "logs" / ".." / "f.txt").string();
  ExpectOutputFailure(Clean({"--detailed", "-o", other, input}), "must not be the input file");
  EXPECT_EQ(ReadFile(input), bytes);
}

TEST_F(FailureTest, OneFailingFileAmongSeveralJobsLeavesTheOthersCleaned) {
  const std::string a = Field("a.txt", 800, 1);
  const std::string b = Field("b.txt", 800, 2);
  const std::string c = Field("c.txt", 800, 3);
  fs::create_directory(folder_ / "bout.txt");  // b's output cannot be put in place
  const Ended ended = Clean({"--jobs", "3", a, b, c});
  EXPECT_EQ(ended.status, 1);
  EXPECT_TRUE(fs::is_regular_file(folder_ / "aout.txt"));
  EXPECT_TRUE(fs::is_regular_file(folder_ / "cout.txt"));
  EXPECT_TRUE(fs::is_directory(folder_ / "bout.txt"));
  EXPECT_NE(ended.err.find(b + ": Error Output File: "), std::string::npos) << ended.err;
  EXPECT_NE(ended.out.find(a + " -> "), std::string::npos) << ended.out;
  EXPECT_NE(ended.out.find(c + " -> "), std::string::npos) << ended.out;
  EXPECT_EQ(ended.out.find(b + " -> "), std::string::npos) << ended.out;
  EXPECT_EQ(Leftovers(folder_), std::vector<std::string>{});
}

TEST_F(FailureTest, AnInterruptedRunRemovesItsTemporaryFile) {
  // Many large detailed files one after another; the signal is sent as soon
  // as a temporary file appears, so it lands while one is being written.
  const std::string input = Field("big.txt", 20000, 9);
  std::vector<std::string> args = {"--settings", settings_, "--detailed"};
  for (int i = 0; i < 8; ++i) {
    const fs::path copy = folder_ / ("in" + std::to_string(i) + ".txt");
    fs::copy_file(input, copy);
    args.push_back(copy.string());
  }
  for (const int signal : {SIGTERM, SIGINT}) {
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
      for (int i = 0; i < 8; ++i) fs::remove(folder_ / ("in" + std::to_string(i) + "out.txt"));
      const pid_t pid = StartClean(args, folder_ / "logs");
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!caught && std::chrono::steady_clock::now() < deadline) {
        if (!Leftovers(folder_).empty()) {
          ::kill(pid, signal);
          caught = true;
        } else if (::waitpid(pid, nullptr, WNOHANG) == pid) {
          break;  // finished before the signal: try again
        }
      }
      if (!caught) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        continue;
      }
      const Ended ended = Wait(pid, folder_ / "logs" / "stdout", folder_ / "logs" / "stderr");
      EXPECT_EQ(ended.signal, signal);
      EXPECT_EQ(Leftovers(folder_), std::vector<std::string>{});
    }
    if (!caught) GTEST_SKIP() << "no temporary file was ever seen being written";
  }
}

// The writer alone.

TEST_F(FailureTest, TheWriterThrowsNamingThePathAndLeavesNothingBehind) {
  const fs::path missing = folder_ / "nowhere" / "out.txt";
  try {
    WriteFileAtomically(missing.string(), "text");
    ADD_FAILURE() << "no error";
  } catch (const OutputError& error) {
    EXPECT_NE(std::string(error.what()).find(missing.string()), std::string::npos) << error.what();
  }
  EXPECT_THROW(WriteFileAtomically(folder_.string(), "text"), OutputError);
  EXPECT_TRUE(fs::is_directory(folder_));
  EXPECT_EQ(Leftovers(folder_), std::vector<std::string>{});

  // Beyond the file-size limit, in a child so the limit stays there.
  const fs::path target = folder_ / "limited.txt";
  WriteFile(target, "old");
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFileAtomically(target.string(), std::string(5000, 'x'));
    } catch (const OutputError& error) {
      ::_exit(std::string(error.what()).find("File too large") != std::string::npos ? 0 : 2);
    }
    ::_exit(1);
  }
  const Ended ended = Wait(pid, folder_ / "none", folder_ / "none");
  EXPECT_EQ(ended.status, 0);
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(Leftovers(folder_), std::vector<std::string>{});
}

TEST_F(FailureTest, AStopSignalRemovesTheRememberedFilesOnlyAndStillEndsTheProcess) {
  const fs::path writing = folder_ / "out.txt.tmp-writing";
  const fs::path done = folder_ / "out.txt.tmp-done";
  const pid_t pid = ::fork();
  if (pid == 0) {
    InstallSignalHandlers();
    WriteFile(writing, "partial");
    WriteFile(done, "renamed already");
    RememberTemporaryFile(writing.string());
    ForgetTemporaryFile(RememberTemporaryFile(done.string()));
    ::raise(SIGTERM);
    ::_exit(0);  // not reached
  }
  const Ended ended = Wait(pid, folder_ / "none", folder_ / "none");
  EXPECT_EQ(ended.signal, SIGTERM);
  EXPECT_FALSE(fs::exists(writing));
  EXPECT_TRUE(fs::exists(done));
}

}  // namespace
}  // namespace tarvik

#include "output/writers.h"

#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "core/errors.h"
#include "core/number_text.h"
#include "core/two_threads.h"
#include "output/number_format.h"
#include "output/temporary_files.h"

namespace tarvik {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

/// Width of the right-aligned yield column.
constexpr std::size_t kYieldWidth = 7;

/// The patterns of the columns: whole numbers, coordinates of the detailed
/// file (at least six digits), the yield, and longitude and latitude.
constexpr NumberPattern kWholePattern("#######0");
constexpr NumberPattern kSixDigitsPattern("##000000");
constexpr NumberPattern kYieldPattern("##0.00");
constexpr NumberPattern kDegreesPattern("##0.00000");

/// `text` on one line: a CR or LF inside it would break the file's layout of
/// one header item or one point per line, so each becomes a space.
void AppendOneLine(std::string& out, std::string_view text) {
  const auto lineBreak = [](char c) { return c == '\r' || c == '\n'; };
  if (std::none_of(text.begin(), text.end(), lineBreak)) {
    out += text;
    return;
  }
  for (char c : text) out += lineBreak(c) ? ' ' : c;
}

void AppendHeader(std::string& out, const std::string& title,
                  std::initializer_list<std::string_view> variables) {
  AppendOneLine(out, title);
  out += kLineEnd;
  out += std::to_string(variables.size());
  out += kLineEnd;
  for (std::string_view name : variables) {
    out += name;
    out += kLineEnd;
  }
}

/// `coordinate` less `offset`; a difference beyond 32 bits stops the run.
std::int32_t Rescaled(std::int32_t coordinate, std::int32_t offset, const YieldPoint& point,
                      const char* column, const char* offsetName) {
  const std::int64_t difference = std::int64_t{coordinate} - offset;
  if (difference < std::numeric_limits<std::int32_t>::min() ||
      difference > std::numeric_limits<std::int32_t>::max()) {
    StopAtPoint(point.ID, std::string(column) + " " + std::to_string(coordinate) + " less the " +
                              offsetName + " " + std::to_string(offset) +
                              " is beyond the 32-bit range.");
  }
  return static_cast<std::int32_t>(difference);
}

std::string_view WithoutTrailingSpaces(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

/// The offsets that apply: the false easting and northing when re-scaling, else 0.
struct Offsets {
  std::int32_t easting;
  std::int32_t northing;
};

Offsets ChooseOffsets(bool rescale, std::int32_t falseEasting, std::int32_t falseNorthing) {
  return rescale ? Offsets{falseEasting, falseNorthing} : Offsets{0, 0};
}

[[noreturn]] void ThrowOutputError(const std::string& path, int error) {
  throw OutputError("Cannot write " + path + ": " + std::generic_category().message(error));
}

// The few file calls of the atomic write, on POSIX systems and on Windows.
#ifdef _WIN32
int OpenNew(const char* path) {
  int fd = -1;
  return ::_sopen_s(&fd, path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _SH_DENYNO, _S_IREAD | _S_IWRITE) == 0
             ? fd
             : -1;
}
long long WriteSome(int fd, std::string_view data) {
  const unsigned int chunk =
      static_cast<unsigned int>(std::min<std::size_t>(data.size(), 1U << 30));
  return ::_write(fd, data.data(), chunk);
}
int SyncFile(int fd) {
  return ::_commit(fd);
}
int CloseFile(int fd) {
  return ::_close(fd);
}
void RemoveFile(const char* path) {
  ::_unlink(path);
}
std::uint64_t ProcessId() {
  return static_cast<std::uint64_t>(::_getpid());
}
#else
int OpenNew(const char* path) {
  return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long long WriteSome(int fd, std::string_view data) {
  return ::write(fd, data.data(), data.size());
}
int SyncFile(int fd) {
  return ::fsync(fd);
}
int CloseFile(int fd) {
  return ::close(fd);
}
void RemoveFile(const char* path) {
  ::unlink(path);
}
std::uint64_t ProcessId() {
  return static_cast<std::uint64_t>(::getpid());
}
#endif

/// Replaces `path` by `temporary`; returns 0 or the error number.
int ReplaceFile(const std::string& temporary, const std::string& path) {
#ifdef _WIN32
  // rename() on Windows refuses to replace an existing file.
  std::error_code error;
  std::filesystem::rename(std::filesystem::path(temporary), std::filesystem::path(path), error);
  return error ? error.default_error_condition().value() : 0;
#else
  return std::rename(temporary.c_str(), path.c_str()) != 0 ? errno : 0;
#endif
}

/// A name for the temporary file beside `path` that nobody else is likely to pick.
std::string TemporaryName(const std::string& path, std::mt19937_64& random) {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = path + ".tmp-";
  for (int i = 0; i < 8; ++i) name += kAlphabet[random() % (sizeof kAlphabet - 1)];
  return name;
}

/// Writes all of `contents` to `fd`; returns 0 or the errno of the failure.
int WriteAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const long long written = WriteSome(fd, contents);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  if (SyncFile(fd) != 0 && errno != EINVAL && errno != EROFS) return errno;
  return 0;
}

/// Writes `text` at `out`; returns the end.
char* Put(char* out, std::string_view text) {
  return std::copy(text.begin(), text.end(), out);
}

/// Writes easting and northing less their offsets, each by `pattern` and
/// `separator` between them; returns the end.
char* WriteCoordinates(char* out, const YieldPoint& point, const Offsets& offsets,
                       const NumberPattern& pattern, std::string_view separator) {
  out = pattern.Write(out,
                      Rescaled(point.Easting, offsets.easting, point, "Easting", "false easting"));
  out = Put(out, separator);
  return pattern.Write(
      out, Rescaled(point.Northing, offsets.northing, point, "Northing", "false northing"));
}

// Each line is written into a buffer on the stack and appended at once:
// appending every number and separator on its own costs more than the
// formatting. The rooms below hold the longest texts of each column.
constexpr std::size_t kSeparatorsRoom = 32;
constexpr std::size_t kBasicLineRoom =
    2 * kWholePattern.Room(0) + kYieldPattern.Room(kYieldWidth) + kGeneralRoom + kSeparatorsRoom;
/// The detailed line up to the load number.
constexpr std::size_t kDetailedLineRoom =
    2 * kSixDigitsPattern.Room(0) + kYieldPattern.Room(kYieldWidth) + 2 * kGeneralRoom +
    2 * kWholePattern.Room(0) + 2 * kDegreesPattern.Room(0) + kSeparatorsRoom;

/// Appends the lines of positions 1..count to `out`: appendLines(text,
/// first, last) writes those of first..last. A large table is written in
/// two halves at once and joined; a point that stops the run stops it as in
/// one pass, the first half's first.
template <typename AppendLines>
void AppendPoints(std::string& out, std::int32_t count, AppendLines&& appendLines) {
  constexpr std::int32_t kHalved = 8192;
  if (count < kHalved) {
    appendLines(out, 1, count);
    return;
  }
  const std::int32_t middle = count / 2;
  std::string tail;
  RunBoth([&] { appendLines(tail, middle + 1, count); }, [&] { appendLines(out, 1, middle); });
  out += tail;
}

void AppendBasicLines(std::string& out, const PointTable& table, const Offsets& offsets,
                      std::int32_t first, std::int32_t last) {
  out.reserve(out.size() + static_cast<std::size_t>(std::max(last - first + 1, 0)) * 40);
  for (std::int32_t i = first; i <= last; ++i) {
    const YieldPoint& point = table[i];
    if (point.RemovalCode > 0) continue;
    char line[kBasicLineRoom];
    char* end = WriteCoordinates(line, point, offsets, kWholePattern, "   ");
    end = Put(end, "  ");
    end = kYieldPattern.Write(end, point.Yield, kYieldWidth);
    end = Put(end, "  ");
    end = WriteGeneral(end, point.Moisture);
    end = Put(end, kLineEnd);
    out.append(line, end);
  }
}

void AppendDetailedLines(std::string& out, const PointTable& table, const Offsets& offsets,
                         std::int32_t first, std::int32_t last) {
  out.reserve(out.size() + static_cast<std::size_t>(std::max(last - first + 1, 0)) * 96);
  for (std::int32_t i = first; i <= last; ++i) {
    const YieldPoint& point = table[i];
    char line[kDetailedLineRoom];
    char* end = WriteCoordinates(line, point, offsets, kSixDigitsPattern, "  ");
    end = Put(end, "  ");
    end = kYieldPattern.Write(end, point.Yield, kYieldWidth);
    *end++ = ' ';
    end = WriteGeneral(end, point.Moisture);
    *end++ = ' ';
    end = kWholePattern.Write(end, std::int32_t{point.RemovalCode});
    *end++ = ' ';
    end = kDegreesPattern.Write(end, point.Longitude);
    *end++ = ' ';
    end = kDegreesPattern.Write(end, point.Latitude);
    *end++ = ' ';
    end = WriteGeneral(end, point.GrainFlow);
    *end++ = ' ';
    end = kWholePattern.Write(end, std::int32_t{point.Distance});
    end = Put(end, " '");
    out.append(line, end);
    AppendOneLine(out, WithoutTrailingSpaces(point.LoadNo));
    out += "' ";
    out += kLineEnd;
  }
}

}  // namespace

std::string FormatBasicOutput(const std::string& title, const std::int32_t& count,
                              const PointTable& table, const bool& rescale,
                              const std::int32_t& falseEasting, const std::int32_t& falseNorthing) {
  const Offsets offsets = ChooseOffsets(rescale, falseEasting, falseNorthing);
  std::string out;
  AppendHeader(out, title, {"Easting", "Northing", "Yield", "Moisture"});
  AppendPoints(out, count, [&](std::string& text, std::int32_t first, std::int32_t last) {
    AppendBasicLines(text, table, offsets, first, last);
  });
  return out;
}

std::string FormatDetailedOutput(const std::string& title, const std::int32_t& count,
                                 const PointTable& table, const bool& rescale,
                                 const std::int32_t& falseEasting,
                                 const std::int32_t& falseNorthing) {
  const Offsets offsets = ChooseOffsets(rescale, falseEasting, falseNorthing);
  std::string out;
  AppendHeader(out, title,
               {"Easting", "Northing", "Yield", "Moisture", "VID", "Long", "Lat", "GrainFlow",
                "Distance", "LoadNo"});
  AppendPoints(out, count, [&](std::string& text, std::int32_t first, std::int32_t last) {
    AppendDetailedLines(text, table, offsets, first, last);
  });
  return out;
}

void WriteBasicOutput(const std::string& title, const std::string& outputPath,
                      const std::int32_t& count, const PointTable& table, const bool& rescale,
                      const std::int32_t& falseEasting, const std::int32_t& falseNorthing) {
  WriteFileAtomically(outputPath,
                      FormatBasicOutput(title, count, table, rescale, falseEasting, falseNorthing));
}

void WriteDetailedOutput(const std::string& title, const std::string& outputPath,
                         const std::int32_t& count, const PointTable& table, const bool& rescale,
                         const std::int32_t& falseEasting, const std::int32_t& falseNorthing) {
  WriteFileAtomically(
      outputPath, FormatDetailedOutput(title, count, table, rescale, falseEasting, falseNorthing));
}

void WriteFileAtomically(const std::string& path, const std::string& contents) {
  if (path.empty()) throw OutputError("No output file was named.");
  static std::atomic<std::uint64_t> calls{0};
  std::seed_seq seed{
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()),
      ProcessId(), calls.fetch_add(1)};
  std::mt19937_64 random(seed);
  // Created with O_EXCL and mode 0666, so the kernel applies the umask and the
  // finished file gets the usual mode of a new file.
  // Each name is remembered before the file exists, so that a signal that
  // stops the program removes the file (see temporary_files.h).
  std::string temporary;
  int fd = -1;
  int slot = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryName(path, random);
    slot = RememberTemporaryFile(temporary);
    fd = OpenNew(temporary.c_str());
    if (fd < 0) {
      const int openError = errno;
      ForgetTemporaryFile(slot);
      if (openError != EEXIST) ThrowOutputError(path, openError);
    }
  }
  if (fd < 0) ThrowOutputError(path, EEXIST);

  int error = WriteAll(fd, contents);
  if (CloseFile(fd) != 0 && error == 0) error = errno;
  if (error == 0) error = ReplaceFile(temporary, path);
  if (error != 0) RemoveFile(temporary.c_str());
  ForgetTemporaryFile(slot);
  if (error != 0) ThrowOutputError(path, error);
}

}  // namespace tarvik

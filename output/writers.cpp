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
#include <charconv>
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
#include "output/number_format.h"
#include "output/temporary_files.h"

namespace tarvik {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

/// Width of the right-aligned yield column.
constexpr std::size_t kYieldWidth = 7;

/// `text` on one line: a CR or LF inside it would break the file's layout of
/// one header item or one point per line, so each becomes a space.
void AppendOneLine(std::string& out, std::string_view text) {
  if (text.find_first_of("\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  for (char c : text) out += (c == '\r' || c == '\n') ? ' ' : c;
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

void AppendYield(std::string& out, float yield) {
  const std::string text = FormatPattern(static_cast<double>(yield), "##0.00");
  if (text.size() < kYieldWidth) out.append(kYieldWidth - text.size(), ' ');
  out += text;
}

void AppendWhole(std::string& out, std::int32_t value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
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

/// A whole number with at least `digits` digits, zeros in front, and a "-"
/// before them when negative: the patterns "#######0" (1) and "##000000" (6).
void AppendPadded(std::string& out, std::int32_t value, int digits) {
  char buffer[16];
  const std::int64_t wide = value;
  const auto magnitude = static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
  const auto written = static_cast<int>(result.ptr - buffer);
  if (value < 0) out += '-';
  if (written < digits) out.append(static_cast<std::size_t>(digits - written), '0');
  out.append(buffer, result.ptr);
}

/// Easting and northing less their offsets, with at least `digits` digits
/// each and `separator` between them.
void AppendCoordinates(std::string& out, const YieldPoint& point, const Offsets& offsets,
                       int digits, std::string_view separator) {
  AppendPadded(out, Rescaled(point.Easting, offsets.easting, point, "Easting", "false easting"),
               digits);
  out += separator;
  AppendPadded(out, Rescaled(point.Northing, offsets.northing, point, "Northing", "false northing"),
               digits);
}

}  // namespace

std::string FormatBasicOutput(const std::string& title, const std::int32_t& count,
                              const PointTable& table, const bool& rescale,
                              const std::int32_t& falseEasting, const std::int32_t& falseNorthing) {
  const Offsets offsets = ChooseOffsets(rescale, falseEasting, falseNorthing);
  std::string out;
  out.reserve(64 + static_cast<std::size_t>(count > 0 ? count : 0) * 40);
  AppendHeader(out, title, {"Easting", "Northing", "Yield", "Moisture"});
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    if (point.RemovalCode > 0) continue;
    AppendCoordinates(out, point, offsets, 1, "   ");
    out += "  ";
    AppendYield(out, point.Yield);
    out += "  ";
    out += FormatGeneral(point.Moisture);
    out += kLineEnd;
  }
  return out;
}

std::string FormatDetailedOutput(const std::string& title, const std::int32_t& count,
                                 const PointTable& table, const bool& rescale,
                                 const std::int32_t& falseEasting,
                                 const std::int32_t& falseNorthing) {
  const Offsets offsets = ChooseOffsets(rescale, falseEasting, falseNorthing);
  std::string out;
  out.reserve(128 + static_cast<std::size_t>(count > 0 ? count : 0) * 96);
  AppendHeader(out, title,
               {"Easting", "Northing", "Yield", "Moisture", "VID", "Long", "Lat", "GrainFlow",
                "Distance", "LoadNo"});
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    AppendCoordinates(out, point, offsets, 6, "  ");
    out += "  ";
    AppendYield(out, point.Yield);
    out += ' ';
    out += FormatGeneral(point.Moisture);
    out += ' ';
    AppendPadded(out, point.RemovalCode, 1);
    out += ' ';
    out += FormatPattern(static_cast<double>(point.Longitude), "##0.00000");
    out += ' ';
    out += FormatPattern(static_cast<double>(point.Latitude), "##0.00000");
    out += ' ';
    out += FormatGeneral(point.GrainFlow);
    out += ' ';
    AppendWhole(out, point.Distance);
    out += " '";
    AppendOneLine(out, WithoutTrailingSpaces(point.LoadNo));
    out += "' ";
    out += kLineEnd;
  }
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

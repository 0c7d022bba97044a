#pragma once
// Log files that lines are only ever appended to, by this program and by
// others at the same time, the UTC time the lines are stamped with, and
// reading such a file (or a list of codes) whole. Paths are UTF-8, as a
// user gives them. Real implementation: CreateFileW with FILE_APPEND_DATA
// and OPEN_ALWAYS, WriteFile, FlushFileBuffers, CloseHandle, GetSystemTime,
// ReadFile; natively open with O_APPEND, write, fsync, close,
// clock_gettime, read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nolpa::platform {

// Opaque handle of an open log; kNoLog when none is open.
using LogFile = std::uintptr_t;
inline constexpr LogFile kNoLog = ~LogFile{0};

// A moment in Coordinated Universal Time, as GetSystemTime gives it.
struct UtcTime {
  int year;
  int month;  // 1 to 12
  int day;    // 1 to 31
  int hour;
  int minute;
  int second;
  int millisecond;
};

enum class ReadResult {
  Read,     // the whole file is in the bytes
  Missing,  // there is no such file (its folder may be missing too)
  Failed,   // it exists but cannot be read whole (no right, a folder, too big)
};

// The most a file read whole may hold.
inline constexpr std::size_t kMostBytesRead = 64u << 20;

class LogFiles {
 public:
  virtual ~LogFiles() = default;

  // Opens `path` for appending, creating it when missing; others may read
  // and append meanwhile. Nothing already in the file is ever written over.
  // kNoLog when it cannot be opened (no such folder, no right, a folder).
  virtual LogFile OpenForAppend(const std::string& path) = 0;

  // Appends `bytes` at the file's end in one write, then flushes the file
  // to the disk, so that a line written by another process at the same time
  // never lands inside it. True only when every byte was written and
  // flushed.
  virtual bool Append(LogFile log, std::string_view bytes) = 0;

  // Closes the log; closing kNoLog does nothing.
  virtual void Close(LogFile log) = 0;

  // The present UTC time, to the millisecond.
  virtual UtcTime UtcNow() = 0;

  // Reads the file at `path` whole while others may append to it (what
  // they append meanwhile may be left out, a line cut short included).
  virtual ReadResult ReadWhole(const std::string& path, std::string* bytes) = 0;
};

}  // namespace nolpa::platform

#include "platform/posix/posix_console.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <iterator>

namespace nolpa::platform::posix {

namespace {

volatile sig_atomic_t stopRequests = 0;
volatile sig_atomic_t writing = 0;
volatile sig_atomic_t endAfterWrite = 0;

void OnSignal(int signal) {
  if (stopRequests > 0 && signal == SIGINT) {
    // A write in progress is finished and logged first (EndWrite).
    if (writing != 0) {
      endAfterWrite = 1;
      return;
    }
    ::_exit(kEndedBySecondRequest);
  }
  stopRequests = stopRequests + 1;
}

int Descriptor(Stream stream) { return stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO; }

bool WriteWhole(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Code page 1252 from 0x80 to 0x9F.
constexpr std::uint16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code point of the well-formed UTF-8 character at `text[at]`, its
// length in `length`; false for anything RFC 3629 does not allow (a stray
// or missing continuation byte, an overlong form, a surrogate, a value
// above U+10FFFF).
bool DecodeUtf8(std::string_view text, std::size_t at, std::uint32_t* code, std::size_t* length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t n = 0;
  std::uint32_t value = 0, least = 0;
  if (lead < 0x80) {
    n = 1, value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    n = 2, value = lead & 0x1Fu, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, value = lead & 0x0Fu, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, value = lead & 0x07u, least = 0x10000;
  } else {
    return false;
  }
  if (text.size() - at < n) return false;
  for (std::size_t i = 1; i < n; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3Fu);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *code = value;
  *length = n;
  return true;
}

// The code page 1252 byte of `code`, if the code page has one. The bytes
// it leaves undefined stand for the control characters of the same value,
// as AnsiToUtf8 reads them.
bool Windows1252Byte(std::uint32_t code, char* byte) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
    *byte = static_cast<char>(code);
    return true;
  }
  for (std::size_t i = 0; i < std::size(k1252High); ++i)
    if (k1252High[i] == code) {
      *byte = static_cast<char>(0x80 + i);
      return true;
    }
  return false;
}

}  // namespace

bool PosixConsoleStreams::IsConsole(Stream stream) { return ::isatty(Descriptor(stream)) == 1; }

void PosixConsoleStreams::Write(Stream stream, std::string_view utf8) {
  WriteWhole(Descriptor(stream), utf8);
}

void PosixConsoleSignals::Watch() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

bool PosixConsoleSignals::StopRequested() { return stopRequests > 0; }

void PosixConsoleSignals::BeginWrite() { writing = 1; }

void PosixConsoleSignals::EndWrite() {
  writing = 0;
  if (endAfterWrite != 0) ::_exit(kEndedBySecondRequest);
}

LogFile PosixLogFiles::OpenForAppend(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  return fd < 0 ? kNoLog : static_cast<LogFile>(fd);
}

bool PosixLogFiles::Append(LogFile log, std::string_view bytes) {
  if (log == kNoLog) return false;
  const int fd = static_cast<int>(log);
  // O_APPEND makes one write land whole at the end; a short write is a
  // failure, not something to finish with a second write another process
  // could come between.
  const ssize_t done = ::write(fd, bytes.data(), bytes.size());
  return done == static_cast<ssize_t>(bytes.size()) && ::fsync(fd) == 0;
}

void PosixLogFiles::Close(LogFile log) {
  if (log != kNoLog) ::close(static_cast<int>(log));
}

ReadResult PosixLogFiles::ReadWhole(const std::string& path, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
  std::string read;
  char buffer[65536];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && read.size() <= kMostBytesRead)
    read.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  if (got < 0 || read.size() > kMostBytesRead) return ReadResult::Failed;
  *bytes = std::move(read);
  return ReadResult::Read;
}

UtcTime PosixLogFiles::UtcNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm t{};
  gmtime_r(&now.tv_sec, &t);
  return UtcTime{t.tm_year + 1900,
                 t.tm_mon + 1,
                 t.tm_mday,
                 t.tm_hour,
                 t.tm_min,
                 t.tm_sec,
                 static_cast<int>(now.tv_nsec / 1000000)};
}

std::string Windows1252Encoding::AnsiToUtf8(std::string_view ansi) {
  std::string out;
  for (char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? k1252High[byte - 0x80] : byte);
  }
  return out;
}

bool Windows1252Encoding::Utf8ToAnsi(std::string_view utf8, std::string* ansi) {
  std::string out;
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    std::uint32_t code = 0;
    char byte = 0;
    if (!DecodeUtf8(utf8, at, &code, &length) || !Windows1252Byte(code, &byte)) return false;
    out += byte;
  }
  *ansi = std::move(out);
  return true;
}

}  // namespace nolpa::platform::posix

#pragma once
// The audit log: one JSON line per write attempt, appended whole and
// flushed, so that which ID went into which printer can be traced later.
// Both programs keep it when the INI file beside the program names it (key
// "Log" of section "Audit"); the console companion also takes --log FILE.
#include <optional>
#include <string>

#include "discovery/device_list.h"
#include "ident/write_attempt.h"
#include "platform/log_files.h"
#include "platform/program_files.h"
#include "platform/text_encoding.h"

namespace nolpa::app {

inline constexpr char kAuditSection[] = "Audit";
inline constexpr char kAuditKey[] = "Log";
// The build's version (the file VERSION, written in by the build):
// "5.00" as the window's caption shows it, and the release "5.0.1".
extern const char kProductVersion[];
extern const char kReleaseVersion[];

// "vendor", "com" or "printer-class": the route a record was found on.
const char* RouteName(const discovery::DeviceRecord& record);

// What a printer reported when it was read back after a write.
struct ReadBackValues {
  std::string idCode;                 // ANSI, as the device list holds it
  std::optional<std::string> idName;  // absent on the USB Printer Class route
  bool matches = false;               // the ID code is the one written
};

// One line of the log. Texts are as the device list holds them (ANSI);
// the names of a USB Printer Class attempt are absent (that route has none).
struct AuditEntry {
  std::string route;
  std::string product;
  std::string device;  // the device path, or \\.\COMn of a port
  std::string oldIdCode;
  std::string newIdCode;
  std::optional<std::string> oldIdName;
  std::optional<std::string> newIdName;
  std::string result;           // ident::ResultName
  std::string message;          // what the program said about it, in English
  std::optional<int> exitCode;  // the run's, where a run has one
  // newIdCode and newIdName are UTF-8 as the user gave them: values the
  // ANSI code page cannot hold, refused before anything was sent.
  bool newValuesUtf8 = false;
  std::optional<ReadBackValues> readBack;  // when the printer was read back
};

AuditEntry EntryOf(const ident::WriteAttempt& attempt, std::optional<int> exitCode);

// {"time":"2027-03-01T09:05:03.007Z","program":...,"version":"5.00",
//  "route":...,"product":...,"device":...,"oldIdCode":...,"newIdCode":...,
//  "oldIdName":...,"newIdName":...,"result":...,"message":...,
//  ["readBack":{"idCode":...,"idName":...,"matches":...},] "exitCode":...}
// and a line feed; device texts converted to UTF-8 by `encoding`.
std::string AuditLine(const AuditEntry& entry, const platform::UtcTime& time,
                      const std::string& program, platform::TextEncoding& encoding);

class AuditLog {
 public:
  AuditLog(platform::LogFiles& files, platform::TextEncoding& encoding, std::string program,
           std::string path);
  ~AuditLog();
  AuditLog(const AuditLog&) = delete;
  AuditLog& operator=(const AuditLog&) = delete;

  const std::string& Path() const { return path_; }
  // Opens the file for appending, once; true while it is open.
  bool Open();
  // Appends the entry's line, stamped now, in one write; false when the log
  // is not open or the line was not written whole.
  bool Append(const AuditEntry& entry);

 private:
  platform::LogFiles& files_;
  platform::TextEncoding& encoding_;
  std::string program_;
  std::string path_;
  platform::LogFile file_ = platform::kNoLog;
};

// The log the program's INI file names, or empty when it names none. A
// relative path is taken from the program's folder, not from whatever
// folder the program was started in.
std::string AuditLogPathFromIni(platform::ProgramFiles& program);

// The window program's trail: each attempt appended as it ends.
class ImmediateWriteAudit final : public ident::WriteAudit {
 public:
  explicit ImmediateWriteAudit(AuditLog& log) : log_(log) {}
  bool Ready() override { return log_.Open(); }
  bool Record(const ident::WriteAttempt& attempt) override {
    return log_.Append(EntryOf(attempt, std::nullopt));
  }

 private:
  AuditLog& log_;
};

}  // namespace nolpa::app

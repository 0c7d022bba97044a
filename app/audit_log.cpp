#include "app/audit_log.h"

#include <cstdio>

#include "app/json_text.h"
#include "ui/library_loader.h"

namespace nolpa::app {

namespace {

constexpr char kComPathPrefix[] = "\\\\.\\COM";

std::string IsoTime(const platform::UtcTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return text;
}

bool IsAbsolute(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || path.starts_with("\\\\") || path.starts_with("/");
}

}  // namespace

const char* RouteName(const discovery::DeviceRecord& record) {
  if (discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker)) return "printer-class";
  return record.devicePath.starts_with(kComPathPrefix) ? "com" : "vendor";
}

AuditEntry EntryOf(const ident::WriteAttempt& attempt, std::optional<int> exitCode) {
  AuditEntry entry;
  entry.route = RouteName(attempt.device);
  entry.product = attempt.device.productText;
  entry.device = attempt.device.devicePath;
  entry.oldIdCode = attempt.device.idCode;
  entry.newIdCode = attempt.idCode;
  if (!attempt.printerClassRoute) {
    entry.oldIdName = attempt.device.idName;
    entry.newIdName = attempt.idName;
  }
  entry.result = ident::ResultName(attempt.result);
  entry.message = resources::Message(attempt.message).english;
  entry.exitCode = exitCode;
  entry.newValuesUtf8 = attempt.valuesUtf8;
  return entry;
}

std::string AuditLine(const AuditEntry& e, const platform::UtcTime& time,
                      const std::string& program, platform::TextEncoding& encoding) {
  const auto device = [&](const std::string& ansi) { return encoding.AnsiToUtf8(ansi); };
  const auto given = [&](const std::string& text) { return e.newValuesUtf8 ? text : device(text); };
  JsonObject line;
  line.Text("time", IsoTime(time)).Text("program", program).Text("version", kProductVersion);
  line.Text("route", e.route).Text("product", device(e.product)).Text("device", device(e.device));
  line.Text("oldIdCode", device(e.oldIdCode)).Text("newIdCode", given(e.newIdCode));
  const auto name = [&](JsonObject& object, const char* field,
                        const std::optional<std::string>& value, bool asGiven) {
    if (value) {
      object.Text(field, asGiven ? given(*value) : device(*value));
    } else {
      object.Null(field);
    }
  };
  name(line, "oldIdName", e.oldIdName, false);
  name(line, "newIdName", e.newIdName, true);
  line.Text("result", e.result).Text("message", e.message);
  if (e.readBack) {
    JsonObject readBack;
    readBack.Text("idCode", device(e.readBack->idCode));
    name(readBack, "idName", e.readBack->idName, false);
    line.Value("readBack", readBack.Boolean("matches", e.readBack->matches).Json());
  }
  if (e.exitCode) {
    line.Number("exitCode", *e.exitCode);
  } else {
    line.Null("exitCode");
  }
  return line.Json() + "\n";
}

AuditLog::AuditLog(platform::LogFiles& files, platform::TextEncoding& encoding, std::string program,
                   std::string path)
    : files_(files), encoding_(encoding), program_(std::move(program)), path_(std::move(path)) {}

AuditLog::~AuditLog() { files_.Close(file_); }

bool AuditLog::Open() {
  if (file_ == platform::kNoLog) file_ = files_.OpenForAppend(path_);
  return file_ != platform::kNoLog;
}

bool AuditLog::Append(const AuditEntry& entry) {
  if (file_ == platform::kNoLog) return false;
  return files_.Append(file_, AuditLine(entry, files_.UtcNow(), program_, encoding_));
}

std::string AuditLogPathFromIni(platform::ProgramFiles& program) {
  const std::string executable = program.ExecutablePath();
  const std::string ini = ui::IniFilePath(executable);
  if (ini.empty()) return {};
  std::string path = program.IniString(ini, kAuditSection, kAuditKey, "");
  if (path.empty() || IsAbsolute(path)) return path;
  return executable.substr(0, executable.find_last_of("\\/") + 1) + path;
}

}  // namespace nolpa::app

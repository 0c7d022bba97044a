#pragma once
// The window program's audit log, when the INI file beside the program
// names one (key "Log" of section "Audit"): every Write appends its line as
// it ends; a Write the log could not record is not made.
#include <memory>

#include "app/audit_log.h"
#include "platform/win32/win32_log_files.h"
#include "platform/win32/win32_text_encoding.h"

namespace nolpa::app {

inline constexpr char kWindowProgramName[] = "NOLPAID";

class WindowAudit {
 public:
  explicit WindowAudit(platform::ProgramFiles& program) {
    const std::string path = AuditLogPathFromIni(program);
    if (path.empty()) return;
    log_ = std::make_unique<AuditLog>(files_, encoding_, kWindowProgramName, path);
    audit_ = std::make_unique<ImmediateWriteAudit>(*log_);
  }
  // Null when no log is kept.
  ident::WriteAudit* Get() { return audit_.get(); }

 private:
  platform::win32::Win32LogFiles files_;
  platform::win32::Win32TextEncoding encoding_;
  std::unique_ptr<AuditLog> log_;
  std::unique_ptr<ImmediateWriteAudit> audit_;
};

}  // namespace nolpa::app

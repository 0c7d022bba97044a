#pragma once
// The console companion's trail of write attempts: it keeps each attempt
// until its outcome is known (the run's exit code, or a station's printer
// read back), then appends it to the audit log (when one is kept). From
// the moment a write is about to be sent until its line is appended, a
// second request to stop waits (ConsoleSignals::BeginWrite).
#include <optional>
#include <vector>

#include "app/audit_log.h"
#include "ident/write_attempt.h"
#include "platform/console_signals.h"

namespace nolpa::app::console {

class HeldWriteAudit final : public ident::WriteAudit {
 public:
  // `log` may be null: attempts are still held, so the run can report them.
  HeldWriteAudit(AuditLog* log, platform::ConsoleSignals& signals) : log_(log), signals_(signals) {}

  bool Ready() override { return log_ == nullptr || log_->Open(); }
  bool Record(const ident::WriteAttempt& attempt) override;
  // An attempt the companion refused itself (the duplicate guard, a value
  // the ANSI code page cannot hold, one too long).
  void Hold(AuditEntry entry) { held_.push_back(std::move(entry)); }

  // A write is about to be sent: the last attempt is forgotten, and a
  // second request to stop waits until the next Flush.
  void BeginWrite();
  // The last attempt the form told of since BeginWrite, if any.
  const std::optional<ident::WriteAttempt>& LastAttempt() const { return last_; }
  // What the printer of the last held attempt reported afterwards.
  void SetReadBack(ReadBackValues values);
  // Appends every held entry with `exitCode`; true when all went into the
  // log (or no log is kept). Nothing is held afterwards, and a write begun
  // is over.
  bool Flush(int exitCode);

 private:
  AuditLog* log_;
  platform::ConsoleSignals& signals_;
  std::vector<AuditEntry> held_;
  std::optional<ident::WriteAttempt> last_;
  bool writing_ = false;
};

}  // namespace nolpa::app::console

#pragma once
// The console companion's trail of write attempts: it keeps each attempt
// until the run's exit code is known, then appends them to the audit log
// (when one is kept) with that code.
#include <optional>
#include <vector>

#include "app/audit_log.h"
#include "ident/write_attempt.h"

namespace nolpa::app::console {

class HeldWriteAudit final : public ident::WriteAudit {
 public:
  // `log` may be null: attempts are still held, so the run can report them.
  explicit HeldWriteAudit(AuditLog* log) : log_(log) {}

  bool Ready() override { return log_ == nullptr || log_->Open(); }
  bool Record(const ident::WriteAttempt& attempt) override;
  // An attempt the companion refused itself (the duplicate guard).
  void Hold(AuditEntry entry) { held_.push_back(std::move(entry)); }

  // The last attempt the form told of, if any.
  const std::optional<ident::WriteAttempt>& LastAttempt() const { return last_; }
  // Appends every held entry with `exitCode`; true when all went into the
  // log (or no log is kept). Nothing is held afterwards.
  bool Flush(int exitCode);

 private:
  AuditLog* log_;
  std::vector<AuditEntry> held_;
  std::optional<ident::WriteAttempt> last_;
};

}  // namespace nolpa::app::console

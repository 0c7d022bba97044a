#include "app/console/console_audit.h"

namespace nolpa::app::console {

bool HeldWriteAudit::Record(const ident::WriteAttempt& attempt) {
  last_ = attempt;
  held_.push_back(EntryOf(attempt, std::nullopt));
  return true;
}

bool HeldWriteAudit::Flush(int exitCode) {
  bool all = true;
  for (AuditEntry& entry : held_) {
    entry.exitCode = exitCode;
    if (log_ != nullptr) all = log_->Append(entry) && all;
  }
  held_.clear();
  return all;
}

}  // namespace nolpa::app::console

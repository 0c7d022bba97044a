#include "app/console/console_audit.h"

namespace nolpa::app::console {

bool HeldWriteAudit::Record(const ident::WriteAttempt& attempt) {
  last_ = attempt;
  held_.push_back(EntryOf(attempt, std::nullopt));
  return true;
}

void HeldWriteAudit::BeginWrite() {
  last_.reset();
  if (!writing_) signals_.BeginWrite();
  writing_ = true;
}

void HeldWriteAudit::SetReadBack(ReadBackValues values) {
  if (!held_.empty()) held_.back().readBack = std::move(values);
}

bool HeldWriteAudit::Flush(int exitCode) {
  bool all = true;
  for (AuditEntry& entry : held_) {
    entry.exitCode = exitCode;
    if (log_ != nullptr) all = log_->Append(entry) && all;
  }
  held_.clear();
  if (writing_) signals_.EndWrite();
  writing_ = false;
  return all;
}

}  // namespace nolpa::app::console

#include "ident/write_attempt.h"

namespace nolpa::ident {

using resources::MessageId;

WriteResult ResultOf(MessageId message) {
  switch (message) {
    case MessageId::WriteSucceeded: return WriteResult::Written;
    case MessageId::LibraryWriteSucceeded: return WriteResult::Pending;
    case MessageId::IdCodeUnchanged:
    case MessageId::IdUnchanged: return WriteResult::Unchanged;
    case MessageId::IdCodeLength18:
    case MessageId::IdCodeInvalidHex:
    case MessageId::IdCodeInvalid:
    case MessageId::IdNameInvalid:
    case MessageId::IdCodeTooLong:
    case MessageId::IdNameTooLong: return WriteResult::Refused;
    default: return WriteResult::Failed;
  }
}

const char* ResultName(WriteResult result) {
  switch (result) {
    case WriteResult::Written: return "written";
    case WriteResult::Pending: return "pending";
    case WriteResult::Unchanged: return "unchanged";
    case WriteResult::Refused: return "refused";
    case WriteResult::Failed: break;
  }
  return "failed";
}

}  // namespace nolpa::ident

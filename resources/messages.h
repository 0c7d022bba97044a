#pragma once
// Every message box text of the program, in both languages.
#include "platform/message_boxes.h"

namespace nolpa::resources {

enum class MessageId {
  CannotCommunicate,
  IdCodeLength18,
  IdCodeInvalidHex,
  IdCodeUnchanged,
  IdCodeInvalid,
  IdNameInvalid,
  IdUnchanged,
  LibraryWriteSucceeded,
  LibraryWriteFailed,
  WriteSucceeded,
  WriteFailed,
  CommTestSucceeded,
  // The audit log of ID writes (INI key Log of section Audit).
  AuditLogUnavailable,
  AuditLogNotWritten,
  // A command line's value the ID boxes could not take: longer than their
  // 80 characters (on the routes other than the USB Printer Class).
  IdCodeTooLong,
  IdNameTooLong,
};

struct MessageText {
  MessageId id;
  platform::MessageIcon icon;
  const char* japanese;
  const char* english;
};

const MessageText& Message(MessageId id);

// Captions of the two kinds of box.
const char* MessageCaption(platform::MessageIcon icon, bool japanese);

}  // namespace nolpa::resources

#pragma once
// One write attempt as a trail of ID writes records it: which device, what
// it held, what was to be written, and how it ended. Told to the form's
// WriteAudit, which may also refuse a write it could not record.
#include <optional>
#include <string>

#include "discovery/device_list.h"
#include "resources/messages.h"

namespace nolpa::ident {

enum class WriteResult {
  Written,    // the board or the printer took the new values
  Pending,    // the library's write was acknowledged; applied at the next restart
  Unchanged,  // the values equal what the device holds; nothing was sent
  Refused,    // the ID rules refused the values; nothing was sent
  Failed,     // the device could not be opened or did not take the values
};

struct WriteAttempt {
  bool printerClassRoute = false;
  discovery::DeviceRecord device;  // as Find read it: the old values
  std::string idCode;              // what was to be written
  std::string idName;              // not used on the USB Printer Class route
  WriteResult result = WriteResult::Failed;
  resources::MessageId message = resources::MessageId::WriteFailed;  // the outcome's message
  // idCode and idName are UTF-8 as the user gave them, not ANSI: values the
  // code page cannot hold, refused before the device was reached.
  bool valuesUtf8 = false;
};

// How the write procedure's message classifies the attempt.
WriteResult ResultOf(resources::MessageId message);

// The stable name of a result in reports and logs: "written", "pending",
// "unchanged", "refused", "failed".
const char* ResultName(WriteResult result);

class WriteAudit {
 public:
  virtual ~WriteAudit() = default;
  // Asked before a write: false when the attempt could not be recorded (the
  // log cannot be opened); nothing is written then.
  virtual bool Ready() = 0;
  // Told after the attempt; false when it could not be recorded.
  virtual bool Record(const WriteAttempt& attempt) = 0;
};

}  // namespace nolpa::ident

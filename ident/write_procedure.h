#pragma once
// Writing the ID code and ID name into the selected device along one of its
// three paths: the serial-number library (USB Printer Class route), the
// board memory (NW-J boards) or printer commands (every other device).
#include <functional>
#include <optional>
#include <string>

#include "discovery/device_list.h"
#include "platform/platform.h"
#include "resources/messages.h"

namespace nolpa::ident {

// The library's SetUSBSerialNumber(device path, ID code, model selector);
// empty while the library is not bound. 0 means written.
using SetSerialNumberFn =
    std::function<int(const char* devicePath, const char* idCode, int modelSelector)>;

struct WriteRequest {
  bool printerClassRoute = false;  // information line 2 names the USB Printer Class
  discovery::DeviceRecord record;  // the selected device as Find read it
  std::string idCode;              // what the ID code box holds
  std::string idName;              // what the ID name box holds
};

struct WriteOutcome {
  std::optional<resources::MessageId> message;  // at most one box
  bool runFind = false;                         // the device may have changed
};

// 1 when the product text names the RK-L880, else 0.
int ModelSelector(const std::string& productText);

// Opens the device, validates, writes, and closes the device before it
// returns, so the caller can show the message with no handle open.
// `boardHandle` holds the open handle while the board sequence runs and the
// invalid handle value afterwards.
WriteOutcome WriteId(const platform::Platform& platform, const WriteRequest& request,
                     platform::DeviceHandle& boardHandle, const SetSerialNumberFn& setSerialNumber);

}  // namespace nolpa::ident

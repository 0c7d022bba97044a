#pragma once
// The one step every export starts with: from the caller's device path to an
// open printer port.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "serial_library/printer_port.h"

namespace nolpa::morvalib {

// Longest instance identifier a device path may yield.
inline constexpr std::size_t kMaxInstanceIdentifier = 259;

// The device's instance identifier: the path must start with "\\?\" and go
// on with three non-empty parts, each ended by "#"; they are joined with
// "\" and upper-cased (ASCII a-z only). Nothing when the path has another
// form or the identifier would be longer than kMaxInstanceIdentifier.
// "\\?\usb#vid_0f1a&pid_0520#a1#{28d78fad-...}" gives
// "USB\VID_0F1A&PID_0520\A1".
std::optional<std::string> InstanceIdentifier(std::string_view devicePath);

// Finds the printer the device path designates and opens a port to it. The
// device's UsbLocation is traced (a device that cannot be traced is not
// found). When a spooler printer with the channel API reaches exactly that
// device and no other printer shares its socket, the port is the
// channel-API port (PortKind 7); otherwise the direct port, which opens the
// device file of the caller's own device, found by its instance identifier
// (none there: -9). A spooler printer that is found elsewhere when its port
// opens, and a channel API that does not load or initialise (a 64-bit
// file, say), leave the printer to the direct port too. Returns 0 with `*port` open,
// or: -1 when `devicePath` is null; -9 when the path does not yield an
// instance identifier or a UsbLocation, or the port's SetParams or Open
// does not return 1; -8 when the port cannot be allocated. `*port` is
// empty on every failure.
int OpenPrinterPort(const char* devicePath, std::unique_ptr<TRKCCC>* port);

// How the exports reach OpenPrinterPort, so that the exchange above a port
// can be run against a port a test scripts.
using PortOpener = std::function<int(const char* devicePath, std::unique_ptr<TRKCCC>* port)>;

}  // namespace nolpa::morvalib

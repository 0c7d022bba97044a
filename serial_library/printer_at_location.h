#pragma once
// From a USB socket back to the printer on it: the direct port knows only
// where its printer is plugged in (the UsbLocation the open step traced)
// and finds the printer-class device file there when it opens.
#include <string>
#include <vector>

#include "platform/device_interfaces.h"

namespace nolpa::morvalib {

// GUID_DEVINTERFACE_USBPRINT {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}.
inline constexpr platform::Guid kUsbPrintInterface = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// The UsbLocation of the device behind a device path: its instance
// identifier traced through the installed services. Empty when the path
// yields no instance identifier or the device cannot be traced.
std::string DevicePathLocation(const std::string& devicePath);

// The printer-class devices found at one location.
struct PrintersAtLocation {
  // Their device paths in enumeration order: one on a socket of its own,
  // several when the trace could tell them apart no further (functions of
  // one composite device, or a hub the lookup did not recognise).
  std::vector<std::string> paths;
  // An interface could not be read while they were looked for: one more
  // may sit there unseen.
  bool incomplete = false;
  // The location may name another printer than the caller's, whose
  // instance identifier is `callerIdentifier`: several were found there, or
  // an interface went unread and the one found (if any) is not the
  // caller's own.
  bool Ambiguous(const std::string& callerIdentifier) const;
};

// Every present printer-class interface whose device's UsbLocation is
// `usbLocation`. None when `usbLocation` is empty or without the
// interfaces service.
PrintersAtLocation PrinterDevicePathsAt(const std::string& usbLocation);

// Of the printer-class devices at one location, the one to open for the
// caller whose instance identifier is `callerIdentifier`: the only one, or,
// when the location is ambiguous, the caller's own, never merely the first.
// Empty when there is none, or the location is ambiguous and the caller's
// device is not among those found.
std::string ChooseDevicePath(const PrintersAtLocation& found, const std::string& callerIdentifier);

}  // namespace nolpa::morvalib

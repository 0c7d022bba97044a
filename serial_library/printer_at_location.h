#pragma once
// From a USB socket back to the printer on it: the direct port knows only
// where its printer is plugged in (the UsbLocation the open step traced)
// and finds the printer-class device file there when it opens.
#include <string>

#include "platform/device_interfaces.h"

namespace nolpa::morvalib {

// GUID_DEVINTERFACE_USBPRINT {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}.
inline constexpr platform::Guid kUsbPrintInterface = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// The UsbLocation of the device behind a device path: its instance
// identifier traced through the installed services. Empty when the path
// yields no instance identifier or the device cannot be traced.
std::string DevicePathLocation(const std::string& devicePath);

// The device path of the first present printer-class interface whose
// device's UsbLocation is `usbLocation`; empty when none is, when
// `usbLocation` is empty or without the interfaces service.
std::string PrinterDevicePathAt(const std::string& usbLocation);

}  // namespace nolpa::morvalib

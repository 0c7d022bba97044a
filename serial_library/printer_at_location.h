#pragma once
// From a caller's device path to the printer-class device file the library
// opens, and whether a USB socket holds the caller's printer alone. A
// location names a socket, not a printer (usb_location.h), so the device
// to open is chosen by its identity; a location only says whether a spooler
// printer on that socket could be another printer.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/device_interfaces.h"

namespace nolpa::morvalib {

// GUID_DEVINTERFACE_USBPRINT {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}.
inline constexpr platform::Guid kUsbPrintInterface = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// The UsbLocation of the device behind a printer-class device path; empty
// when the device's attachment point cannot be traced.
using UsbLocator = std::function<std::string(const std::string& devicePath)>;

// The UsbLocation of the device behind a device path: its instance
// identifier traced through the installed services. Empty when the path
// yields no instance identifier or the device cannot be traced.
std::string DevicePathLocation(const std::string& devicePath);

// The device file to open for the caller who named `devicePath`, whose
// instance identifier is `callerIdentifier`: that path itself when it names
// an interface of the printer class (its fourth part is the class's
// identifier), else the first present printer-class interface of that very
// device, found by its instance identifier. Never another device at its
// socket. Empty when the caller's device has no readable printer-class
// interface (it went, or the caller named another kind of device).
std::string ChooseDevicePath(const std::string& devicePath, const std::string& callerIdentifier);

// True when the caller's device is the only printer at `usbLocation`, traced
// under the hub table of generation `tracedUnder` (HubTableGeneration):
// every present printer-class interface of another device was read and
// located elsewhere by `locate` under that same table. An interface that cannot be read
// or traced counts as another printer there, and so does a table built
// again since (locations traced under two tables do not compare). False
// when `usbLocation` is empty or the interfaces cannot be enumerated.
bool OnlyPrinterAt(const std::string& usbLocation, std::uint64_t tracedUnder,
                   const std::string& callerIdentifier, const UsbLocator& locate);

}  // namespace nolpa::morvalib

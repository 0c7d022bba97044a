#include "serial_library/printer_at_location.h"

#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"

namespace nolpa::morvalib {

std::string DevicePathLocation(const std::string& devicePath) {
  const std::optional<std::string> identifier = InstanceIdentifier(devicePath);
  return identifier ? UsbLocation(*identifier) : std::string();
}

std::string PrinterDevicePathAt(const std::string& usbLocation) {
  platform::DeviceInterfaces* interfaces = Services().interfaces;
  if (usbLocation.empty() || interfaces == nullptr) return {};
  const platform::InterfaceSet set = interfaces->OpenSet(kUsbPrintInterface);
  if (set == platform::kInvalidInterfaceSet) return {};
  std::string found;
  std::string path;
  for (std::uint32_t index = 0; interfaces->InterfacePath(set, kUsbPrintInterface, index, &path); ++index) {
    if (DevicePathLocation(path) == usbLocation) {
      found = path;
      break;
    }
  }
  interfaces->CloseSet(set);
  return found;
}

}  // namespace nolpa::morvalib

#include "serial_library/printer_at_location.h"

#include "serial_library/interface_walk.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"

namespace nolpa::morvalib {

std::string DevicePathLocation(const std::string& devicePath) {
  const std::optional<std::string> identifier = InstanceIdentifier(devicePath);
  return identifier ? UsbLocation(*identifier) : std::string();
}

PrintersAtLocation PrinterDevicePathsAt(const std::string& usbLocation) {
  platform::DeviceInterfaces* interfaces = Services().interfaces;
  PrintersAtLocation found;
  if (usbLocation.empty() || interfaces == nullptr) return found;
  const int passedOver =
      WalkInterfaces(*interfaces, kUsbPrintInterface,
                     [&](platform::InterfaceSet, std::uint32_t, const std::string& path) {
                       if (DevicePathLocation(path) == usbLocation) found.paths.push_back(path);
                       return true;
                     });
  found.incomplete = passedOver > 0;
  return found;
}

bool PrintersAtLocation::Ambiguous(const std::string& callerIdentifier) const {
  if (paths.size() > 1) return true;
  return incomplete && (paths.empty() || InstanceIdentifier(paths.front()) != callerIdentifier);
}

std::string ChooseDevicePath(const PrintersAtLocation& found, const std::string& callerIdentifier) {
  if (!found.Ambiguous(callerIdentifier))
    return found.paths.empty() ? std::string() : found.paths.front();
  for (const std::string& path : found.paths)
    if (InstanceIdentifier(path) == callerIdentifier) return path;
  return {};
}

}  // namespace nolpa::morvalib

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

std::string ChooseDevicePath(const std::string& callerIdentifier) {
  platform::DeviceInterfaces* interfaces = Services().interfaces;
  std::string chosen;
  if (callerIdentifier.empty() || interfaces == nullptr) return chosen;
  WalkInterfaces(*interfaces, kUsbPrintInterface,
                 [&](platform::InterfaceSet, std::uint32_t, const std::string& path) {
                   if (InstanceIdentifier(path) == callerIdentifier) chosen = path;
                   return chosen.empty();
                 });
  return chosen;
}

bool OnlyPrinterAt(const std::string& usbLocation, std::uint64_t tracedUnder,
                   const std::string& callerIdentifier, const UsbLocator& locate) {
  platform::DeviceInterfaces* interfaces = Services().interfaces;
  if (usbLocation.empty() || interfaces == nullptr || !locate) return false;
  bool alone = true;
  const int passedOver =
      WalkInterfaces(*interfaces, kUsbPrintInterface,
                     [&](platform::InterfaceSet, std::uint32_t, const std::string& path) {
                       if (InstanceIdentifier(path) == callerIdentifier) return true;
                       const std::string location = locate(path);
                       alone = !location.empty() && location != usbLocation;
                       return alone;
                     });
  return alone && passedOver == 0 && HubTableGeneration() == tracedUnder;
}

}  // namespace nolpa::morvalib

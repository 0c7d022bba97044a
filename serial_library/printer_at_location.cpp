#include "serial_library/printer_at_location.h"

#include <string_view>

#include "serial_library/ascii_text.h"
#include "serial_library/interface_walk.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"

namespace nolpa::morvalib {

namespace {

constexpr std::string_view kUsbPrintClassText = "{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}";

// Whether the interface class part of a device path (after its third "#",
// up to a backslash that starts a reference string) is the printer class.
bool NamesPrinterClassInterface(std::string_view devicePath) {
  std::size_t at = 0;
  for (int part = 0; part < 3 && at != std::string_view::npos; ++part)
    at = devicePath.find('#', at == 0 ? 0 : at + 1);
  if (at == std::string_view::npos) return false;
  const std::string_view rest = devicePath.substr(at + 1);
  return EqualIgnoringCase(rest.substr(0, rest.find('\\')), kUsbPrintClassText);
}

}  // namespace

std::string DevicePathLocation(const std::string& devicePath) {
  const std::optional<std::string> identifier = InstanceIdentifier(devicePath);
  return identifier ? UsbLocation(*identifier) : std::string();
}

std::string ChooseDevicePath(const std::string& devicePath, const std::string& callerIdentifier) {
  if (callerIdentifier.empty()) return {};
  if (NamesPrinterClassInterface(devicePath)) return devicePath;
  platform::DeviceInterfaces* interfaces = Services().interfaces;
  std::string chosen;
  if (interfaces == nullptr) return chosen;
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

#pragma once
// The outside services the serial-number library reaches printers through.
// The library is a module of its own, loaded by whatever program wants it,
// so it keeps its own small set rather than the program's: the Windows DLL
// installs the real adapters when it is loaded (or, in the simulator
// flavour, the world the program hands over), native tests install a
// simulated world.
#include <cstdint>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/device_tree.h"
#include "platform/usb_hub_files.h"

namespace nolpa::morvalib {

struct LibraryServices {
  // sizeof(LibraryServices) as the side that filled it in was built: a
  // program built from another version of this header is refused.
  std::uint32_t structSize = sizeof(LibraryServices);
  // Printer-class device files: open, read, write, control requests.
  platform::DeviceFiles* files = nullptr;
  // Waits between reads, and the read deadlines.
  platform::Clock* clock = nullptr;

  // Tracing a device's USB attachment point (usb_location.h). Optional while
  // the printer lookup does not use it yet: without all three, UsbLocation
  // gives an empty text.
  // The device tree: node by instance identifier, parent, service, driver key.
  platform::DeviceTree* deviceTree = nullptr;
  // USB host controllers and hubs: their names and ports.
  platform::UsbHubFiles* hubFiles = nullptr;
  // Device-interface enumeration (the USB hub interface class).
  platform::DeviceInterfaces* interfaces = nullptr;
};

// True when the record is of this build's size and holds what every call
// needs (device files and clock); the USB tracing services are optional.
bool IsComplete(const LibraryServices& services);

// The services in force for every export from now on. Returns false, and
// changes nothing, when `services` is not complete. Not for use while an
// export runs: the library serves one call at a time.
bool InstallServices(const LibraryServices& services);
// Back to none: every printer lookup then fails as "no printer".
void RemoveServices();
// The services in force; null members when none are installed.
const LibraryServices& Services();

}  // namespace nolpa::morvalib

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
#include "platform/modules.h"
#include "platform/print_spooler.h"
#include "platform/registry.h"
#include "platform/system_folders.h"
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

  // --- Optional: tracing a device's USB attachment point (usb_location.h) ---
  // Without the device tree, the hub files and the interfaces, UsbLocation
  // gives an empty text, and no printer is found (-9).
  // The device tree: node by instance identifier, parent, service, driver key.
  platform::DeviceTree* deviceTree = nullptr;
  // USB host controllers and hubs: their names and ports.
  platform::UsbHubFiles* hubFiles = nullptr;

  // --- Optional: the spooler printers and their channel API ---
  // Without all five the library reaches every printer by its device file
  // (HasChannelApiServices is false): no spooler printer is ever listed.
  // The print spooler: local printers and their drivers.
  platform::PrintSpooler* spooler = nullptr;
  // A spooler printer's port, the printer-class interfaces' port numbers
  // and base names, the driver's channel-API file name.
  platform::Registry* registry = nullptr;
  // Enumerating present device interfaces: the USB hub class for the hub
  // table, the printer-class interfaces for the spooler printers' ports.
  platform::DeviceInterfaces* interfaces = nullptr;
  // The system folder, the Windows version, file existence, driver INI files.
  platform::SystemFolders* system = nullptr;
  // Loading the channel API and binding its nine operations.
  platform::Modules* modules = nullptr;
};

// True when the two required services are present and the record is of
// this build's size; the optional ones may be missing.
bool IsComplete(const LibraryServices& services);
// True when the record is complete and all five optional services are there.
bool HasChannelApiServices(const LibraryServices& services);

// The services in force for every export from now on. Returns false, and
// changes nothing, when `services` is not complete. Not for use while an
// export runs: the library serves one call at a time.
bool InstallServices(const LibraryServices& services);
// Back to none: every printer lookup then fails as "no printer".
void RemoveServices();
// The services in force; null members when none are installed.
const LibraryServices& Services();

}  // namespace nolpa::morvalib

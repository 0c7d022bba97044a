#pragma once
// The outside services the serial-number library reaches printers through.
// The library is a module of its own, loaded by whatever program wants it,
// so it keeps its own small set rather than the program's: the Windows DLL
// installs the real adapters when it is loaded (or, in the simulator
// flavour, the world the program hands over), native tests install a
// simulated world.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/device_files.h"

namespace nolpa::morvalib {

// Stands in for the printer lookup, which is not built yet: the step of
// OpenPrinterPort that traces the device's USB socket (its UsbLocation),
// matches it to the spooler printers and chooses the port. Until the lookup
// exists every device is reached by the direct port, at the device file the
// locator names. The simulated worlds fill it in; the production library
// has none, so it finds no printer (-9).
class DeviceLocator {
 public:
  virtual ~DeviceLocator() = default;
  // The printer-class device file for `devicePath`, or nothing when no
  // printer is attached there.
  virtual std::optional<std::string> DirectPortPath(const std::string& devicePath) = 0;
};

struct LibraryServices {
  // sizeof(LibraryServices) as the side that filled it in was built: a
  // program built from another version of this header is refused.
  std::uint32_t structSize = sizeof(LibraryServices);
  // Printer-class device files: open, read, write, control requests.
  platform::DeviceFiles* files = nullptr;
  // Waits between reads, and the read deadlines.
  platform::Clock* clock = nullptr;
  // Where a device path's printer is opened; null: no printer is found.
  DeviceLocator* locator = nullptr;
};

// True when the device files and the clock are present and the record is
// of this build's size (the locator may be missing).
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

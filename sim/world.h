#pragma once
// Contract of the simulated world (to be completed by its implementation).
// A World owns simulated devices and implements the device-facing platform
// interfaces over them. It reads time from the clock it is given: a
// VirtualClock in native tests, the real clock in NOLPAID-sim.exe.
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/dos_devices.h"

namespace nolpa::sim {

class World {
 public:
  virtual ~World() = default;
  virtual platform::DeviceFiles& Files() = 0;
  virtual platform::DeviceInterfaces& Interfaces() = 0;
  virtual platform::DosDevices& DosDevices() = 0;
};

// The world NOLPAID-sim.exe runs against: loaded from `stateFile` (a fleet
// file); when the file does not exist it is created from the default fleet.
// Changes to printers (identifiers written) are saved back to the file, so a
// second process sees them.
std::unique_ptr<World> OpenPersistentWorld(const std::string& stateFile,
                                           platform::Clock& clock);

}  // namespace nolpa::sim

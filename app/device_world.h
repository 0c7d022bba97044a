#pragma once
// The device-facing services of one program flavour. NOLPAID.exe links the
// real adapters (device_world_real.cpp); NOLPAID-sim.exe links the simulated
// world (device_world_sim.cpp). Nothing else differs between the two.
#include <memory>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/device_tree.h"
#include "platform/dos_devices.h"
#include "platform/modules.h"

namespace nolpa::app {

class DeviceWorld {
 public:
  virtual ~DeviceWorld() = default;
  virtual platform::DeviceFiles& Files() = 0;
  virtual platform::DeviceInterfaces& Interfaces() = 0;
  virtual platform::DosDevices& DosDevices() = 0;
  // The serial-number library was loaded and bound: the simulated world
  // hands itself to the library's simulator flavour here, so that both see
  // the same printers. The real world has nothing to do.
  virtual void LibraryLoaded(platform::Modules& modules, platform::ModuleHandle library) {
    static_cast<void>(modules);
    static_cast<void>(library);
  }
  // The device tree its printer-class printers hang in (the console's USB
  // locations); null: the system's own.
  virtual platform::DeviceTree* UsbDeviceTree() { return nullptr; }
};

// The flavour's world; `clock` is the real clock and outlives the world.
std::unique_ptr<DeviceWorld> OpenDeviceWorld(platform::Clock& clock);

}  // namespace nolpa::app

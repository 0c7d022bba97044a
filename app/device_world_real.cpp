// NOLPAID.exe: the printers attached to this computer.
#include "app/device_world.h"
#include "platform/win32/win32_device_files.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_dos_devices.h"

namespace nolpa::app {

namespace {

class RealDeviceWorld final : public DeviceWorld {
 public:
  platform::DeviceFiles& Files() override { return files_; }
  platform::DeviceInterfaces& Interfaces() override { return interfaces_; }
  platform::DosDevices& DosDevices() override { return dosDevices_; }

 private:
  platform::win32::Win32DeviceFiles files_;
  platform::win32::Win32DeviceInterfaces interfaces_;
  platform::win32::Win32DosDevices dosDevices_;
};

}  // namespace

std::unique_ptr<DeviceWorld> OpenDeviceWorld(platform::Clock&) {
  return std::make_unique<RealDeviceWorld>();
}

}  // namespace nolpa::app
